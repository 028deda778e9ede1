#pragma once

#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "CardDataWatch.h"
#include "RecordingViews.h"
#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/encoding/Encode.h"
#include "vanto/platform/ProcessState.h"
#include "vanto/platform/URLSession.h"
#include "vanto/sandbox/HeadlessBrowser.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/transport/Manager.h"
#include "vanto/transport/Session.h"
#include "vanto/web/WebViewPaymentPresenter.h"

namespace vanto::testing {

/// One sandbox gateway on loopback for a whole test suite, standing in for the test
/// environment; the configuration is set to its default merchant before each test.
class SandboxTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sandbox::SandboxOptions options;
        // Its console and recording are watched for card data with everything else.
        options.recordFile = ::testing::TempDir() + "sandbox-" + std::to_string(::getpid()) +
                             ".jsonl";
        cardDataWatch().watchFile(options.recordFile, true);
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

    /// A direct payment through a new presenter; the view it reported to.
    static std::shared_ptr<RecordingDirectView> payDirectly(
        std::string_view card, std::string_view order, std::string_view cvv = "123",
        std::string_view expiry = "3012", double amount = 19.99, std::string_view identifier = "") {
        cardDataWatch().secret(cvv);
        cardDataWatch().expiry(expiry);
        auto view = std::make_shared<RecordingDirectView>();
        auto presenter = std::make_shared<DirectPaymentPresenter<RecordingDirectView>>(view);
        presenter->makePaymentAction(card, cvv, expiry, amount, order, identifier,
                                     TransactionType::normal, "Libro");
        EXPECT_TRUE(Manager::waitForCallsInFlight(std::chrono::seconds(30)));
        return view;
    }

    /// A web payment for `order`: the presenter's signature request, then the sandbox's page
    /// walked with `card` and security code `cvv`. What the view was told.
    static std::shared_ptr<RecordingWebView> payOnPage(std::string_view card,
                                                       std::string_view order,
                                                       std::string_view cvv = "123") {
        cardDataWatch().secret(cvv);
        cardDataWatch().expiry("12/30");
        auto view = std::make_shared<RecordingWebView>();
        auto presenter = std::make_shared<WebViewPaymentPresenter<RecordingWebView>>(view);
        std::optional<platform::URLRequest> page;
        presenter->loadWebViewRequest(
            order, "", 19.99, TransactionType::normal, "Libro",
            [&page](platform::URLRequest request) { page = std::move(request); });
        EXPECT_TRUE(Manager::waitForCallsInFlight(std::chrono::seconds(30)));
        if (!page) {
            return view;
        }
        sandbox::HeadlessBrowser browser(gateway().certificatePem());
        sandbox::PageWalk walk;
        walk.navigation = [&](const std::string& address) {
            presenter->webViewNotifyUser(address);
            return view->told.empty();  // an outcome ends the walk, as the screen closes
        };
        walk.finished = [](const sandbox::HeadlessBrowser::Page&) { return true; };
        sandbox::walkPaymentPage(browser, *page, {std::string(card), "12/30", std::string(cvv)},
                                 walk);
        return view;
    }

  private:
    static inline sandbox::SandboxGateway* gateway_ = nullptr;
};

}  // namespace vanto::testing
