// The recording of the requests received.

#include "SandboxTestSupport.h"

namespace vanto::sandbox::testing {
namespace {

using RecordingTest = SandboxTest;

TEST_F(RecordingTest, KeepsMethodPathHeadersInArrivalOrderAndTheBodyVerbatim) {
    const std::string body = "datoEntrada={\"a\":\"x+y&z=%20\"}";
    const std::string request = std::string("POST ") + kDirectPath +
                                " HTTP/1.1\r\nHost: 127.0.0.1\r\nZ-Last: 1\r\n"
                                "Content-Type: application/x-www-form-urlencoded\r\n"
                                "A-First: 2\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                                body;
    ASSERT_TRUE(rawExchange(gateway_->port(), gateway_->certificatePem(), request));

    const std::vector<RecordedRequest> recorded = gateway_->requests();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].method, "POST");
    EXPECT_EQ(recorded[0].path, kDirectPath);
    EXPECT_EQ(recorded[0].body, body);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Host", "127.0.0.1"},
        {"Z-Last", "1"},
        {"Content-Type", "application/x-www-form-urlencoded"},
        {"A-First", "2"},
        {"Content-Length", std::to_string(body.size())},
        {"Connection", "close"}};
    EXPECT_EQ(recorded[0].headers, expected);
    EXPECT_EQ(recorded[0].header("content-type"), "application/x-www-form-urlencoded");

    gateway_->clearRequests();
    EXPECT_TRUE(gateway_->requests().empty());
}

}  // namespace
}  // namespace vanto::sandbox::testing
