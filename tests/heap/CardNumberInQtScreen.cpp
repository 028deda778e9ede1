// A card typed into the real card-entry screen of the Qt Widgets binding, on a display, key by
// key: corrected, paid through a sandbox gateway, typed again and cancelled. No block freed
// meanwhile may hold the whole card number, plain or in its groups of four, in the one-byte form
// of the core or the two-byte form of Qt's strings.
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

#include <QApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "SandboxProcess.h"
#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/qt/QtBinding.h"

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

struct Screen {
    std::shared_ptr<vanto::DirectPaymentViewController> controller;
    std::shared_ptr<Outcome> outcome = std::make_shared<Outcome>();
    QLineEdit* number = nullptr;
    QLineEdit* expiry = nullptr;
    QLineEdit* cvv = nullptr;
    QPushButton* proceed = nullptr;
    QPushButton* cancel = nullptr;
};

QPushButton* titled(const QWidget& window, const char* title) {
    for (auto* button : window.findChildren<QPushButton*>()) {
        if (button->text() == QLatin1String(title)) {
            return button;
        }
    }
    return nullptr;
}

// The card-entry screen on the display, its fields in the order they are made.
bool present(Screen& screen, const char* order) {
    screen.controller = vanto::DirectPaymentViewController::create(
        order, 19.99, "Libro", vanto::TransactionType::normal, "REQUIRED", nullptr);
    screen.controller->setDelegate(screen.outcome);
    QWidget* window = vanto::qt::present(screen.controller);
    if (!window || !QTest::qWaitForWindowExposed(window)) {
        return false;
    }
    for (auto* field : window->findChildren<QLineEdit*>()) {
        const QString name = field->accessibleName();
        (name == QStringLiteral("N.º de tarjeta")   ? screen.number
         : name == QStringLiteral("Caducidad")      ? screen.expiry
         : name == QStringLiteral("Cód. seguridad") ? screen.cvv
                                                    : field) = field;
    }
    // The screen takes what is typed once it has appeared.
    if (!screen.number || !screen.expiry || !screen.cvv ||
        !waitFor([&] { return screen.number->isEnabled(); })) {
        return false;
    }
    QCoreApplication::processEvents();
    screen.proceed = titled(*window, "Continuar");
    screen.cancel = titled(*window, "Cancelar");
    return screen.proceed && screen.cancel;
}

// The card number typed key by key (the test makes no string of it), its last digit taken back
// and typed again; an expiry and a code.
void typeCard(Screen& screen) {
    for (const char digit : std::string_view(kCardNumber)) {
        QTest::keyClick(screen.number, digit);
    }
    QTest::keyClick(screen.number, Qt::Key_Backspace);
    QTest::keyClick(screen.number, kCardNumber[sizeof kCardNumber - 2]);
    const int nextYear = (QDate::currentDate().year() + 1) % 100;
    QTest::keyClicks(screen.expiry, QStringLiteral("12%1").arg(nextYear, 2, 10, QLatin1Char('0')));
    QTest::keyClicks(screen.cvv, QStringLiteral("123"));
}

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
    QApplication application(argc, argv);
    vanto::qt::QtBinding binding;
    void* frames[1];
    backtrace(frames, 1);  // loads what backtrace needs before it is called inside free

    searching = true;
    {
        Screen paid;
        if (!present(paid, "HEAPQT01")) {
            return fail("the card-entry screen did not show");
        }
        typeCard(paid);
        if (!paid.proceed->isEnabled()) {
            return fail("the card typed was not taken as valid");
        }
        QTest::mouseClick(paid.proceed, Qt::LeftButton);
        if (!waitFor([&] { return !paid.outcome->told.empty(); }) || paid.outcome->told != "OK") {
            return fail("the payment did not go through");
        }

        Screen cancelled;
        if (!present(cancelled, "HEAPQT02")) {
            return fail("the second card-entry screen did not show");
        }
        typeCard(cancelled);
        QTest::mouseClick(cancelled.cancel, Qt::LeftButton);
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
