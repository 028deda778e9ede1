#pragma once
// What the screen tests of both Qt bindings share: one binding and one sandbox gateway for the
// whole suite, the library's process state reset around each test, and the traces it wrote.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDate>
#include <QString>

#include "vanto/platform/ProcessState.h"
#include "vanto/platform/URLSession.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/transport/TraceSink.h"

namespace vanto::testing {

/// `Binding` is the binding's object (QtBinding, QuickBinding), made once for the suite after
/// the application and gone before it.
template <typename Binding>
class SandboxScreenTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        binding_ = new Binding();
        sandbox::SandboxOptions options;
        options.logRequests = false;
        gateway_ = new sandbox::SandboxGateway(options);
        ASSERT_TRUE(gateway_->start()) << gateway_->lastError();
    }

    static void TearDownTestSuite() {
        ProcessState::reset();
        delete gateway_;
        gateway_ = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete binding_;
        binding_ = nullptr;
    }

    void SetUp() override {
        ProcessState::reset();
        ASSERT_TRUE(gateway_->useAsTestEnvironment());
        setTraceSink([](std::string_view block) {
            const std::lock_guard lock(tracesMutex_);
            traces_.emplace_back(block);
        });
        gateway_->clearRequests();
        gateway_->setFaultForAll(std::nullopt);
        const std::lock_guard lock(tracesMutex_);
        traces_.clear();
    }

    // Screens dropped by the test have handed their windows and items to the event loop for
    // deletion.
    void TearDown() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ProcessState::reset();
    }

    static sandbox::SandboxGateway& gateway() { return *gateway_; }

    /// Makes the library's sessions trust exactly `anchor`.
    static void trustOnly(const std::string& anchor) {
        auto session = platform::URLSessionConfiguration::defaultSessionConfiguration();
        session.additionalTrustAnchors = {anchor};
        platform::URLSessionConfiguration::setDefaultSessionConfiguration(session);
    }

    /// The traces written since the test began.
    static std::vector<std::string> traces() {
        const std::lock_guard lock(tracesMutex_);
        return traces_;
    }

    /// An expiry a month that has not come yet, as typed: "12" and two digits of a year to come.
    static QString futureExpiryDigits() {
        const int year = (QDate::currentDate().year() + 3) % 100;
        return QStringLiteral("12") + QStringLiteral("%1").arg(year, 2, 10, QLatin1Char('0'));
    }

  private:
    static inline sandbox::SandboxGateway* gateway_ = nullptr;
    static inline Binding* binding_ = nullptr;
    static inline std::mutex tracesMutex_;
    static inline std::vector<std::string> traces_;
};

}  // namespace vanto::testing
