// Faults: how order numbers are read as switches; FAULT_ switches and in-process faults on the
// JSON services, PAGEFAULT_ switches on the card form and RETURNFAULT_ switches on the sandbox's
// return pages. What each FAULT_ switch does to an answer is read by the transport's tests
// (integration/TransportTest), which tell every one apart.

#include <chrono>
#include <map>
#include <regex>

#include "SandboxTestSupport.h"
#include "TestRows.h"
#include "vanto/sandbox/Switches.h"

namespace vanto::sandbox::testing {
namespace {

using namespace std::chrono_literals;

TEST(OrderSwitches, NumbersEndAtTheFirstOtherCharacterAndHaveExactlyTheirDigits) {
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_STATUS_503"), Fault::httpStatus(503));
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_STATUS_299x"), Fault::httpStatus(299));
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_DELAY_120000"), Fault::delayed(120000ms));
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_DELAY_0"), Fault::delayed(0ms));
    EXPECT_EQ(readOrderSwitches("PAGEFAULT_DELAY_40A").pageFault, Fault::delayed(40ms));
    EXPECT_EQ(readOrderSwitches("RETURNFAULT_500X").returnFault, Fault::httpStatus(500));
    EXPECT_EQ(readOrderSwitches("OUTCOME_0099B").outcome, Outcome::response0099);
    for (const char* none :
         {"FAULT_STATUS_5031", "FAULT_STATUS_100", "FAULT_STATUS_199", "FAULT_STATUS_600",
          "FAULT_STATUS_50", "FAULT_STATUS_0503", "FAULT_STATUS_", "FAULT_DELAY_",
          "FAULT_DELAY_120001", "FAULT_DELAY_0000001", "PAGEFAULT_5000", "PAGEFAULT_403",
          "RETURNFAULT_4044", "OUTCOME_00991", "OUTCOME_OTHER", "RESULT_OTHER", "ORDER_FAULT_CLOSE",
          "fault_close", "1234"}) {
        EXPECT_EQ(readOrderSwitches(none), OrderSwitches{}) << none;
    }
}

TEST(OrderSwitches, PartsSeparatedByDashesCombineAndTheFirstOfAFamilyDecides) {
    OrderSwitches expected{.fault = Fault::notJson(),
                           .outcome = Outcome::response0100,
                           .result = {.encoding = ResultShape::Encoding::urlSafeBase64,
                                      .parametersFirst = true,
                                      .acceptedToUrlKo = true},
                           .authenticationStep = true,
                           .pageFault = Fault::closeConnection(),
                           .returnFault = Fault::httpStatus(404)};
    expected.pageFault->delay = 20ms;
    EXPECT_EQ(readOrderSwitches("7-AUTHSTEP-OUTCOME_0100-OUTCOME_0099-RESULT_OKTOKO-"
                                "RESULT_PARAMSFIRST-RESULT_URLSAFE-RESULT_BADBASE64-"
                                "PAGEFAULT_DELAY_20-PAGEFAULT_CLOSE-PAGEFAULT_500-RETURNFAULT_404-"
                                "FAULT_NOTJSON-FAULT_EMPTY"),
              expected);

    Fault delayedStatus = Fault::httpStatus(503);
    delayedStatus.delay = 500ms;
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_STATUS_503-FAULT_DELAY_500"), delayedStatus);
}

/// What came back on a connection: "closed" before any answer, "cut <status>" within one, or
/// its status.
std::string classify(const std::optional<std::string>& received) {
    std::smatch head;
    std::smatch length;
    if (!received || received->empty()) {
        return "closed";
    }
    if (!std::regex_search(*received, head,
                           std::regex(R"(^HTTP/1\.1 (\d{3}) [^\r]*((\r\n[^\r]+)*)\r\n\r\n)")) ||
        !std::regex_search(head[2].first, head[2].second, length,
                           std::regex(R"(\r\nContent-Length: (\d+))"))) {
        return "no readable answer head: " + received->substr(0, 200);
    }
    const std::size_t bodySize = received->size() - static_cast<std::size_t>(head.length(0));
    return (bodySize == std::stoul(length[1].str()) ? "" : "cut ") + head[1].str();
}

class FaultTest : public SandboxTest {
  public:  // the steps' replies are picked from a table by member pointer
    httplib::Result payOrder(const std::string& order) {
        return postService(kDirectPath, directRequest("4000000000000002", order));
    }

