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
using Item = QQuickItem;

// The card-entry screen in a window of its own; its items go by their names.
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
    // The text inputs are named after their fields, with "Input".
    Item* item(const QString& name, const char* input = "Input") const {
        return root->findChild<QQuickItem*>(name + QLatin1String(input));
    }
    void key(Item* field, int key) const {
        field->forceActiveFocus();
        QTest::keyClick(window.get(), static_cast<Qt::Key>(key));
    }
    void tap(const Item* item) const {
        QTest::mouseClick(
            window.get(), Qt::LeftButton, {},
            item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
    }
};
#else
using Application = QApplication;
using Binding = vanto::qt::QtBinding;
using Item = QWidget;

// The card-entry screen's window.
struct Window {
    QWidget* window = nullptr;

    bool show(const std::shared_ptr<vanto::DirectPaymentViewController>& controller) {
        window = vanto::qt::present(controller);
        return window && QTest::qWaitForWindowExposed(window);
    }
    Item* item(const QString& name, const char* = "") const {
        return window->findChild<QWidget*>(name);
    }
    void key(Item* field, int key) const { QTest::keyClick(field, static_cast<Qt::Key>(key)); }
    void tap(Item* item) const { QTest::mouseClick(item, Qt::LeftButton); }
};
#endif

// A card-entry screen on the display, taking what is typed.
struct Screen : Window {
    std::shared_ptr<vanto::DirectPaymentViewController> controller;
    std::shared_ptr<Outcome> outcome = std::make_shared<Outcome>();
    Item* number = nullptr;
    Item* expiry = nullptr;
    Item* cvv = nullptr;
    Item* proceed = nullptr;
    Item* cancel = nullptr;

    bool present(const char* order) {
        controller = vanto::DirectPaymentViewController::create(
            order, 19.99, "Libro", vanto::TransactionType::normal, "REQUIRED", nullptr);
        controller->setDelegate(outcome);
        if (!show(controller)) {
            return false;
        }
        number = item(QStringLiteral("number"));
        expiry = item(QStringLiteral("expiry"));
        cvv = item(QStringLiteral("securityCode"));
        proceed = item(QStringLiteral("continueButton"), "");
        cancel = item(QStringLiteral("cancelButton"), "");
        // The screen takes what is typed once it has appeared.
        const bool shown = number && expiry && cvv && proceed && cancel &&
                           waitFor([&] { return number->isEnabled(); });
        QCoreApplication::processEvents();
        return shown;
    }

    // The card number typed key by key (the test makes no string of it), its last digit taken
    // back and typed again; an expiry and a code.
    void typeCard() const {
        for (const char digit : std::string_view(kCardNumber)) {
            key(number, digit);
        }
        key(number, Qt::Key_Backspace);
        key(number, kCardNumber[sizeof kCardNumber - 2]);
        for (const QChar digit : kExpiry) {
            key(expiry, digit.toLatin1());
        }
        for (const char digit : {'1', '2', '3'}) {
            key(cvv, digit);
        }
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
        if (!paid.proceed->isEnabled()) {
            return fail("the card typed was not taken as valid");
        }
        paid.tap(paid.proceed);
        if (!waitFor([&] { return !paid.outcome->told.empty(); }) || paid.outcome->told != "OK") {
            return fail("the payment did not go through");
        }

        Screen cancelled;
        if (!cancelled.present("HEAPQT02")) {
            return fail("the second card-entry screen did not show");
        }
        cancelled.typeCard();
        cancelled.tap(cancelled.cancel);
        if (!waitFor([&] { return !cancelled.outcome->told.empty(); })) {
            return fail("the cancel gave no outcome");
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return vanto::testing::heap::noneFound() ? 0 : 1;
}
