// A card typed into the real card-entry screen of a Qt binding, on a display, key by key:
// corrected, paid through a sandbox gateway, typed again and cancelled. No block freed meanwhile
// may hold the card number, Qt's own strings included. Built once for the Widgets binding and,
// with VANTO_HEAP_QUICK, once for the Qt Quick one. The sandbox runs in a child process, since it
// keeps what it receives.
#include <cstdio>
#include <memory>
#include <string_view>

#include <QDate>
#include <QDeadlineTimer>
#include <QTest>

#include "FreedBlockSearch.h"
#include "SandboxProcess.h"
#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/testing/CardScreenDriver.h"
#if defined(VANTO_HEAP_QUICK)
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

#include "vanto/quick/QuickBinding.h"
#include "vanto/quick/ScreenHandle.h"
#else
#include <QApplication>

#include "vanto/qt/QtBinding.h"
#endif

namespace {

using vanto::testing::heap::kCardNumber;

class Outcome final : public vanto::DirectPaymentResponseDelegate {
  public:
    void responseDirectPaymentOK(const vanto::DirectPaymentResponseOK&) override { told = "OK"; }
    void responseDirectPaymentKO(const vanto::DirectPaymentResponseKO& response) override {
        told = "KO " + std::to_string(response.code);
    }
    void paymentScreenClosedWithoutOutcome(bool) override { told = "closed"; }
    std::string told;
};

// Runs the event loop until `done` holds, for 30 seconds at most.
template <typename Predicate>
bool waitFor(Predicate done) {
    const QDeadlineTimer deadline(30000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return done();
}

const int kNextYear = (QDate::currentDate().year() + 1) % 100;
const QString kExpiry = QStringLiteral("12%1").arg(kNextYear, 2, 10, QLatin1Char('0'));

#if defined(VANTO_HEAP_QUICK)
using Application = QGuiApplication;
using Binding = vanto::quick::QuickBinding;

// The card-entry screen in a window of its own.
struct Window {
    std::unique_ptr<vanto::quick::ScreenHandle> handle;
    std::unique_ptr<QQuickWindow> window;
    QQuickItem* root = nullptr;

    bool show(const std::shared_ptr<vanto::DirectPaymentViewController>& controller) {
        static auto* engine = new QQmlEngine(QCoreApplication::instance());
        handle = std::make_unique<vanto::quick::ScreenHandle>(controller);
        QQmlComponent component(engine);
        component.setData("import QtQuick\nimport Vanto\nCardEntryScreen {}\n", QUrl());
        root = qobject_cast<QQuickItem*>(component.createWithInitialProperties(
            {{QStringLiteral("screen"), QVariant::fromValue<QObject*>(handle.get())}}));
        if (!root) {
            return false;
        }
        window = std::make_unique<QQuickWindow>();
        window->resize(420, 680);
        root->setParentItem(window->contentItem());
        root->setParent(window.get());
        root->setSize(QSizeF(420, 680));
        window->show();
        window->requestActivate();
        return QTest::qWaitForWindowExposed(window.get()) &&
               QTest::qWaitForWindowActive(window.get());
    }
};
#else
using Application = QApplication;
using Binding = vanto::qt::QtBinding;

// The card-entry screen's window.
struct Window {
    QWidget* root = nullptr;

    bool show(const std::shared_ptr<vanto::DirectPaymentViewController>& controller) {
        root = vanto::qt::present(controller);
        return root && QTest::qWaitForWindowExposed(root);
    }
};
#endif

// A card-entry screen on the display, taking what is typed, its controls found and worked as an
// application's own UI test does.
struct Screen : Window {
    std::shared_ptr<vanto::DirectPaymentViewController> controller;
    std::shared_ptr<Outcome> outcome = std::make_shared<Outcome>();
    QObject* number = nullptr;
    QObject* expiry = nullptr;
    QObject* cvv = nullptr;
    QObject* proceed = nullptr;
    QObject* cancel = nullptr;

    bool present(const char* order) {
        controller = vanto::DirectPaymentViewController::create(
            order, 19.99, "Libro", vanto::TransactionType::normal, "REQUIRED", nullptr);
        controller->setDelegate(outcome);
        if (!show(controller)) {
            return false;
        }
        using vanto::testing::detail::control;
        number = control(root, QStringLiteral("number"));
        expiry = control(root, QStringLiteral("expiry"));
        cvv = control(root, QStringLiteral("securityCode"));
        proceed = control(root, QStringLiteral("continueButton"));
        cancel = control(root, QStringLiteral("cancelButton"));
        // The screen takes what is typed once it has appeared.
        const bool shown = number && expiry && cvv && proceed && cancel &&
                           waitFor([&] { return enabled(number); });
        QCoreApplication::processEvents();
        return shown;
    }

    static bool enabled(const QObject* control) { return control->property("enabled").toBool(); }

    // Each character of `text` typed into `field` as its key, after what it holds.
    static void type(QObject* field, std::string_view text) {
        vanto::testing::detail::click(field);
        vanto::testing::detail::key(field, Qt::Key_End);
        for (const char character : text) {
            vanto::testing::detail::key(field, Qt::Key_unknown, character);
        }
    }

    // The card number typed key by key (the test makes no string of it), its last digit taken
    // back and typed again; an expiry and a code.
    void typeCard() const {
        type(number, kCardNumber);
        vanto::testing::detail::key(number, Qt::Key_Backspace);
        type(number, std::string_view(kCardNumber).substr(sizeof kCardNumber - 2));
        type(expiry, kExpiry.toStdString());
        type(cvv, "123");
    }
};

int fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (!vanto::testing::payThroughSandboxProcess()) {
        return 1;
    }
#if defined(VANTO_HEAP_QUICK)
    Binding::prepareApplication();
#endif
    Application application(argc, argv);
    Binding binding;
    vanto::testing::heap::startSearching();
    {
        Screen paid;
        if (!paid.present("HEAPQT01")) {
            return fail("the card-entry screen did not show");
        }
        paid.typeCard();
        if (!Screen::enabled(paid.proceed)) {
            return fail("the card typed was not taken as valid");
        }
        vanto::testing::detail::click(paid.proceed);
        if (!waitFor([&] { return !paid.outcome->told.empty(); }) || paid.outcome->told != "OK") {
            return fail("the payment did not go through");
        }

        Screen cancelled;
        if (!cancelled.present("HEAPQT02")) {
            return fail("the second card-entry screen did not show");
        }
        cancelled.typeCard();
        vanto::testing::detail::click(cancelled.cancel);
        if (!waitFor([&] { return !cancelled.outcome->told.empty(); })) {
            return fail("the cancel gave no outcome");
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return vanto::testing::heap::noneFound() ? 0 : 1;
}
