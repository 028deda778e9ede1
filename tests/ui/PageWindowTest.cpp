// The binding's window of the payment web page as the screen's view model sees it: what a page
// request sends, what a navigation decision does, what scripts give back, time-outs.
#include "UiTest.h"
#include "widgets/Widgets.h"
#include "widgets_web/PageWindow.h"

namespace vanto {
namespace {

using namespace std::chrono_literals;
using platform::ui::NavigationActionPolicy;
using platform::ui::PaymentPageViewModel;
using platform::ui::ScriptValue;

// Stands for the screen's logic: follows the navigations as "decide <address>", "start",
// "finish", "fail", deciding each with `policy`.
class NavigationLog final : public testing::Changes, public PaymentPageViewModel::Inputs {
  public:
    NavigationActionPolicy navigationDecided(
        const platform::ui::NavigationAction& action) override {
        log("decide " + action.address.value_or("(none)") + (action.submitsForm ? " form" : ""));
        return policy;
    }
    void navigationStarted() override { log("start"); }
    void navigationFinished() override { log("finish"); }
    void navigationFailed() override { log("fail"); }
    void closeButtonPressed() override {}
    void closeRequested() override {}
    void appeared() override {}

    bool ended() const {
        return !events.empty() && (events.back() == "finish" || events.back() == "fail");
    }

    NavigationActionPolicy policy = NavigationActionPolicy::allow;
    std::vector<std::string> events;

  private:
    void log(std::string event) {
        events.push_back(std::move(event));
        notify();
    }
};

class PageWindow : public testing::UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        qt::detail::PageWindow::of(model).window()->show();
    }
    void TearDown() override {
        model.reset();
        gateway().setFaultForAll(std::nullopt);
        UiTest::TearDown();
    }

    platform::URLRequest pagePost(std::string body) const {
        platform::URLRequest request(gateway().baseUrl() + "/zel/realizarPago");
        request.httpMethod = "POST";
        request.allHTTPHeaderFields.add("Content-Type", "application/x-www-form-urlencoded");
        request.allHTTPHeaderFields.add("X-Vanto-Check", "port");
        request.allHTTPHeaderFields.add("Content-Length", std::to_string(body.size()));
        request.httpBody = platform::SecretText(body);
        return request;
    }

    struct Evaluated {
        std::optional<ScriptValue> result;
        std::optional<platform::ui::ScriptError> error;
        int calls = 0;
    };
    Evaluated evaluate(const std::string& script) {
        auto evaluated = std::make_shared<Evaluated>();
        const auto answered = std::make_shared<testing::Changes>();
        model->evaluate(script, [evaluated, answered](auto result, auto error) {
            evaluated->result = std::move(result);
            evaluated->error = std::move(error);
            ++evaluated->calls;
            answered->notify();
        });
        EXPECT_TRUE(answered->waitFor([&] { return evaluated->calls > 0; })) << script;
        return *evaluated;
    }

    std::shared_ptr<NavigationLog> log = std::make_shared<NavigationLog>();
    std::shared_ptr<PaymentPageViewModel> model = std::make_shared<PaymentPageViewModel>(log);
};

TEST_F(PageWindow, LoadPostsTheRequestAndEveryNavigationIsDecidedStartedAndFinished) {
    model->load(pagePost("Ds_SignatureVersion=x"));
    ASSERT_TRUE(log->waitFor([&] { return log->ended(); }, testing::kPageBound));
    const std::vector<std::string> expected = {
        "decide " + gateway().baseUrl() + "/zel/realizarPago", "start", "finish"};
    EXPECT_EQ(log->events, expected);
    const auto requests = gateway().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.front().method, "POST");
    EXPECT_EQ(requests.front().header("X-Vanto-Check"), "port");
    EXPECT_EQ(requests.front().header("Content-Length"), "21");
    EXPECT_EQ(requests.front().body, "Ds_SignatureVersion=x");

    // The page the sandbox answered (its refusal of the data) is there for scripts.
    const auto text = evaluate("document.body.innerText");
    ASSERT_TRUE(text.result && std::holds_alternative<std::string>(*text.result));
    EXPECT_NE(std::get<std::string>(*text.result).find("Error en datos enviados"),
              std::string::npos);
    EXPECT_EQ(evaluate("1 + 1").result, ScriptValue(2.0));
    EXPECT_EQ(evaluate("document.title === 'x'").result, ScriptValue(false));
    EXPECT_EQ(evaluate("({ a: 1 })").result, ScriptValue(platform::ui::OtherScriptValue{}));
    EXPECT_FALSE(evaluate("null").result);
    const auto thrown = evaluate("document.body.nothing.here");
    EXPECT_FALSE(thrown.result);
    ASSERT_TRUE(thrown.error);
    EXPECT_NE(thrown.error->description.find("TypeError"), std::string::npos);
}

TEST_F(PageWindow, APageSlowerThanItsTimeOutFails) {
    gateway().setFaultForAll(sandbox::Fault::delayed(20s));
    auto request = pagePost("a=b");
    request.timeoutInterval = 1.0;
    model->load(std::move(request));
    ASSERT_TRUE(log->waitFor([&] { return log->ended(); }, testing::kStepBound));
    EXPECT_EQ(log->events.back(), "fail");
}

}  // namespace
}  // namespace vanto
