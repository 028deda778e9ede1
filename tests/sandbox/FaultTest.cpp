// Faults: FAULT_ switches and in-process faults on the JSON services, PAGEFAULT_ switches on the
// card form and RETURNFAULT_ switches on the sandbox's return pages.

#include <chrono>
#include <future>
#include <regex>

#include "SandboxTestSupport.h"

namespace vanto::sandbox::testing {
namespace {

using namespace std::chrono_literals;

/// What came back on a connection: its status, or that it closed before or within the answer.
struct Reply {
    enum class Kind { answered, closedWithoutAnswer, cutAfterHead } kind;
    int status = 0;

    friend bool operator==(const Reply&, const Reply&) = default;
};

std::ostream& operator<<(std::ostream& out, const Reply& reply) {
    return out << static_cast<int>(reply.kind) << "/" << reply.status;
}

constexpr Reply kClosed{Reply::Kind::closedWithoutAnswer};
constexpr Reply kCut{Reply::Kind::cutAfterHead, 200};
constexpr Reply answered(int status) {
    return {Reply::Kind::answered, status};
}

Reply classify(const std::optional<std::string>& received) {
    if (!received || received->empty()) {
        return kClosed;
    }
    std::smatch head;
    std::smatch length;
    if (!std::regex_search(*received, head,
                           std::regex(R"(^HTTP/1\.1 (\d{3}) [^\r]*((\r\n[^\r]+)*)\r\n\r\n)")) ||
        !std::regex_search(head[2].first, head[2].second, length,
                           std::regex(R"(\r\nContent-Length: (\d+))"))) {
        ADD_FAILURE() << "no readable answer head: " << received->substr(0, 200);
        return kClosed;
    }
    const std::size_t bodySize = received->size() - static_cast<std::size_t>(head.length(0));
    const bool whole = bodySize == std::stoul(length[1].str());
    return {whole ? Reply::Kind::answered : Reply::Kind::cutAfterHead, std::stoi(head[1].str())};
}

class FaultTest : public SandboxTest {
  public:  // the steps' replies are picked from a table by member pointer
    httplib::Result payOrder(const std::string& order) {
        return postService(kDirectPath, directRequest("4000000000000002", order));
    }

    Reply exchange(const std::string& request) {
        return classify(rawExchange(gateway_->port(), gateway_->certificatePem(), request));
    }

    /// The reply to a direct payment for `order`, on a connection of its own.
    Reply directReply(const std::string& order) {
        return exchange(rawRequest("POST", kDirectPath,
                                   "datoEntrada=" + directRequest("4000000000000002", order)));
    }

    /// The reply to the card form of a new page for `order`, paid with the accepted card.
    Reply cardFormReply(const std::string& order) {
        const httplib::Result page = openPage(order);
        if (!page || page->status != 200) {
            ADD_FAILURE() << "no payment page for " << order;
            return {};
        }
        return exchange(rawRequest("POST", kCardFormPath,
                                   cardForm(inputValue(page->body, "pagina"), "4000000000000002"),
                                   "Cookie: " + pageCookie_ + "\r\n"));
    }

