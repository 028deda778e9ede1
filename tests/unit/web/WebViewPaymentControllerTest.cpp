#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeUi.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/text/UrlText.h"
#include "vanto/web/WebViewPaymentController.h"
#include "vanto/web/WebViewPaymentPresenter.h"
#include "vanto/web/WebViewPaymentRequest.h"

namespace vanto {
namespace {

using platform::ui::NavigationActionPolicy;
using Part = platform::ui::PaymentPageViewModel::Part;

constexpr const char* kPageAnswer =
    R"({"code":0,"desc":"","datosPeticion":{"Ds_SignatureVersion":"v1","Ds_Signature":"a+b/c=","Ds_MerchantParameters":"e30="}})";

// A return address carrying the result `json`.
std::string returnAddress(const std::string& address, const std::string& json) {
    return address +
           "?Ds_SignatureVersion=HMAC_SHA256_V1&Ds_MerchantParameters=" + base64Encode(json) +
           "&Ds_Signature=c2ln";
}

const std::string kAccepted =
    R"({"Ds_Response":"0000","Ds_AuthorisationCode":"123456","Ds_Card_Number":"4000000000000002","Ds_ExpiryDate":"2612"})";

class WebScreen : public testing::ScreenTest<WebViewPaymentRequest, setWebViewPaymentService> {
  protected:
    // A screen loaded, drawn by a binding that records what changes, and on screen; kept as the
    // application keeps the screen it presents.
    void show(double amount = 19.99) {
        screen = WebViewPaymentController::create("ORDER1", amount, "Libro",
                                                  TransactionType::normal, "REQUIRED");
        screen->setDelegate(delegate);
        watchClosing(screen->viewModel());
        screen->loadViewIfNeeded();
        binding = std::make_shared<Binding>();
        model().setObserver(binding);
        model().appeared();
    }
    // A screen showing the payment page.
    void showPage() {
        show();
        service->answer(WebViewPaymentResponse::fromJSON(kPageAnswer));
        ASSERT_EQ(binding->count(Part::page), 1u);
        traces.clear();
    }
    platform::ui::PaymentPageViewModel& model() const { return *screen->viewModel(); }
    NavigationActionPolicy navigate(std::optional<std::string> address) const {
        return model().decideNavigation({std::move(address), false});
    }
    // The cardholder sends the page's card form.
    void postCardForm() const { model().decideNavigation({"https://gw.example/pago", true}); }
    // The page finished loading, and its script answers `result` and `error`.
    void finish(std::optional<platform::ui::ScriptValue> result,
                std::optional<platform::ui::ScriptError> error = std::nullopt) const {
        model().navigationFinished();
        ASSERT_TRUE(model().script());
        EXPECT_EQ(model().script()->source, "document.body.innerHTML");
        model().scriptEvaluated(model().script()->id, std::move(result), std::move(error));
    }
    bool closeButtonShown() const { return model().closeButton().visible; }

