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
#include <nlohmann/json.hpp>

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
    // A direct payment of `amount` with `card` for `order`; its one outcome.
    static DirectOutcome pay(std::string_view card, std::string_view order, double amount = 19.99,
                             std::string_view identifier = "") {
        const bool stored = !identifier.empty() && identifier != "REQUIRED";
        const auto view = payDirectly(stored ? "" : card, order, stored ? "" : "123",
                                      stored ? "" : "3012", amount, identifier);
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

    static nlohmann::json sentMessage() {
        const auto requests = gateway().requests();
        const std::string body = requests.at(0).body.substr(std::string("datoEntrada=").size());
        return nlohmann::json::parse(nlohmann::json::parse(body).at("mensaje").get<std::string>());
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

TEST_F(Presenters, AStoredCardIsAskedForThenPaysWithoutCardData) {
    const auto first = pay(sandbox::kReferenceCard, "D0300", 5.0, "REQUIRED");
    ASSERT_TRUE(std::holds_alternative<DirectPaymentResponseOK>(first));
    const std::string reference = std::get<DirectPaymentResponseOK>(first).Ds_Merchant_Identifier;
    ASSERT_FALSE(reference.empty());
    gateway().clearRequests();
    const auto second = pay("", "D0301", 5.0, reference);
    ASSERT_TRUE(std::holds_alternative<DirectPaymentResponseOK>(second));
    const auto data = sentMessage()["datosPeticion"];
    EXPECT_EQ(data["DS_MERCHANT_PAN"], "");
    EXPECT_EQ(data["DS_MERCHANT_CVV2"], "");
    EXPECT_EQ(data["DS_MERCHANT_EXPIRYDATE"], "");
    EXPECT_EQ(data["DS_MERCHANT_IDENTIFIER"], reference);
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
