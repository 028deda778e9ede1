// Both payment presenters end to end: the real road (a new Manager per payment, the main queue),
// libcurl and TLS, against the sandbox gateway on loopback; the web payment's page is walked by
// the sandbox's headless browser, every navigation handed to the presenter as a web view does.
// How the presenters read each result, refusal and failure is their unit tests'; the shapes the
// sandbox gives a result, its own.
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingViews.h"
#include "SandboxFixture.h"
#include "vanto/direct/DirectPaymentPresenter.h"

namespace vanto {

// Readable failures.
void PrintTo(const DirectPaymentResponseKO& refusal, std::ostream* out) {
    *out << "KO " << refusal.code << " \"" << refusal.desc << "\"";
}

namespace {

using namespace std::chrono_literals;
using testing::DirectOutcome;

using DirectView = testing::RecordingDirectView;
using WebView = testing::RecordingWebView;

class Presenters : public testing::SandboxTest {
  protected:
    // A direct payment with `card` for `order`; its one outcome.
    static DirectOutcome pay(std::string_view card, std::string_view order) {
        const auto view = payDirectly(card, order);
        EXPECT_EQ(view->outcomes.size(), 1u) << "exactly one report";
        return view->outcomes.empty() ? DirectOutcome(DirectPaymentResponseKO(-1, "none"))
                                      : view->outcomes.front();
    }

    static DirectPaymentResponseKO refused(const DirectOutcome& outcome) {
        EXPECT_TRUE(std::holds_alternative<DirectPaymentResponseKO>(outcome));
        return std::holds_alternative<DirectPaymentResponseKO>(outcome)
                   ? std::get<DirectPaymentResponseKO>(outcome)
                   : DirectPaymentResponseKO(-1, "accepted");
    }
};

TEST_F(Presenters, DirectPaymentsEndAsTheGatewayDecides) {
    const auto accepted = pay(sandbox::kAcceptedCard, "D0001");
    ASSERT_TRUE(std::holds_alternative<DirectPaymentResponseOK>(accepted));
    const auto& ok = std::get<DirectPaymentResponseOK>(accepted);
    EXPECT_EQ(ok.code, 0);
    EXPECT_EQ(ok.Ds_Response, "0000");
    EXPECT_EQ(ok.Ds_Order, "D0001");
    EXPECT_FALSE(ok.Ds_AuthorisationCode.empty());

    EXPECT_EQ(refused(pay(sandbox::kDeclinedCard, "D0002")), DirectPaymentResponseKO(78, "0190"))
        << "the leading zero is kept";
    EXPECT_EQ(refused(pay(sandbox::kGatewayErrorCard, "D0003")),
              DirectPaymentResponseKO(9909, "Emisor de la tarjeta no disponible"));
}

// Which fault maps to which error is the transport's test, which refusal each error makes the
// presenter's; here, that a server the session cannot verify ends the payment unsent.
TEST_F(Presenters, AnUntrustedServerIsARefusalAndReceivesNothing) {
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(std::nullopt);
    EXPECT_EQ(refused(pay(sandbox::kAcceptedCard, "D0100")),
              DirectPaymentResponseKO(5550, "Error de conexión."))
        << "a server the session cannot verify";
    EXPECT_TRUE(gateway().requests().empty());
}

TEST_F(Presenters, WebPaymentsEndAsTheResultAtTheReturnAddressSays) {
    const auto accepted = payOnPage(sandbox::kAcceptedCard, "W0001");
    EXPECT_EQ(accepted->told, std::vector<std::string>{"OK 0 0"});
    ASSERT_EQ(accepted->accepted.size(), 1u);
    EXPECT_EQ(accepted->accepted[0].Ds_Order, "W0001");
    EXPECT_EQ(accepted->accepted[0].Ds_Amount, "1999");
    EXPECT_EQ(accepted->accepted[0].desc, "");
    EXPECT_EQ(payOnPage(sandbox::kDeclinedCard, "W0002")->told,
              std::vector<std::string>{"KO 78 190 0"});
}

}  // namespace
}  // namespace vanto
