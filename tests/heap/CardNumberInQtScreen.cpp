// A card typed into the real card-entry screen of a Qt binding, on a display, key by key:
// corrected, paid through a sandbox gateway, typed again and cancelled. No block freed meanwhile
// may hold the whole card number, plain or in its groups of four, in the one-byte form of the core
// or the two-byte form of Qt's strings. Built once for the Widgets binding and, with
// VANTO_HEAP_QUICK, once for the Qt Quick one.
//
// The program replaces malloc and its family (operator new ends there too), so that the blocks
// of Qt's own strings and of libcurl are watched as well as the library's: each block freed or
// moved by realloc, on any thread, is searched first. Where one is found, its caller's stack goes
// to standard error. The sandbox runs in a child process, since it keeps what it receives.
#include <execinfo.h>
#include <malloc.h>
#include <string.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string_view>

#include <QDate>
#include <QDeadlineTimer>
#include <QTest>

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
#include <QPushButton>

#include "vanto/qt/QtBinding.h"
#endif

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* data, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* data);
}

namespace {

constexpr char kCardNumber[] = "4000000000000002";
constexpr char kGrouped[] = "4000 0000 0000 0002";

// The card number plain and in groups of four, as bytes and as UTF-16 units (x86 is
// little-endian), none of them in a block of its own.
constexpr char16_t kWide[] = u"4000000000000002";
constexpr char16_t kWideGrouped[] = u"4000 0000 0000 0002";
const std::string_view kPatterns[] = {
    kCardNumber,
    kGrouped,
    {reinterpret_cast<const char*>(kWide), 2 * (std::size(kWide) - 1)},
    {reinterpret_cast<const char*>(kWideGrouped), 2 * (std::size(kWideGrouped) - 1)}};

std::atomic<bool> searching{false};
std::atomic<int> freedWithCardNumber{0};
thread_local bool inHook = false;

bool holdsCardNumber(const void* data, std::size_t size) {
    for (const std::string_view pattern : kPatterns) {
        if (memmem(data, size, pattern.data(), pattern.size()) != nullptr) {
            return true;
        }
    }
    return false;
}

// A block about to be let go of: counted, and its caller shown, when it holds the card number.
void search(void* data) {
    if (data == nullptr || !searching || inHook) {
        return;
    }
    inHook = true;
    if (holdsCardNumber(data, malloc_usable_size(data))) {
        const int found = ++freedWithCardNumber;
        if (found <= 5) {
            std::fprintf(stderr, "freed with the card number, from:\n");
            void* frames[32];
            backtrace_symbols_fd(frames, backtrace(frames, 32), 2);
        }
    }
    inHook = false;
}

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
    Item* item(const char* name, const char*) const {
        return root->findChild<QQuickItem*>(QLatin1String(name));
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

// The card-entry screen's window; its fields go by their captions, as assistive technologies
// read them, its buttons by their titles.
struct Window {
    QWidget* window = nullptr;

    bool show(const std::shared_ptr<vanto::DirectPaymentViewController>& controller) {
        window = vanto::qt::present(controller);
        return window && QTest::qWaitForWindowExposed(window);
    }
    Item* item(const char*, const char* name) const {
        for (auto* widget : window->findChildren<QWidget*>()) {
            const auto* button = qobject_cast<QPushButton*>(widget);
            if ((button ? button->text() : widget->accessibleName()) == QString::fromUtf8(name)) {
                return widget;
            }
        }
        return nullptr;
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
        number = item("numberInput", "N.º de tarjeta");
        expiry = item("expiryInput", "Caducidad");
        cvv = item("securityCodeInput", "Cód. seguridad");
        proceed = item("continueButton", "Continuar");
        cancel = item("cancelButton", "Cancelar");
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

extern "C" {

void* malloc(size_t size) {
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    return __libc_calloc(count, size);
}

void free(void* data) {
    search(data);
    __libc_free(data);
}

// A block that may move is searched first: the old one would be let go of unseen.
void* realloc(void* data, size_t size) {
    search(data);
    return __libc_realloc(data, size);
}

void* memalign(size_t alignment, size_t size) {
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** data, size_t alignment, size_t size) {
    *data = __libc_memalign(alignment, size);
    return *data == nullptr ? ENOMEM : 0;
}

}  // extern "C"

int main(int argc, char** argv) {
    if (!vanto::testing::payThroughSandboxProcess()) {
        return 1;
    }
#if defined(VANTO_HEAP_QUICK)
    Binding::prepareApplication();
#endif
    Application application(argc, argv);
    Binding binding;
    void* frames[1];
    backtrace(frames, 1);  // loads what backtrace needs before it is called inside free

    searching = true;
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
    searching = false;
    if (freedWithCardNumber > 0) {
        std::fprintf(stderr, "%d freed blocks held the card number\n", freedWithCardNumber.load());
        return 1;
    }
    std::puts("no freed block held the card number");
    return 0;
}
