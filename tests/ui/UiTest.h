#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QString>
#include <QWidget>

#include "SandboxScreenTest.h"
#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/web/WebViewPaymentResponseDelegate.h"

namespace vanto::testing {

/// Bounds of the tests' waits, in milliseconds: a step of a screen, which may need the sandbox or
/// the web engine, and a whole page with everything it loads.
inline constexpr int kStepBound = 20000;
inline constexpr int kPageBound = 30000;

/// Runs the event loop, without ever sleeping the thread (the web engine works on it too), until
/// `done` holds: looked at first, then each time `sender` emits `signal` (QSignalSpy::wait).
/// False when `timeoutMs` passed first.
template <typename Sender, typename Signal, typename Predicate>
bool waitUntil(const Sender* sender, Signal signal, Predicate done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        QSignalSpy emitted(sender, signal);
        if (deadline.hasExpired() || !emitted.wait(static_cast<int>(deadline.remainingTime()))) {
            return done();
        }
    }
    return true;
}

/// A signal for the tests' waits: emitted when told, and when a watched widget is shown or hidden
/// or gains a child (a message box over a window).
class Changes : public QObject {
    Q_OBJECT

  public:
    void notify() { emit changed(); }
    void watch(QWidget* widget) { widget->installEventFilter(this); }
    /// waitUntil() on this one's changes.
    template <typename Predicate>
    bool waitFor(Predicate done, int timeoutMs = kStepBound) const {
        return waitUntil(this, &Changes::changed, done, timeoutMs);
    }

  signals:
    void changed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

/// Every report a screen's delegate received: the outcomes, and the notices of a screen closed
/// without one (their mayHavePaid); and all of them in order as "OK <code>", "KO <code> <desc>"
/// or "closed <mayHavePaid>". `onReport` runs after each.
template <typename Accepted, typename Refused>
class Reports : public Changes {
  public:
    std::size_t count() const { return told.size(); }
    /// Waits for the first report.
    bool waitForReport(int timeoutMs = kStepBound) const {
        return waitFor([this] { return count() > 0; }, timeoutMs);
    }

    std::vector<Accepted> accepted;
    std::vector<Refused> refused;
    std::vector<bool> notices;
    std::vector<std::string> told;
    std::function<void()> onReport;

  protected:
    void record(const Accepted& response) {
        accepted.push_back(response);
        reported("OK " + std::to_string(response.code));
    }
    void record(const Refused& response) {
        refused.push_back(response);
        reported("KO " + std::to_string(response.code) + " " + response.desc);
    }
    void record(bool mayHavePaid) {
        notices.push_back(mayHavePaid);
        reported("closed " + std::to_string(mayHavePaid));
    }

  private:
    void reported(std::string report) {
        told.push_back(std::move(report));
        notify();
        if (onReport) {
            onReport();
        }
    }
};

class CardOutcomes final : public Reports<DirectPaymentResponseOK, DirectPaymentResponseKO>,
                           public DirectPaymentResponseDelegate {
  public:
    void responseDirectPaymentOK(const DirectPaymentResponseOK& response) override {
        record(response);
    }
    void responseDirectPaymentKO(const DirectPaymentResponseKO& response) override {
        record(response);
    }
    void paymentScreenClosedWithoutOutcome(bool mayHavePaid) override { record(mayHavePaid); }
};

class PageOutcomes final : public Reports<WebViewPaymentResponseOK, WebViewPaymentResponseKO>,
                           public WebViewPaymentResponseDelegate {
  public:
    void responsePaymentOK(const WebViewPaymentResponseOK& response) override { record(response); }
    void responsePaymentKO(const WebViewPaymentResponseKO& response) override { record(response); }
    void paymentScreenClosedWithoutOutcome(bool mayHavePaid) override { record(mayHavePaid); }
};

/// The screens in a real Qt application, the Qt binding in place, against a sandbox gateway on
/// loopback, which stands in for the test environment for a whole suite; the library's URL
/// sessions, and so the web view, trust its certificate. The library's traces are kept for the test
/// to read.
class UiTest : public SandboxScreenTest<qt::QtBinding> {
  protected:
    /// Saves a picture of `widget` as <build>/tests/ui/screenshots/<name>.png.
    static void saveScreenshot(QWidget& widget, const QString& name);
};

/// The window's line edit that assistive technologies know by `name`.
QLineEdit* fieldNamed(const QWidget& window, const QString& name);
/// The window's push button showing `title`.
QPushButton* buttonTitled(const QWidget& window, const QString& title);

}  // namespace vanto::testing