    /// The reply of the sandbox's return page after paying `order` on its page.
    Reply returnReply(const std::string& order) {
        const std::string location = locationOf(payOnPage(order, "4000000000000002"));
        return exchange(rawRequest("GET", location.substr(location.find("/sandbox/"))));
    }
};

TEST_F(FaultTest, EachFamilyOfSwitchesBreaksTheAnswerOfItsOwnStep) {
    const struct {
        Reply (FaultTest::*reply)(const std::string&);
        const char* order;
        Reply expected;
        std::chrono::milliseconds atLeast{};
    } cases[] = {
        {&FaultTest::directReply, "FAULT_STATUS_503", answered(503)},
        {&FaultTest::directReply, "FAULT_STATUS_5031", answered(200)},  // not a switch
        {&FaultTest::directReply, "FAULT_CLOSE", kClosed},
        {&FaultTest::directReply, "FAULT_CUT", kCut},
        {&FaultTest::directReply, "FAULT_HUGE", answered(200)},
        {&FaultTest::directReply, "FAULT_DELAY_400", answered(200), 400ms},
        {&FaultTest::directReply, "NORMAL01", answered(200)},
        {&FaultTest::cardFormReply, "PAGEFAULT_404", answered(404)},
        {&FaultTest::cardFormReply, "PAGEFAULT_500-7", answered(500)},
        {&FaultTest::cardFormReply, "PAGEFAULT_CLOSE", kClosed},
        {&FaultTest::cardFormReply, "PAGEFAULT_CUT", kCut},
        {&FaultTest::cardFormReply, "PAGEFAULT_DELAY_300", answered(303), 300ms},
        {&FaultTest::returnReply, "RETURNFAULT_404", answered(404)},
        {&FaultTest::returnReply, "RETURNFAULT_500", answered(500)},
        {&FaultTest::returnReply, "RETURNFAULT_CLOSE", kClosed},
        {&FaultTest::returnReply, "RETURNFAULT_CUT", kCut},
        {&FaultTest::returnReply, "RETURNFAULT_DELAY_300", answered(200), 300ms},
        // The order is found in a URL-safe result too.
        {&FaultTest::returnReply, "RESULT_URLSAFE-RETURNFAULT_500", answered(500)},
    };
    for (const auto& [reply, order, expected, atLeast] : cases) {
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ((this->*reply)(order), expected) << order;
        EXPECT_GE(std::chrono::steady_clock::now() - started, atLeast) << order;
    }
}

TEST_F(FaultTest, ServiceFaultsAreRecordedAndAnswerWhatTheLibraryCannotRead) {
    const httplib::Result status = payOrder("FAULT_STATUS_503");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->get_header_value("Set-Cookie").rfind("VANTOSANDBOX=", 0), 0u);
    EXPECT_FALSE(status->body.empty());
    EXPECT_FALSE(payOrder("FAULT_CLOSE")) << "a client sees no answer at all";

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
    EXPECT_TRUE(nlohmann::json::parse(numeric->body, nullptr, false)["mensaje"].is_number());
    EXPECT_EQ(gateway_->requests().size(), 6u);
}

TEST_F(FaultTest, DelaysHoldOnlyTheirOwnAnswerAndAStopDropsThem) {
    gateway_->setFault("SLOW01", Fault::delayed(100s));
    auto caller = std::async(std::launch::async, [this] {
        // A client of its own: one client sends one request at a time.
        return trustingClient("127.0.0.1", gateway_->port(), gateway_->certificatePem())
            ->Post(kDirectPath, "datoEntrada=" + directRequest("4000000000000002", "SLOW01"),
                   kFormType);
    });
    ASSERT_TRUE(gateway_->waitForRequests(1, 10s)) << "the request never arrived";
    EXPECT_EQ(payOrder("QUICK01")->status, 200) << "answered while the other is held";
    auto stopping = std::async(std::launch::async, [this] { gateway_->stop(); });
    EXPECT_EQ(stopping.wait_for(30s), std::future_status::ready) << "stop waited for the delay";
    ASSERT_EQ(caller.wait_for(30s), std::future_status::ready) << "the client still waits";
    EXPECT_FALSE(caller.get()) << "a held answer is never sent: the client sees no answer";
}

TEST_F(FaultTest, InProcessFaultsOverrideTheSwitchesAndCanBeRemoved) {
    gateway_->setFault("ORDER01", Fault::httpStatus(500));
    gateway_->setFault("FAULT_EMPTY", Fault::httpStatus(502));
    EXPECT_EQ(payOrder("ORDER01")->status, 500);
    EXPECT_EQ(payOrder("FAULT_EMPTY")->status, 502);
    gateway_->setFault("ORDER01", std::nullopt);
    const httplib::Result normal = payOrder("ORDER01");
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->status, 200);
    EXPECT_TRUE(readEnvelope(normal->body));

    // For all: before the request is read, on both services, and only with final statuses.
    gateway_->setFaultForAll(Fault::httpStatus(502));
    EXPECT_EQ(postService(kDirectPath, "not an envelope")->status, 502);
    EXPECT_EQ(postService(kSignaturePath, "{}")->status, 502);
    gateway_->setFaultForAll(Fault::httpStatus(101));
    EXPECT_EQ(directReply("ORDER02"), answered(500)) << "a 1xx would leave the client waiting";
    gateway_->setFaultForAll(std::nullopt);
    EXPECT_EQ(payOrder("ORDER02")->status, 200);
}

TEST_F(FaultTest, AFaultyCardFormLeavesThePageOpenAndTheOtherServicesAlone) {
    const httplib::Result page = openPage("PAGEFAULT_500-8");
    ASSERT_TRUE(page);
    const std::string pageId = inputValue(page->body, "pagina");
    EXPECT_EQ(submitCard(pageId, "4000000000000002")->status, 500);
    EXPECT_EQ(submitCard(pageId, "4000000000000002")->status, 500) << "still open, still faulty";
    EXPECT_EQ(signWebPayment("PAGEFAULT_CLOSE-9").code, 0);
}

}  // namespace
}  // namespace vanto::sandbox::testing