    std::string exchange(const std::string& request) {
        return classify(rawExchange(gateway_->port(), gateway_->certificatePem(), request));
    }

    /// The reply to a direct payment for `order`, on a connection of its own.
    std::string directReply(const std::string& order) {
        return exchange(rawRequest("POST", kDirectPath,
                                   "datoEntrada=" + directRequest("4000000000000002", order)));
    }

    /// The reply to the card form of a new page for `order`, paid with the accepted card.
    std::string cardFormReply(const std::string& order) {
        const httplib::Result page = openPage(order);
        if (!page || page->status != 200) {
            return "no payment page";
        }
        return exchange(rawRequest("POST", kCardFormPath,
                                   cardForm(inputValue(page->body, "pagina"), "4000000000000002"),
                                   "Cookie: " + pageCookie_ + "\r\n"));
    }

    /// The reply of the sandbox's return page after paying `order` on its page.
    std::string returnReply(const std::string& order) {
        const std::string location = locationOf(payOnPage(order, "4000000000000002"));
        return exchange(rawRequest("GET", location.substr(location.find("/sandbox/"))));
    }
};

TEST_F(FaultTest, EachFamilyOfSwitchesBreaksTheAnswerOfItsOwnStep) {
    const std::map<std::string, std::string (FaultTest::*)(const std::string&)> steps = {
        {"direct", &FaultTest::directReply},
        {"cardForm", &FaultTest::cardFormReply},
        {"return", &FaultTest::returnReply}};
    for (const auto& row : vanto::testing::readTestRows("sandbox-faults.txt")) {
        const std::string& order = *row.at(1);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ((this->*steps.at(*row.at(0)))(order), *row.at(2)) << order;
        EXPECT_GE(std::chrono::steady_clock::now() - started,
                  std::chrono::milliseconds(row.size() > 3 ? std::stoi(*row[3]) : 0))
            << order;
    }
}

TEST_F(FaultTest, InProcessFaultsOverrideTheSwitchesAndCanBeRemoved) {
    gateway_->setFault("ORDER01", Fault::httpStatus(500));
    gateway_->setFault("FAULT_EMPTY", Fault::httpStatus(502));
    EXPECT_EQ(payOrder("ORDER01")->status, 500);
    EXPECT_EQ(payOrder("FAULT_EMPTY")->status, 502);
    gateway_->setFault("ORDER01", std::nullopt);
    const httplib::Result normal = payOrder("ORDER01");
    ASSERT_TRUE(normal && normal->status == 200);
    EXPECT_TRUE(readEnvelope(normal->body));

    // For all: before the request is read, on both services, and only with final statuses.
    gateway_->setFaultForAll(Fault::httpStatus(502));
    EXPECT_EQ(postService(kDirectPath, "not an envelope")->status, 502);
    EXPECT_EQ(postService(kSignaturePath, "{}")->status, 502);
    gateway_->setFaultForAll(Fault::httpStatus(101));
    EXPECT_EQ(directReply("ORDER02"), "500") << "a 1xx would leave the client waiting";
    gateway_->setFaultForAll(std::nullopt);
    EXPECT_EQ(payOrder("ORDER02")->status, 200);
}

TEST_F(FaultTest, AFaultyCardFormLeavesThePageOpenAndTheOtherServicesAlone) {
    const std::string pageId = inputValue(openPage("PAGEFAULT_500-8")->body, "pagina");
    EXPECT_EQ(submitCard(pageId, "4000000000000002")->status, 500);
    EXPECT_EQ(submitCard(pageId, "4000000000000002")->status, 500) << "still open, still faulty";
    EXPECT_EQ(signWebPayment("PAGEFAULT_CLOSE-9").code, 0);
}

}  // namespace
}  // namespace vanto::sandbox::testing
