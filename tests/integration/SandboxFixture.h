#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/encoding/Encode.h"
#include "vanto/platform/ProcessState.h"
#include "vanto/platform/URLSession.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/transport/Manager.h"
#include "vanto/transport/Session.h"

namespace vanto::testing {

/// One sandbox gateway on loopback for a whole test suite, standing in for the test
/// environment; the configuration is set to its default merchant before each test.
class SandboxTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sandbox::SandboxOptions options;
        options.logRequests = false;
        gateway_ = new sandbox::SandboxGateway(options);
        ASSERT_TRUE(gateway_->start()) << gateway_->lastError();
    }
    static void TearDownTestSuite() {
        delete gateway_;
        gateway_ = nullptr;
    }
    void SetUp() override {
        ProcessState::reset();
        ASSERT_TRUE(gateway_->useAsTestEnvironment());
        gateway_->clearRequests();
        gateway_->setFaultForAll(std::nullopt);
    }
    void TearDown() override { ProcessState::reset(); }

    static sandbox::SandboxGateway& gateway() { return *gateway_; }

    /// A session configuration that trusts the sandbox's certificate.
    static platform::URLSessionConfiguration trusting() {
        auto configuration = platform::URLSessionConfiguration::defaultSessionConfiguration();
        configuration.additionalTrustAnchors = {gateway_->certificatePem()};
        return configuration;
    }

    /// A signed direct payment of 19.99 with `card` for `order`.
    static platform::SecretText directPayment(std::string_view card, std::string_view order) {
        return Encode::encodeStringDirectPayment(card, "123", "3012", "1999", order, "", "true",
                                                 "0", "Libro 1/2");
    }

    /// The outcome of one call, filled by the callbacks.
    template <typename Record>
    struct Outcome {
        int deliveries = 0;
        std::optional<Record> record;
        std::optional<SDKError> error;
    };

    /// Sends `request` with a new manager and waits, pumping the main queue, for its outcome.
    template <typename T>
    static Outcome<typename T::Response> send(
        std::shared_ptr<T> request, platform::URLSessionConfiguration configuration = trusting()) {
        auto outcome = std::make_shared<Outcome<typename T::Response>>();
        Manager::create(std::move(configuration))
            ->send(
                request, std::nullopt,
                [outcome](std::optional<typename T::Response> record) {
                    ++outcome->deliveries;
                    outcome->record = std::move(record);
                },
                [outcome](SDKError error) {
                    ++outcome->deliveries;
                    outcome->error = std::move(error);
                });
        // A call stops being in flight once its handler and its delivery are gone, so a second
        // delivery would have happened by then.
        EXPECT_TRUE(Manager::waitForCallsInFlight(std::chrono::seconds(30)));
        EXPECT_EQ(outcome->deliveries, 1);
        return *outcome;
    }

  private:
    static inline sandbox::SandboxGateway* gateway_ = nullptr;
};

}  // namespace vanto::testing
