#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/web/WebViewPaymentResponseDelegate.h"

namespace vanto::testing {

using namespace std::chrono_literals;

/// Runs the Qt event loop until `done` holds or `timeout` has passed; returns done().
/// Windows and widgets let go of meanwhile are deleted.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s);

/// Every outcome the card-entry screen handed over.
class CardOutcomes final : public DirectPaymentResponseDelegate {
  public:
    void responseDirectPaymentOK(const DirectPaymentResponseOK& response) override {
        accepted.push_back(response);
    }
    void responseDirectPaymentKO(const DirectPaymentResponseKO& response) override {
        refused.push_back(response);
    }
    std::size_t count() const { return accepted.size() + refused.size(); }

    std::vector<DirectPaymentResponseOK> accepted;
    std::vector<DirectPaymentResponseKO> refused;
};

/// Every outcome the payment web page handed over.
class PageOutcomes final : public WebViewPaymentResponseDelegate {
  public:
    void responsePaymentOK(const WebViewPaymentResponseOK& response) override {
        accepted.push_back(response);
    }
    void responsePaymentKO(const WebViewPaymentResponseKO& response) override {
        refused.push_back(response);
    }
    std::size_t count() const { return accepted.size() + refused.size(); }

    std::vector<WebViewPaymentResponseOK> accepted;
    std::vector<WebViewPaymentResponseKO> refused;
};

/// The screens in a real Qt application, the Qt binding in place, against a sandbox gateway on
/// loopback, which stands in for the test environment for a whole suite; the library's URL
/// sessions, and so the web view, trust its certificate. The library's traces are kept for the test
/// to read.
class UiTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    static sandbox::SandboxGateway& gateway() { return *gateway_; }
    /// Makes the library's sessions trust exactly `anchor`.
    static void trustOnly(const std::string& anchor);
    /// The traces written since the test began.
    static std::vector<std::string> traces();
    /// Saves a picture of `widget` as <build>/tests/ui/screenshots/<name>.png.
    static void saveScreenshot(QWidget& widget, const QString& name);

    /// An expiry a month that has not come yet, as typed: "12" and two digits of a year to come.
    static QString futureExpiryDigits();

  private:
    static inline sandbox::SandboxGateway* gateway_ = nullptr;
    static inline qt::QtBinding* binding_ = nullptr;
    static inline std::mutex tracesMutex_;
    static inline std::vector<std::string> traces_;
};

/// The window's line edit that assistive technologies know by `name`.
QLineEdit* fieldNamed(const QWidget& window, const QString& name);
/// The window's push button showing `title`.
QPushButton* buttonTitled(const QWidget& window, const QString& title);

}  // namespace vanto::testing
