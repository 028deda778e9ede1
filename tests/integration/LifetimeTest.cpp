#include <future>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "SandboxFixture.h"

namespace vanto {
namespace {

using namespace std::chrono_literals;
using sandbox::Fault;

class Lifetime : public testing::SandboxTest {
  protected:
    // A request for the sandbox's direct-payment service with the given order.
    static platform::URLRequest paymentRequest(std::string_view order) {
        auto built = DirectPaymentRequest(directPayment(sandbox::kAcceptedCard, order)).build();
        return std::move(built).value();
    }
};

TEST_F(Lifetime, ASessionGoesAwayWithoutWaitingAndItsTransfersStillEnd) {
    sandbox::SandboxOptions options;
    options.logRequests = false;
    sandbox::SandboxGateway slow(options);
    ASSERT_TRUE(slow.start());
    ASSERT_TRUE(Constants::setGatewayHost(EnviromentType::test, slow.authority()));
    slow.setFaultForAll(Fault::delayed(100s));  // answers only when stopped
    auto trustSlow = platform::URLSessionConfiguration::defaultSessionConfiguration();
    trustSlow.additionalTrustAnchors = {slow.certificatePem()};

    std::promise<bool> ended;
    auto session = std::make_unique<platform::URLSession>(trustSlow);
    auto started = session->dataTask(paymentRequest("L0001"), [&ended](auto, auto response, auto) {
        ended.set_value(response.has_value());
    });
    auto later = session->dataTask(paymentRequest("L0002"), [](auto, auto, auto) {});
    started->resume();
    auto outcome = ended.get_future();
    session.reset();
    EXPECT_NE(outcome.wait_for(0s), std::future_status::ready)
        << "destroying the session waited for its transfer";
    later->resume();  // a task of a session that is gone still runs (or fails) on its own

    slow.stop();  // cuts the delay short: the transfer ends, with or without a reply
    ASSERT_EQ(outcome.wait_for(30s), std::future_status::ready);
}

}  // namespace
}  // namespace vanto
