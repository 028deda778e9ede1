// Fault switches: chosen by order-number prefix, set per order in process, or set for all.

#include <chrono>
#include <future>

#include <nlohmann/json.hpp>

#include "SandboxTestSupport.h"

namespace vanto::sandbox::testing {
namespace {

using namespace std::chrono_literals;

class FaultTest : public SandboxTest {
  protected:
    httplib::Result payOrder(const std::string& order) {
        return postService(kDirectPath, directRequest("4000000000000002", order));
    }

    /// The status of a direct payment for `order`, or -1 without an answer.
    int statusFor(const std::string& order) {
        const httplib::Result result = payOrder(order);
        return result ? result->status : -1;
    }

    /// The raw reply to a direct payment for `order`, on a connection of its own.
    std::optional<std::string> rawPayment(const std::string& order) {
        const std::string body = "datoEntrada=" + directRequest("4000000000000002", order);
        return rawExchange(gateway_->port(), gateway_->certificatePem(),
                           std::string("POST ") + kDirectPath +
                               " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + kFormType +
                               "\r\nContent-Length: " + std::to_string(body.size()) +
                               "\r\nConnection: close\r\n\r\n" + body);
    }
};

TEST(FaultPrefixes, AreReadFromTheStartOfTheOrderNumber) {
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_STATUS_503"), Fault::httpStatus(503));
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_STATUS_299x"), Fault::httpStatus(299));
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_DELAY_1500"), Fault::delayed(1500ms));
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_CLOSE_7"), Fault::closeConnection());
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_CUT"), Fault::truncatedBody());
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_NUMMSG"), Fault::numericMensaje());
    for (const char* none : {"FAULT_STATUS_99", "FAULT_STATUS_600", "FAULT_STATUS_", "FAULT_DELAY_",
                             "FAULT_DELAY_999999", "ORDER_FAULT_CLOSE", "fault_close", "1234"}) {
        EXPECT_FALSE(Fault::fromOrderNumber(none)) << none;
    }
}

TEST_F(FaultTest, StatusFaultAnswersThatStatusWithTheSessionCookie) {
    const httplib::Result result = payOrder("FAULT_STATUS_503");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 503);
    EXPECT_EQ(result->get_header_value("Set-Cookie").rfind("VANTOSANDBOX=", 0), 0u);
    EXPECT_FALSE(result->body.empty());
}

TEST_F(FaultTest, BodyFaultsAnswer200WithBodiesTheLibraryCannotRead) {
    const httplib::Result empty = payOrder("FAULT_EMPTY");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->status, 200);
    EXPECT_EQ(empty->body, "");

    const httplib::Result notJson = payOrder("FAULT_NOTJSON");
    ASSERT_TRUE(notJson);
    EXPECT_EQ(notJson->status, 200);
    EXPECT_TRUE(nlohmann::json::parse(notJson->body, nullptr, false).is_discarded());

    const httplib::Result unrelated = payOrder("FAULT_BADMSG");
    ASSERT_TRUE(unrelated);
    const std::optional<Envelope> envelope = readEnvelope(unrelated->body);
    ASSERT_TRUE(envelope);
    EXPECT_FALSE(DirectPaymentResponse::fromJSON(envelope->mensaje));
    EXPECT_FALSE(WebViewPaymentResponse::fromJSON(envelope->mensaje));

    const httplib::Result numeric = payOrder("FAULT_NUMMSG");
    ASSERT_TRUE(numeric);
    const nlohmann::json body = nlohmann::json::parse(numeric->body, nullptr, false);
    ASSERT_TRUE(body.is_object());
    EXPECT_TRUE(body["mensaje"].is_number());
}

TEST_F(FaultTest, CloseFaultEndsTheConnectionWithoutAnyAnswer) {
    const std::optional<std::string> closed = rawPayment("FAULT_CLOSE");
    ASSERT_TRUE(closed) << "the TLS connection could not be made";
    EXPECT_EQ(*closed, "");
    const std::optional<std::string> normal = rawPayment("NORMAL01");
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->rfind("HTTP/1.1 200", 0), 0u);

    EXPECT_FALSE(payOrder("FAULT_CLOSE"));
    EXPECT_EQ(gateway_->requests().size(), 3u);
}

TEST_F(FaultTest, DelayFaultAnswersNormallyAfterTheDelay) {
    const auto started = std::chrono::steady_clock::now();
    const httplib::Result result = payOrder("FAULT_DELAY_400");
    ASSERT_TRUE(result);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 400ms);
    EXPECT_EQ(result->status, 200);
    EXPECT_TRUE(readEnvelope(result->body));
}

TEST_F(FaultTest, StoppingCutsADelayShort) {
    gateway_->setFault("SLOW01", Fault::delayed(60s));
    auto caller = std::async(std::launch::async, [this] { return payOrder("SLOW01"); });
    ASSERT_TRUE(gateway_->waitForRequests(1, 10s)) << "the request never arrived";
    const auto started = std::chrono::steady_clock::now();
    gateway_->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(caller.wait_for(10s), std::future_status::ready) << "the client still waits";
}

TEST_F(FaultTest, FaultSetInProcessOverridesThePrefixAndCanBeRemoved) {
    gateway_->setFault("ORDER01", Fault::httpStatus(500));
    gateway_->setFault("FAULT_EMPTY", Fault::httpStatus(502));
    EXPECT_EQ(statusFor("ORDER01"), 500);
    EXPECT_EQ(statusFor("FAULT_EMPTY"), 502);

    gateway_->setFault("ORDER01", std::nullopt);
    const httplib::Result normal = payOrder("ORDER01");
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->status, 200);
    EXPECT_TRUE(readEnvelope(normal->body));
}

TEST_F(FaultTest, FaultForAllActsEvenOnUnreadableRequestsAndOnBothServices) {
    gateway_->setFaultForAll(Fault::httpStatus(502));
    const httplib::Result unreadable = postService(kDirectPath, "not an envelope");
    ASSERT_TRUE(unreadable);
    EXPECT_EQ(unreadable->status, 502);
    const httplib::Result signature = postService(kSignaturePath, "{}");
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->status, 502);

    gateway_->setFaultForAll(std::nullopt);
    const httplib::Result normal = payOrder("ORDER02");
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->status, 200);
}

}  // namespace
}  // namespace vanto::sandbox::testing