    using Binding = testing::RecordingBinding<platform::ui::PaymentPageViewModel>;
    std::shared_ptr<WebViewPaymentController> screen;
    std::shared_ptr<Binding> binding;
};

TEST_F(WebScreen, LoadsThePaymentPageUnderAHiddenCloseButton) {
    show(0.0);
    EXPECT_FALSE(closeButtonShown());
    EXPECT_TRUE(model().busy());
    EXPECT_FALSE(screen->shouldAutorotate());

    ASSERT_EQ(service->calls.size(), 1u) << "an amount of 0 is sent";
    EXPECT_EQ(sentMessage(*service)["parametros"]["Ds_Merchant_Order"], "ORDER1");
    service->answer(WebViewPaymentResponse::fromJSON(kPageAnswer));
    ASSERT_EQ(binding->count(Part::page), 1u);
    ASSERT_TRUE(model().page()) << "the presenter's request, whose test reads it";
    EXPECT_FALSE(closeButtonShown());
    EXPECT_TRUE(delegate->told.empty());
}

TEST_F(WebScreen, RefusesANegativeAmountOnceOnScreen) {
    show(-0.01);
    EXPECT_TRUE(delegate->told.empty()) << "not while the screen is appearing";
    platform::MainQueue::runPending();
    EXPECT_EQ(delegate->told,
              std::vector<std::string>{"KO 5548 El importe tiene que ser igual o mayor de 0,00"});
    EXPECT_TRUE(model().closed());
    EXPECT_TRUE(service->calls.empty());
}

TEST_F(WebScreen, AllowsTracesAndReportsEachNavigationAndTellsTheOutcomeOnce) {
    showPage();
    EXPECT_EQ(navigate(std::nullopt), NavigationActionPolicy::cancel);
    EXPECT_TRUE(traces.empty());
    EXPECT_EQ(navigate("https://gw.example/zel/realizarPago"), NavigationActionPolicy::allow);
    EXPECT_EQ(traces, std::vector<std::string>{"https://gw.example/zel/realizarPago"});

    const std::string back = returnAddress("REDIR_URL_OK", kAccepted);
    traces.clear();
    EXPECT_EQ(navigate(back), NavigationActionPolicy::allow);
    EXPECT_EQ(delegate->closedWhenTold, std::vector<bool>{false}) << "told, then closed";
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_EQ(traces[0], WebViewPaymentFlow::traceableAddress(back));
    EXPECT_EQ(traces[0].find(base64Encode(kAccepted)), std::string::npos)
        << "the card data of the result are not traced";

    EXPECT_EQ(navigate(back), NavigationActionPolicy::allow);
    model().navigationFailed();
    EXPECT_EQ(delegate->told, std::vector<std::string>{"OK 0"}) << "one outcome per payment";
    EXPECT_EQ(binding->count(Part::alert), 0u) << "no alert over the outcome";
}

TEST_F(WebScreen, OffersTheWayOutWhereAPaymentEndsWithoutAnOutcome) {
    showPage();
    model().pressCloseButton();
    EXPECT_FALSE(model().closed()) << "a hidden close button cannot be pressed";
    postCardForm();
    navigate(returnAddress("https://gw.example/pago", R"({"Ds_Response":"OK"})"));
    EXPECT_FALSE(closeButtonShown()) << "not a return address";
    navigate(returnAddress("REDIR_URL_KO", R"({"Ds_Response":"OK"})"));
    EXPECT_TRUE(delegate->told.empty());
    EXPECT_TRUE(closeButtonShown()) << "a result without a readable decision";
    model().pressCloseButton();
    EXPECT_EQ(delegate->told, std::vector<std::string>{"closed 1"}) << "the form was posted";
    EXPECT_EQ(delegate->closedWhenTold, std::vector<bool>{true});

    delegate->told.clear();
    show();
    service->answer(WebViewPaymentResponse::fromJSON(R"({"code":0,"desc":"sin datos"})"));
    EXPECT_FALSE(model().page());
    EXPECT_TRUE(delegate->told.empty());
    EXPECT_TRUE(closeButtonShown()) << "a signature answer without the page's parameters";
    EXPECT_FALSE(model().busy());
    model().pressCloseButton();
    EXPECT_EQ(delegate->told, std::vector<std::string>{"closed 0"}) << "nothing was posted";
    delegate->told.clear();

    show();
    VantoConfiguration::shared().setAppURLKO("https://shop.example/ko");
    service->answer(WebViewPaymentResponse::fromJSON(R"({"code":9999,"desc":"x"})"));
    EXPECT_EQ(delegate->told, std::vector<std::string>{"KO 9999 x"});
    EXPECT_TRUE(closeButtonShown());
    EXPECT_FALSE(model().closed());

    show();
    screen->setDelegate(nullptr);
    service->fail(SDKError::wrongStatusCode(500));
    EXPECT_TRUE(model().closed()) << "without a delegate the screen still closes";
}

TEST_F(WebScreen, ReadsEachFinishedPageForTheGatewaysRefusal) {
    showPage();
    model().navigationStarted();
    EXPECT_EQ(traces, std::vector<std::string>{"Navigation Start" + std::string(17, '.')});
    EXPECT_TRUE(model().busy());

    finish(std::string("<p>Bienvenido</p>"));
    EXPECT_FALSE(model().busy());
    EXPECT_FALSE(closeButtonShown());
    EXPECT_EQ(traces.back(), "Navigation Finish" + std::string(25, '.'));
    finish(42.0);
    finish(std::nullopt);
    EXPECT_FALSE(closeButtonShown()) << "a result that is not a text is ignored";

    // The gateway's refusal on the page is the Qt screens' case; here, a page that cannot be read.
    finish(std::nullopt, platform::ui::ScriptError{"no page"});
    EXPECT_TRUE(closeButtonShown());
}

TEST_F(WebScreen, AFailedPageRaisesTheAlertWhoseButtonClosesWithoutAnOutcome) {
    showPage();
    postCardForm();
    model().navigationFailed();
    model().navigationFailed();
    ASSERT_EQ(binding->count(Part::alert), 1u) << "one alert at a time";
    EXPECT_FALSE(model().closed());
    model().pressAlertButton(0);
    EXPECT_FALSE(model().alert());
    EXPECT_EQ(delegate->told, std::vector<std::string>{"closed 1"}) << "the form was posted";

    navigate(returnAddress("REDIR_URL_KO", kAccepted));
    screen.reset();
    EXPECT_EQ(delegate->told.size(), 1u) << "the notice was the report";
}

TEST_F(WebScreen, AScreenClosedByHandOrLetGoOfEndsWithoutAnOutcomeAndLoadsNoPage) {
    show();
    model().requestClose();
    EXPECT_TRUE(model().closed());
    EXPECT_EQ(delegate->told, std::vector<std::string>{"closed 0"});
    service->answer(WebViewPaymentResponse::fromJSON(kPageAnswer));
    EXPECT_FALSE(model().page());
    EXPECT_EQ(delegate->told.size(), 1u);

    show();
    std::weak_ptr<WebViewPaymentController> gone = screen;
    const auto kept = screen->viewModel();
    screen.reset();
    EXPECT_TRUE(gone.expired()) << "the signature request in flight does not hold the screen";
    EXPECT_EQ(delegate->told, (std::vector<std::string>{"closed 0", "closed 0"}));
    EXPECT_TRUE(kept->closed());
    service->answer(WebViewPaymentResponse::fromJSON(kPageAnswer));
    EXPECT_FALSE(kept->page());
    EXPECT_EQ(delegate->told.size(), 2u);
}

}  // namespace
}  // namespace vanto
