#pragma once
// What the screen tests of both Qt bindings share: one binding and one sandbox gateway for the
// whole suite, the library's process state reset around each test, the traces it wrote, the
// reports a screen's delegate received, and the cases both bindings pass.

#include <algorithm>
#include <cmath>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <QAccessible>
#include <QClipboard>
#include <QColor>
#include <QCoreApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QObject>
#include <QProcess>
#include <QRectF>
#include <QSignalSpy>
#include <QString>

#include "CardDataWatch.h"
#include "OutcomeAgreement.h"
#include "SignatureRoads.h"
#include "TestRows.h"
#include "vanto/config/VantInAppUIConfig.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/platform/ProcessState.h"
#include "vanto/platform/URLSession.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/sandbox/TestCards.h"
#include "vanto/testing/CardScreenDriver.h"
#include "vanto/transport/TraceSink.h"
#include "vanto/web/WebViewPaymentRequest.h"
#include "vanto/web/WebViewPaymentResponseDelegate.h"

namespace vanto::testing {

/// Bounds of the tests' waits, in milliseconds: a step of a screen, which may need the sandbox or
/// the web engine, and a whole page with everything it loads.
inline constexpr int kStepBound = 20000;
inline constexpr int kPageBound = 30000;

/// The contrast of two colours as accessibility guidelines reckon it, from 1 to 21.
inline double contrastRatio(const QColor& one, const QColor& other) {
    const auto luminance = [](const QColor& color) {
        const auto linear = [](double channel) {
            return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
               0.0722 * linear(color.blueF());
    };
    const double lighter = std::max(luminance(one), luminance(other));
    const double darker = std::min(luminance(one), luminance(other));
    return (lighter + 0.05) / (darker + 0.05);
}

/// Runs the event loop, never sleeping the thread (the web engine works on it too), until `done`
/// holds: looked at first, then each time `sender` emits `signal`. False when `timeoutMs` passed
/// first.
template <typename Sender, typename Signal, typename Predicate>
bool waitUntil(const Sender* sender, Signal signal, Predicate done, int timeoutMs = kStepBound) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        QSignalSpy emitted(sender, signal);
        if (deadline.hasExpired() || !emitted.wait(static_cast<int>(deadline.remainingTime()))) {
            return done();
        }
    }
    return true;
}

/// A signal for the tests' waits, with how often it was emitted: emitted when told, and when a
/// watched object is shown or hidden or gains a child (a message box over a window).
class Changes : public QObject {
    Q_OBJECT

  public:
    void notify() {
        ++count;
        emit changed();
    }
    void watch(QObject* object) { object->installEventFilter(this); }
    template <typename Predicate>
    bool waitFor(Predicate done, int timeoutMs = kStepBound) const {
        return waitUntil(this, &Changes::changed, done, timeoutMs);
    }
    int count = 0;

  signals:
    void changed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto type = event->type();
        if (type == QEvent::Show || type == QEvent::Hide || type == QEvent::ChildAdded) {
            notify();
        }
        return QObject::eventFilter(watched, event);
    }
};

/// Every report a screen's delegate received, in order, as "OK <code>", "KO <code> <desc>" or
/// "closed <mayHavePaid>", with the records of the outcomes. `onReport` runs after each (an
/// application letting go of its screen there).
class Reports : public Changes,
                public DirectPaymentResponseDelegate,
                public WebViewPaymentResponseDelegate {
  public:
    void responseDirectPaymentOK(const DirectPaymentResponseOK& response) override {
        cardAccepted.push_back(response);
        record("OK " + std::to_string(response.code));
    }
    void responseDirectPaymentKO(const DirectPaymentResponseKO& response) override {
        record("KO " + std::to_string(response.code) + " " + response.desc);
    }
    void responsePaymentOK(const WebViewPaymentResponseOK& response) override {
        pageAccepted.push_back(response);
        record("OK " + std::to_string(response.code));
    }
    void responsePaymentKO(const WebViewPaymentResponseKO& response) override {
        record("KO " + std::to_string(response.code) + " " + response.desc);
    }
    void paymentScreenClosedWithoutOutcome(bool mayHavePaid) override {
        record("closed " + std::to_string(mayHavePaid));
    }
    void paymentEnded(const PaymentOutcome& outcome) override { agreement.ended(outcome); }

    std::size_t count() const { return told.size(); }
    /// Waits for the first report.
    bool waitForReport(int timeoutMs = kStepBound) const {
        return waitFor([this] { return count() > 0; }, timeoutMs);
    }

    std::vector<std::string> told;
    std::vector<DirectPaymentResponseOK> cardAccepted;
    std::vector<WebViewPaymentResponseOK> pageAccepted;
    OutcomeAgreement agreement;
    std::function<void()> onReport;

  private:
    void record(std::string report) {
        agreement.reported(report);
        told.push_back(std::move(report));
        notify();
        if (onReport) {
            onReport();
        }
    }
};

/// The road to the direct-payment service, which holds each payment until the test lets it go,
/// and tells `handedOn` when the gateway's answer has been handed on.
class HeldRoad final : public DirectPaymentService {
  public:
    explicit HeldRoad(std::shared_ptr<DirectPaymentService> road) : road_(std::move(road)) {}
    void send(std::shared_ptr<DirectPaymentRequest> request, Success success,
              Failure failure) override {
        held_ = [this, request = std::move(request), success = std::move(success),
                 failure = std::move(failure)] {
            road_->send(
                request,
                [this, success](std::optional<DirectPaymentResponse> answer) {
                    success(std::move(answer));
                    handedOn.notify();
                },
                [this, failure](SDKError error) {
                    failure(std::move(error));
                    handedOn.notify();
                });
        };
    }
    bool holding() const { return static_cast<bool>(held_); }
    void letGo() { std::exchange(held_, nullptr)(); }

    Changes handedOn;

  private:
    std::shared_ptr<DirectPaymentService> road_;
    std::function<void()> held_;
};

/// A key and the modifiers held with it.
using KeyPress = std::pair<Qt::Key, Qt::KeyboardModifiers>;

/// `digits` as the card-number field shows them, in groups of four.
inline QString grouped(const QString& digits) {
    QString shown;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        shown += (i > 0 && i % 4 == 0 ? QStringLiteral(" ") : QString()) + digits[i];
    }
    return shown;
}

/// What `server` recorded of the requests to `path`, in order.
inline std::vector<sandbox::RecordedRequest> requestsTo(const sandbox::SandboxGateway& server,
                                                        std::string_view path) {
    auto requests = server.requests();
    std::erase_if(requests, [&](const auto& request) { return request.path != path; });
    return requests;
}

inline QString cardOf(std::string_view card) {
    return QString::fromLatin1(card.data(), static_cast<qsizetype>(card.size()));
}

/// An expiry a month that has not come yet, as typed: "12" and two digits of a year to come.
inline QString futureExpiryDigits() {
    const int year = (QDate::currentDate().year() + 3) % 100;
    return QStringLiteral("12") + QStringLiteral("%1").arg(year, 2, 10, QLatin1Char('0'));
}

/// Types into the screen `shown` a valid card `card`, an expiry to come and a code, key by key.
template <typename Shown>
void typeValidCard(Shown& shown, const QString& card) {
    const std::pair<decltype(shown.number), QString> typed[] = {
        {shown.number, card}, {shown.expiry, futureExpiryDigits()}, {shown.cvv, "123"}};
    for (const auto& [field, text] : typed) {
        shown.focus(field);
        shown.type(text);
    }
}

/// A script for the sandbox's card form: fills it with `card`, an expiry to come and a code, and
/// sends it; its value is true.
inline QString cardFormScript(std::string_view card) {
    return QStringLiteral(
               "document.getElementById('card-number').value = '%1';"
               "document.getElementById('card-expiry').value = '%2';"
               "document.getElementById('card-cvv').value = '123';"
               "document.getElementById('pay-button').click(); true")
        .arg(cardOf(card), futureExpiryDigits().insert(2, QLatin1Char('/')));
}

/// A script whose value is the page position of the middle of the element with the id `id`.
inline QString middleOfScript(const QString& id) {
    return QStringLiteral(
               "(r => [r.left + r.width / 2, r.top + r.height / 2])("
               "document.getElementById('%1').getBoundingClientRect())")
        .arg(id);
}

/// What another program on the display reads from `selection` ("clipboard" or "primary"), through
/// xclip; the test's own event loop answers it meanwhile.
inline std::string readByAnotherProgram(const QString& selection) {
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-o"), QStringLiteral("-selection"), selection});
    EXPECT_TRUE(xclip.waitForStarted(kStepBound))
        << "xclip did not start (scripts/install-deps installs it)";
    EXPECT_TRUE(waitUntil(&xclip, &QProcess::finished, [&] {
        return xclip.state() == QProcess::NotRunning;
    })) << "xclip did not answer";
    return xclip.readAllStandardOutput().toStdString();
}

/// `Binding` is the binding's object (QtBinding, QuickBinding), made once for the suite after
/// the application and gone before it.
template <typename Binding>
class SandboxScreenTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        binding_ = new Binding();
        // The card-data watch reads, besides the program's output (the sandbox's request lines
        // among it), the sandbox's recording, the traces and the X clipboard and selection.
        sandbox::SandboxOptions options;
        options.recordFile =
            ::testing::TempDir() + "screens-" + std::to_string(QCoreApplication::applicationPid());
        cardDataWatch().watchFile(options.recordFile, true);
        cardDataWatch().watch(
            "the traces",
            [] {
                std::string all;
                for (const auto& block : traces()) {
                    all += block + "\n";
                }
                return all;
            },
            true);
        for (const auto& [where, mode] :
             {std::pair{"the clipboard", QClipboard::Clipboard},
              std::pair{"the primary selection", QClipboard::Selection}}) {
            cardDataWatch().watch(
                where,
                [mode = mode] { return QGuiApplication::clipboard()->text(mode).toStdString(); },
                true);
        }
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
        // What the cases below type besides the sandbox's cards.
        cardDataWatch().secret("1234");
        const QString expiry = futureExpiryDigits();
        cardDataWatch().expiry((expiry.left(2) + QLatin1Char('/') + expiry.mid(2)).toStdString());
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

    /// The payment page's request, asked once: a form POST signed as the presenter signs it, from
    /// the page's own user agent.
    static sandbox::RecordedRequest pagePost(std::string_view userAgent) {
        const auto posts = requestsTo(gateway(), "/zel/realizarPago");
        EXPECT_EQ(posts.size(), 1u) << "the page was not asked once";
        if (posts.empty()) {
            return {};
        }
        const auto& page = posts.front();
        EXPECT_EQ(page.method, "POST");
        EXPECT_EQ(page.header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(page.header("User-Agent"), userAgent);
        EXPECT_TRUE(page.body.starts_with("Ds_SignatureVersion=HMAC_SHA256_V1&Ds_Signature="));
        return page;
    }

    static QString futureExpiryDigits() { return testing::futureExpiryDigits(); }

    // The card-entry screen's cases both bindings pass. `Screen` is the binding's fixture: its
    // static show(order, identifier, amount) presents a screen and gives its Shown, whose fields
    // (number, expiry, cvv) and buttons (proceed, cancel) the case works through the Shown's own
    // hands: focus(field), type(text), key(key, modifiers) (to the control with the keyboard),
    // focusedControl(), text(field), setCursor(field, at), clear(field), enabled(item), tap(item),
    // leave() (the window's own way out), closed(), busy() (the activity indicator shows),
    // spinning() (it runs, shown or not), busyIndicator(), placeOf(element) (in the window),
    // cursor(field), root() (what an application's UI test drives), picture() (the window as
    // drawn), frameOf(field) (what draws its border), and gone() once the screen was let go of.

    /// Typed key by key, the number shows in groups of four and takes 19 digits, a deleted
    /// separator comes back, no undo brings back what was typed; the expiry shows as MM/YY and
    /// the security code takes four characters. Paid once valid: one outcome, the expiry sent as
    /// year then month, the screen closed and its fields (the field's own storage too) wiped.
    template <typename Screen>
    static void typedKeyByKeyPaysOnce(const std::string& order) {
        auto shown = Screen::show(order);
        ASSERT_TRUE(shown.complete());
        ASSERT_TRUE(shown.fadedIn()) << "the screen never appeared";
        EXPECT_FALSE(shown.enabled(shown.proceed));
        const QString card = cardOf(sandbox::kAcceptedCard);
        shown.focus(shown.number);
        for (qsizetype typed = 1; typed <= card.size(); ++typed) {
            shown.type(card.mid(typed - 1, 1));
            ASSERT_EQ(shown.text(shown.number), grouped(card.left(typed))) << "key " << typed;
        }
        shown.type(QStringLiteral("0001"));
        EXPECT_EQ(shown.text(shown.number), grouped(card + QStringLiteral("000"))) << "19 digits";
        for (int i = 0; i < 3; ++i) {
            shown.key(Qt::Key_Backspace);
        }
        shown.setCursor(shown.number, 5);
        shown.key(Qt::Key_Backspace);
        EXPECT_EQ(shown.text(shown.number), grouped(card)) << "a deleted separator stays gone";
        // A digit put in the middle and taken out again: the insertion point stays behind it.
        shown.setCursor(shown.number, 2);
        shown.type(QStringLiteral("9"));
        EXPECT_EQ(shown.text(shown.number), grouped(card.left(2) + u'9' + card.mid(2)));
        EXPECT_EQ(Screen::Shown::cursor(shown.number), 3);
        shown.setCursor(shown.number, 4);
        shown.type(QStringLiteral("9"));
        EXPECT_EQ(Screen::Shown::cursor(shown.number), 6) << "past the separator";
        shown.key(Qt::Key_Backspace);
        EXPECT_EQ(Screen::Shown::cursor(shown.number), 4);
        shown.setCursor(shown.number, 3);
        shown.key(Qt::Key_Backspace);
        EXPECT_EQ(shown.text(shown.number), grouped(card));
        EXPECT_EQ(Screen::Shown::cursor(shown.number), 2);
        shown.key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(shown.text(shown.number), grouped(card));

        const QString expiry = futureExpiryDigits();
        shown.focus(shown.expiry);
        shown.type(expiry);
        EXPECT_EQ(shown.text(shown.expiry), expiry.left(2) + QLatin1Char('/') + expiry.mid(2));
        EXPECT_FALSE(shown.enabled(shown.proceed));
        shown.focus(shown.cvv);
        shown.type(QStringLiteral("123"));
        EXPECT_TRUE(shown.enabled(shown.proceed));
        shown.type(QStringLiteral("45"));
        EXPECT_EQ(shown.text(shown.cvv), QStringLiteral("1234")) << "a fifth character is taken";
        shown.screenshot("card-screen-default");

        // Shares the field's own storage, which must be overwritten before it is let go.
        const QString typedNumber = shown.text(shown.number);
        shown.tap(shown.proceed);
        EXPECT_FALSE(shown.enabled(shown.cancel) || shown.enabled(shown.number));
        ASSERT_TRUE(shown.reports->waitForReport()) << "no outcome";
        ASSERT_EQ(shown.reports->told, std::vector<std::string>{"OK 0"});
        EXPECT_EQ(shown.reports->cardAccepted.front().Ds_ExpiryDate,
                  (expiry.mid(2) + expiry.left(2)).toStdString());
        EXPECT_TRUE(shown.closed()) << "the screen stayed";
        EXPECT_TRUE(shown.text(shown.number).isEmpty() && shown.text(shown.expiry).isEmpty() &&
                    shown.text(shown.cvv).isEmpty())
            << "the card data stayed in the fields";
        EXPECT_EQ(typedNumber, QString(typedNumber.size(), QChar(0))) << "the card number lingers";
        shown.screen.reset();
        EXPECT_EQ(shown.reports->count(), 1u) << "an outcome, then nothing more";
    }

    /// Pasting and an input method's commits go through the typing rules: a pasted expiry is
    /// checked as it shows, regrouped; anything but digits is refused whole, and so is a paste
    /// that would make the number too long.
    template <typename Screen>
    static void pastedAndCommittedTextFollowsTheRules(const std::string& order) {
        auto shown = Screen::show(order);
        ASSERT_TRUE(shown.complete());
        const QString card = cardOf(sandbox::kAcceptedCard);
        typeValidCard(shown, card);
        ASSERT_TRUE(shown.enabled(shown.proceed));
        const auto paste = [&](const QString& text) {
            QGuiApplication::clipboard()->setText(text);
            shown.key(Qt::Key_V, Qt::ControlModifier);
        };
        shown.clear(shown.expiry);
        EXPECT_FALSE(shown.enabled(shown.proceed));
        const QString expiry = futureExpiryDigits();
        paste(expiry);
        EXPECT_EQ(shown.text(shown.expiry), expiry.left(2) + QLatin1Char('/') + expiry.mid(2));
        EXPECT_TRUE(shown.enabled(shown.proceed)) << "a pasted date is as valid as a typed one";

        shown.clear(shown.cvv);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("987"));
        QCoreApplication::sendEvent(shown.cvv, &commit);
        QInputMethodEvent correction;
        correction.setCommitString(QStringLiteral("5"), -1, 1);  // replaces the character before
        QCoreApplication::sendEvent(shown.cvv, &correction);
        EXPECT_EQ(shown.text(shown.cvv), QStringLiteral("985"));
        paste(QStringLiteral("\U0001F600"));
        EXPECT_EQ(shown.text(shown.cvv), QStringLiteral("985")) << "only digits go in";

        shown.focus(shown.number);
        shown.setCursor(shown.number, shown.text(shown.number).size());
        paste(QStringLiteral("00000000"));
        EXPECT_EQ(shown.text(shown.number), grouped(card));
        QGuiApplication::clipboard()->clear();
    }

    /// What the cardholder typed stays in its field: input methods are told it is sensitive and
    /// are handed none of it; copied, cut, selected by keys or the mouse (mouseSelect(field)),
    /// undone, or through whatever else the binding's field offers (`alsoOn`), another program
    /// on the display reads nothing of it from the clipboard or the primary selection, while the
    /// screen is open and after it was cancelled. Where the binding's fields let their text be
    /// selected (kSelects), keys select it still.
    template <typename Screen, typename AlsoOn>
    static void cardDataNeverLeavesTheFields(const std::string& order, AlsoOn alsoOn) {
        auto* clipboard = QGuiApplication::clipboard();
        const QString untouched = QStringLiteral("the application's own text");
        clipboard->setText(untouched, QClipboard::Clipboard);
        clipboard->setText(untouched, QClipboard::Selection);
        auto shown = Screen::show(order);
        ASSERT_TRUE(shown.complete());
        ASSERT_TRUE(shown.fadedIn());
        typeValidCard(shown, cardOf(sandbox::kAcceptedCard));
        const Qt::InputMethodQueries texts = Qt::ImSurroundingText | Qt::ImCurrentSelection |
                                             Qt::ImTextBeforeCursor | Qt::ImTextAfterCursor;
        for (auto* field : {shown.number, shown.expiry, shown.cvv}) {
            const QString typed = shown.text(field);
            SCOPED_TRACE(typed.size());
            shown.focus(field);
            QInputMethodQueryEvent query(Qt::ImHints | texts);
            QCoreApplication::sendEvent(field, &query);
            EXPECT_TRUE(Qt::InputMethodHints(query.value(Qt::ImHints).toInt())
                            .testFlags(Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                                       Qt::ImhNoAutoUppercase | Qt::ImhDigitsOnly));
            for (const auto text : {Qt::ImSurroundingText, Qt::ImCurrentSelection,
                                    Qt::ImTextBeforeCursor, Qt::ImTextAfterCursor}) {
                EXPECT_TRUE(query.value(text).toString().isEmpty())
                    << "an input method was handed the text, query " << text;
            }
            for (const auto& [key, modifiers] : std::initializer_list<KeyPress>{
                     {Qt::Key_A, Qt::ControlModifier},
                     {Qt::Key_C, Qt::ControlModifier},
                     {Qt::Key_Insert, Qt::ControlModifier},
                     {Qt::Key_X, Qt::ControlModifier},
                     {Qt::Key_Delete, Qt::ShiftModifier},
                     {Qt::Key_Z, Qt::ControlModifier},
                     {Qt::Key_Home, Qt::NoModifier},
                     {Qt::Key_Right, Qt::ShiftModifier},
                     {Qt::Key_End, Qt::ShiftModifier},
                     {Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier}}) {
                shown.key(key, modifiers);
            }
            EXPECT_EQ(shown.text(field), typed) << "cut or undo changed the field";
            EXPECT_EQ(shown.selected(field).isEmpty(), !decltype(shown)::kSelects)
                << "selecting by keys";
            shown.key(Qt::Key_Up, Qt::ControlModifier);
            shown.mouseSelect(field);
            EXPECT_EQ(shown.text(field), typed);
            alsoOn(shown, field);
        }
        shown.tap(shown.cancel);
        ASSERT_TRUE(shown.reports->waitForReport());
        // Nothing above puts the application's text back: what any step took would show here.
        for (const QString& selection : {QStringLiteral("clipboard"), QStringLiteral("primary")}) {
            EXPECT_EQ(readByAnotherProgram(selection), untouched.toStdString())
                << selection.toStdString();
        }
        clipboard->clear(QClipboard::Clipboard);
        clipboard->clear(QClipboard::Selection);
    }

    /// A stored card's screen shows masks in fields that take nothing and pays with the
    /// reference the first payment gave, from the keyboard alone.
    template <typename Screen>
    static void storedCardPaysWithItsReference(const std::string& first,
                                               const std::string& second) {
        auto paying = Screen::show(first);
        ASSERT_TRUE(paying.complete());
        typeValidCard(paying, cardOf(sandbox::kReferenceCard));
        paying.tap(paying.proceed);
        ASSERT_TRUE(paying.reports->waitForReport());
        ASSERT_EQ(paying.reports->cardAccepted.size(), 1u);
        const std::string reference = paying.reports->cardAccepted.front().Ds_Merchant_Identifier;
        ASSERT_FALSE(reference.empty());

        auto stored = Screen::show(second, reference);
        ASSERT_TRUE(stored.complete());
        EXPECT_EQ(QStringList({stored.text(stored.number), stored.text(stored.expiry),
                               stored.text(stored.cvv)}),
                  QStringList({"**** **** **** ****", "**/**", "***"}));
        EXPECT_FALSE(stored.enabled(stored.number) || stored.enabled(stored.expiry) ||
                     stored.enabled(stored.cvv));
        // Nothing to type: the keyboard starts on continue, and Return pays.
        EXPECT_EQ(stored.focusedControl(), stored.proceed);
        stored.key(Qt::Key_Return);
        ASSERT_TRUE(stored.reports->waitForReport());
        EXPECT_EQ(stored.reports->told, std::vector<std::string>{"OK 0"});
    }

    /// Each way the screen can end, then the screen let go of: one report, and nothing of the
    /// screen left.
    template <typename Screen>
    static void eachWayTheScreenEndsGivesOneReport(const std::string& prefix) {
        for (const auto& row : readTestRows("screen-endings.txt")) {
            const std::string order = *row.at(0), way = *row.at(2), told = *row.at(3);
            const double amount = std::stod(*row.at(1));
            SCOPED_TRACE(order);
            gateway().clearRequests();
            auto shown = Screen::show(prefix + order, "REQUIRED", amount);
            ASSERT_TRUE(shown.complete());
            if (way == "pay inside") {
                shown.reports->onReport = [&shown] { shown.screen.reset(); };
            }
            if (way.starts_with("pay")) {
                typeValidCard(shown, cardOf(sandbox::kAcceptedCard));
            }
            if (way == "cancel" || way.starts_with("pay")) {
                shown.tap(way == "cancel" ? shown.cancel : shown.proceed);
            } else if (way == "leave") {
                shown.leave();
            } else if (way == "release") {
                shown.screen.reset();
            }
            ASSERT_TRUE(shown.reports->waitForReport());
            EXPECT_TRUE(!shown.screen || shown.closed());
            shown.screen.reset();
            EXPECT_EQ(shown.reports->told, std::vector<std::string>{told});
            EXPECT_TRUE(shown.gone()) << "the screen outlived its controller";
            if (amount < 0) {
                EXPECT_TRUE(gateway().requests().empty()) << "nothing went to the gateway";
            }
        }
    }

    /// Assistive technologies read each control of the screen as enabled or not as it is drawn.
    template <typename Shown>
    static void everyControlReadsAsItLooks(Shown& shown) {
        const auto readsAsItLooks = [&shown](auto* control) {
            QAccessibleInterface* read = QAccessible::queryAccessibleInterface(control);
            ASSERT_TRUE(read) << "not there for assistive technologies";
            EXPECT_EQ(read->state().disabled, !shown.enabled(control))
                << read->text(QAccessible::Name).toStdString();
        };
        readsAsItLooks(shown.number);
        readsAsItLooks(shown.expiry);
        readsAsItLooks(shown.cvv);
        readsAsItLooks(shown.proceed);
        readsAsItLooks(shown.cancel);
    }

    /// The keyboard starts on the card number, and Tab goes round the three fields, continue and
    /// cancel, each a control that shows and has a name; assistive technologies read every
    /// control as enabled or not as it is drawn (continue disabled until the card is valid).
    template <typename Screen>
    static void everyTabStopShowsAndReadsAsItLooks(const std::string& order) {
        auto shown = Screen::show(order);
        ASSERT_TRUE(shown.complete());
        ASSERT_TRUE(shown.fadedIn());
        EXPECT_EQ(shown.focusedControl(), shown.number) << "the keyboard starts elsewhere";
        for (const bool valid : {false, true}) {
            SCOPED_TRACE(valid ? "valid" : "empty");
            if (valid) {
                typeValidCard(shown, cardOf(sandbox::kAcceptedCard));
            }
            EXPECT_EQ(shown.enabled(shown.proceed), valid);
            everyControlReadsAsItLooks(shown);
        }
        shown.focus(shown.number);
        const std::vector<QObject*> round = {shown.expiry, shown.cvv, shown.proceed, shown.cancel,
                                             shown.number};
        std::vector<QObject*> stops;
        for (std::size_t tab = 0; tab < round.size(); ++tab) {
            shown.key(Qt::Key_Tab);
            QObject* stop = shown.focusedControl();
            ASSERT_TRUE(stop) << "the keyboard went nowhere";
            QAccessibleInterface* read = QAccessible::queryAccessibleInterface(stop);
            ASSERT_TRUE(read) << stop->metaObject()->className();
            EXPECT_FALSE(read->state().invisible) << stop->metaObject()->className();
            EXPECT_FALSE(read->text(QAccessible::Name).isEmpty())
                << stop->metaObject()->className() << " has no name";
            stops.push_back(stop);
        }
        EXPECT_EQ(stops, round);
    }

    /// A field left with content that cannot be valid says why under it, also to assistive
    /// technologies, and is quiet while it is typed into again; continue cannot be pressed
    /// meanwhile. Once all three are valid, the screen pays. Driven through the published
    /// helpers an application's own UI test calls (typeCard, pressContinue, shownErrors).
    template <typename Screen>
    static void aFieldLeftInvalidSaysWhy(const std::string& order) {
        auto shown = Screen::show(order);
        ASSERT_TRUE(shown.complete());
        ASSERT_TRUE(shown.fadedIn());
        QString wrongNumber = cardOf(sandbox::kAcceptedCard);
        wrongNumber.back() = QChar(u'0' + (wrongNumber.back().digitValue() + 1) % 10);
        ASSERT_TRUE(
            typeCard(shown.root(), wrongNumber, QStringLiteral("0120"), QStringLiteral("12")));
        const QStringList problems = {QStringLiteral("Número de tarjeta no válido"),
                                      QStringLiteral("Fecha de caducidad no válida"),
                                      QStringLiteral("Código de seguridad no válido")};
        EXPECT_EQ(shownErrors(shown.root()), problems);
        shown.screenshot("card-screen-problems");
        QAccessibleInterface* number = QAccessible::queryAccessibleInterface(shown.number);
        ASSERT_TRUE(number);
        EXPECT_EQ(number->text(QAccessible::Description), problems.front());
        EXPECT_FALSE(pressContinue(shown.root()));

        shown.clear(shown.number);
        shown.type(cardOf(sandbox::kAcceptedCard).left(6));
        EXPECT_EQ(shownErrors(shown.root()), problems.mid(1)) << "quiet while typed into";
        shown.clear(shown.expiry);
        shown.clear(shown.cvv);
        ASSERT_TRUE(typeCard(shown.root(), cardOf(sandbox::kAcceptedCard).mid(6),
                             futureExpiryDigits(), QStringLiteral("123")));
        EXPECT_TRUE(shownErrors(shown.root()).isEmpty());
        EXPECT_NE(number->text(QAccessible::Description), problems.front());
        ASSERT_TRUE(pressContinue(shown.root()));
        ASSERT_TRUE(shown.reports->waitForReport()) << "no outcome";
        EXPECT_EQ(shown.reports->told, std::vector<std::string>{"OK 0"});
    }

    /// On rendered pixels, on the default and a dark background: every text of the screen (the
    /// captions, the bar's titles, a field's problem, the placeholders) stands out 4.5:1 from
    /// what is behind it, and the fields' borders 3:1.
    template <typename Screen>
    static void everyTextAndBorderStandsOut(const std::string& order) {
        auto dark = std::make_shared<VantInAppUIConfig>();
        dark->setBackgorundViewColor({0.06, 0.09, 0.24, 1.0});
        for (const auto& look : {std::shared_ptr<VantInAppUIConfig>(), dark}) {
            SCOPED_TRACE(look ? "dark" : "default");
            auto shown = Screen::show(order + (look ? "D" : "L"), "REQUIRED", 19.99, look);
            ASSERT_TRUE(shown.complete());
            ASSERT_TRUE(shown.fadedIn());
            ASSERT_TRUE(typeCard(shown.root(), QStringLiteral("4"), {}, {}));
            const QImage picture = shown.picture();
            // The most any pixel of `place` stands out from `behind`: its text's or border's own.
            const auto most = [&](const QRect& place, const QColor& behind) {
                double found = 1;
                for (int y = place.top(); y <= place.bottom(); ++y) {
                    for (int x = place.left(); x <= place.right(); ++x) {
                        found = std::max(found, contrastRatio(picture.pixelColor(x, y), behind));
                    }
                }
                return found;
            };
            const QColor background = picture.pixelColor(1, picture.height() - 2);
            for (const char* name :
                 {"info", "numberCaption", "expiryCaption", "securityCodeCaption", "numberProblem",
                  "continueButton", "cancelButton"}) {
                const QRect place =
                    shown.placeOf(detail::control(shown.root(), QLatin1String(name)));
                ASSERT_FALSE(place.isEmpty()) << name;
                EXPECT_GE(most(place, background), 4.5) << name;
            }
            for (auto* field : {shown.expiry, shown.cvv}) {
                // The placeholder inside the border, on the field's own white.
                const QRect inside = shown.placeOf(field).adjusted(6, 6, -6, -6);
                EXPECT_GE(most(inside, picture.pixelColor(inside.topLeft())), 4.5) << "placeholder";
                const QRect frame = shown.placeOf(Screen::Shown::frameOf(field));
                const QRect border(frame.left() - 2, frame.center().y(), 6, 1);
                EXPECT_GE(most(border, background), 3.0) << "border";
            }
        }
    }

    /// While the payment is on its way the screen is busy and cannot be left (its fields and
    /// buttons disabled, and read so by assistive technologies): its activity
    /// indicator covers no field or caption, and stops when the screen closes on the outcome; let
    /// go of meanwhile, the screen reports that the cardholder may have paid, and nothing after.
    template <typename Screen>
    static void whileThePaymentIsOnItsWayTheScreenStays(const std::string& prefix) {
        const auto road = std::make_shared<HeldRoad>(directPaymentService());
        setDirectPaymentService(road);
        for (const bool letGoOf : {false, true}) {
            SCOPED_TRACE(letGoOf ? "let go of" : "kept");
            auto shown = Screen::show(prefix + (letGoOf ? "-C0012" : "-C0008"));
            ASSERT_TRUE(shown.complete());
            typeValidCard(shown, cardOf(sandbox::kAcceptedCard));
            shown.tap(shown.proceed);
            ASSERT_TRUE(road->holding());
            EXPECT_TRUE(shown.busy());
            const QRectF indicator = shown.placeOf(shown.busyIndicator());
            for (const char* name : {"number", "expiry", "securityCode", "numberCaption",
                                     "expiryCaption", "securityCodeCaption"}) {
                EXPECT_FALSE(indicator.intersects(
                    shown.placeOf(detail::control(shown.root(), QLatin1String(name)))))
                    << "the activity indicator covers " << name;
            }
            shown.leave();
            shown.tap(shown.cancel);
            EXPECT_FALSE(shown.closed()) << "left in the middle of a payment";
            EXPECT_FALSE(shown.enabled(shown.proceed) || shown.enabled(shown.cancel) ||
                         shown.enabled(shown.number) || shown.enabled(shown.cvv));
            everyControlReadsAsItLooks(shown);
            EXPECT_EQ(shown.reports->count(), 0u);
            if (letGoOf) {
                shown.screen.reset();
            }
            const int answered = road->handedOn.count;
            road->letGo();
            ASSERT_TRUE(road->handedOn.waitFor([&] { return road->handedOn.count > answered; }))
                << "the gateway never answered";
            EXPECT_EQ(shown.reports->told, std::vector<std::string>{letGoOf ? "closed 1" : "OK 0"});
            if (!letGoOf) {
                EXPECT_TRUE(shown.closed());
                EXPECT_FALSE(shown.spinning()) << "the activity indicator outlived its screen";
            }
        }
    }

    // The payment page's cases both bindings pass. `Page` is the binding's fixture: its static
    // show(order) presents a page screen and gives its Shown, with its reports, which works the
    // page through its own hands: cardFormShown(), pay(card), screenshot(name), evaluate(script),
    // pageText() (once loaded), click(id, clicks) (on the middle of the element with that id),
    // key(key, modifiers), type(text), menuOffersCopying() (true where the page's context menu
    // offers to copy, cut or select), closeVisible(), closeShown() (waited for), tapClose(),
    // expectCloseAnnounced() (what assistive technologies are told of it), acceptAlert() (the
    // "ERROR 404" alert of a page that did not load, waited for and accepted), closed(), leave()
    // (the window's own way out), escape() (the key, with the page focused), settledAt(part) (the
    // page at an address containing `part` has loaded), pageGone() (the web view and its profile
    // were destroyed) and view (the web view).

    /// A card paid on the page asked as the presenter asks it: one outcome, and the page goes
    /// with its screen.
    template <typename Page>
    static void aCardPaidOnThePageGivesOneOutcome(const std::string& order, std::string_view card) {
        auto shown = Page::show(order);
        ASSERT_TRUE(shown.cardFormShown());
        pagePost(kPageUserAgent);
        shown.screenshot("payment-page");
        shown.pay(card);
        ASSERT_TRUE(shown.reports->waitForReport(kPageBound)) << "no outcome";
        ASSERT_EQ(shown.reports->told, std::vector<std::string>{"OK 0"});
        EXPECT_EQ(shown.reports->pageAccepted.front().Ds_Response, "0000");
        EXPECT_EQ(shown.reports->pageAccepted.front().Ds_Order, order);
        EXPECT_TRUE(shown.closed()) << "the screen stayed";
        shown.screen.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(shown.pageGone()) << "the page outlived its screen";
        EXPECT_EQ(shown.reports->count(), 1u) << "an outcome, then nothing more";
    }

    /// A merchant's return page stays on screen with the close button until the cardholder
    /// closes it: Escape presses that button while it shows, and does nothing before. The page
    /// has a name for assistive technologies.
    template <typename Page>
    static void aReturnPageStaysUntilItsCloseButton(const std::string& order) {
        auto& configuration = VantoConfiguration::shared();
        configuration.setAppURLOK(gateway().baseUrl() + "/sandbox/TIENDA_OK");
        configuration.setAppURLKO(gateway().baseUrl() + "/sandbox/TIENDA_KO");
        auto shown = Page::show(order);
        ASSERT_TRUE(shown.cardFormShown());
        QAccessibleInterface* view = QAccessible::queryAccessibleInterface(shown.view.data());
        ASSERT_TRUE(view);
        // Named itself, or, where the toolkit's web view tells nothing of its own, by the pane
        // that holds it alone.
        QAccessibleInterface* named = view->text(QAccessible::Name).isEmpty() && view->parent() &&
                                              view->parent()->childCount() == 1
                                          ? view->parent()
                                          : view;
        EXPECT_EQ(named->text(QAccessible::Name), QStringLiteral("Página de pago"));
        shown.escape();
        EXPECT_FALSE(shown.closed()) << "Escape closed the page with no close button shown";
        shown.pay(sandbox::kAcceptedCard);
        ASSERT_TRUE(shown.reports->waitForReport(kPageBound));
        ASSERT_TRUE(shown.settledAt(QStringLiteral("/sandbox/TIENDA_OK")));
        ASSERT_TRUE(shown.closeShown());
        EXPECT_FALSE(shown.closed());
        EXPECT_TRUE(shown.pageText().contains(QStringLiteral("Pago autorizado")));
        shown.escape();
        EXPECT_TRUE(shown.closed());
        shown.screen.reset();
        EXPECT_EQ(shown.reports->told, std::vector<std::string>{"OK 0"}) << "the outcome only";
    }

    /// Every other way the page's screen ends gives one report: a card form whose post fails
    /// raises the alert, whose button (or Escape) closes the screen; a screen let go of while the
    /// card form is posted may have paid, one let go of before has not; the application may let
    /// go of the screen inside the outcome or the notice. Nothing of a screen let go of stays.
    template <typename Page>
    static void eachOtherWayThePageEndsGivesOneReport(const std::string& prefix) {
        for (const auto& row : readTestRows("page-endings.txt")) {
            const std::string order = *row.at(0), way = *row.at(1), told = *row.at(2);
            SCOPED_TRACE(order);
            auto shown = Page::show(prefix + order);
            if (way.ends_with("inside")) {
                shown.reports->onReport = [&shown] { shown.screen.reset(); };
            }
            if (way == "shown" || way == "left inside") {
                ASSERT_TRUE(shown.cardFormShown());
            } else {
                shown.pay(sandbox::kAcceptedCard);
            }
            if (way == "alert" || way == "escape") {
                shown.acceptAlert(way == "escape");
            }
            ASSERT_TRUE(way != "posting" || shown.posting()) << "the card form was not sent";
            ASSERT_TRUE(way != "paid inside" || shown.reports->waitForReport(kPageBound));
            if (way == "left inside") {
                shown.leave();
            }
            shown.screen.reset();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(shown.screenGone()) << "the screen's window or view outlived it";
            EXPECT_EQ(shown.reports->told, std::vector<std::string>{told});
        }
    }

    /// Tampered parameters: the gateway's error text, and the close button to leave it.
    template <typename Page>
    static void tamperedParametersShowTheRefusalAndAWayOut(const std::string& order) {
        setWebViewPaymentService(std::make_shared<TamperingRoad>(webViewPaymentService()));
        auto shown = Page::show(order);
        EXPECT_FALSE(shown.closeVisible());
        ASSERT_TRUE(shown.closeShown()) << "no way out";
        EXPECT_TRUE(shown.pageText().contains(
            QStringLiteral("Error en datos enviados. Contacte con su comercio")));
        shown.expectCloseAnnounced();
        EXPECT_EQ(shown.reports->count(), 0u);
        shown.tapClose();
        EXPECT_TRUE(shown.closed());
        EXPECT_EQ(shown.reports->told, std::vector<std::string>{"closed 0"}) << "nothing was paid";
    }

    /// The engine's decision on a certificate lasts no longer than its screen: a page host is
    /// reached while the application trusts its anchor, and once the anchor was withdrawn the
    /// next screen refuses the page before anything is sent to it.
    template <typename Page>
    static void aWithdrawnAnchorRefusesThePage(const std::string& trustedOrder,
                                               const std::string& withdrawnOrder) {
        sandbox::SandboxOptions options;
        options.logRequests = false;
        sandbox::SandboxGateway pageHost(options);
        ASSERT_TRUE(pageHost.start()) << pageHost.lastError();
        const auto own = webViewPaymentService();
        auto session = platform::URLSessionConfiguration::defaultSessionConfiguration();
        session.additionalTrustAnchors = {gateway().certificatePem(), pageHost.certificatePem()};
        platform::URLSessionConfiguration::setDefaultSessionConfiguration(session);
        setWebViewPaymentService(std::make_shared<MovingRoad>(own, pageHost.authority()));
        auto trusted = Page::show(trustedOrder);
        ASSERT_TRUE(trusted.cardFormShown()) << "the page of a trusted host did not load";
        ASSERT_FALSE(requestsTo(pageHost, "/zel/realizarPago").empty());
        trusted.screen.reset();

        trustOnly(gateway().certificatePem());
        ASSERT_TRUE(gateway().useAsTestEnvironment());  // the signature service stays trusted
        pageHost.clearRequests();
        auto withdrawn = Page::show(withdrawnOrder);
        withdrawn.acceptAlert();
        EXPECT_EQ(withdrawn.reports->told, std::vector<std::string>{"closed 0"});
        EXPECT_TRUE(pageHost.requests().empty())
            << "the page was asked from a host no longer trusted";
        setWebViewPaymentService(own);
    }

    /// A card number typed into the gateway's page reaches no selection: copied, cut, selected
    /// whole, by a double click or by the context menu, or dragged, another program on the display
    /// reads nothing of it, and what the clipboard held stays. What the application itself
    /// hands the clipboard while the page has the focus is taken back. A closed page goes at once
    /// with its profile (its own, off the record) and a notice that nothing was paid, and the
    /// keys that would copy its card number then find nothing.
    template <typename Page>
    static void thePageGivesNoSelectionTheCardNumber(const std::string& order) {
        auto* clipboard = QGuiApplication::clipboard();
        const QString untouched = QStringLiteral("the application's own text");
        clipboard->setText(untouched, QClipboard::Clipboard);
        clipboard->setText(untouched, QClipboard::Selection);
        auto shown = Page::show(order);
        ASSERT_TRUE(shown.cardFormShown());
        const QString card = cardOf(sandbox::kAuthenticationCard);
        shown.click(QStringLiteral("card-number"));
        shown.type(card);
        const QString typed = QStringLiteral("document.getElementById('card-number').value");
        // The page takes the keys on its own time: asked until it has them all.
        const QDeadlineTimer deadline(kStepBound);
        while (shown.evaluate(typed).toString() != card && !deadline.hasExpired()) {
        }
        ASSERT_EQ(shown.evaluate(typed).toString(), card) << "the keys did not reach the field";
        EXPECT_TRUE(shown.offTheRecord()) << "what the page keeps may reach the disk";
        // Kept where a later page of the same profile would find it.
        ASSERT_TRUE(shown.evaluate("localStorage.setItem('typed', " + typed + "); true").toBool());

        for (const auto& [key, modifiers] :
             {std::pair{Qt::Key_A, Qt::ControlModifier}, std::pair{Qt::Key_C, Qt::ControlModifier},
              std::pair{Qt::Key_X, Qt::ControlModifier},
              std::pair{Qt::Key_Insert, Qt::ControlModifier},
              std::pair{Qt::Key_Delete, Qt::ShiftModifier}}) {
            shown.key(key, modifiers);
        }
        shown.click(QStringLiteral("card-number"), 2);
        EXPECT_FALSE(shown.menuOffersCopying());
        EXPECT_EQ(shown.evaluate(typed).toString(), card) << "a cut took the card number";
        EXPECT_TRUE(shown
                        .evaluate(QStringLiteral(
                            "(function (field) { return field.selectionStart === "
                            "field.selectionEnd && ['copy', 'cut', 'dragstart'].every(type => "
                            "!field.dispatchEvent(new Event(type, {bubbles: true, cancelable: "
                            "true}))); })(document.getElementById('card-number'))"))
                        .toBool())
            << "the field's text was left selected, or copying or dragging it was not refused";
        for (const QString& selection : {QStringLiteral("clipboard"), QStringLiteral("primary")}) {
            EXPECT_EQ(readByAnotherProgram(selection), untouched.toStdString())
                << "the page's keys, mouse or menu took the " << selection.toStdString();
        }

        // As the web engine would hand it, while the page has the focus: taken back, or the
        // card-data watch finds it in the clipboard or the selection.
        clipboard->setText(card, QClipboard::Clipboard);
        clipboard->setText(card, QClipboard::Selection);

        shown.leave();
        EXPECT_EQ(shown.reports->told, std::vector<std::string>{"closed 0"});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(shown.pageGone()) << "the page or its profile outlived the screen's close";
        // What the keys left in the clipboard and the selection, the card-data watch reads.
        shown.key(Qt::Key_A, Qt::ControlModifier);
        shown.key(Qt::Key_C, Qt::ControlModifier);
        // Though the application keeps the screen, the next one's page finds nothing of it.
        auto next = Page::show(order + "B");
        ASSERT_TRUE(next.cardFormShown());
        EXPECT_TRUE(next.evaluate(QStringLiteral("localStorage.getItem('typed')")).isNull())
            << "the next page found what was typed into the last one";
        shown.screen.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

  private:
    static inline sandbox::SandboxGateway* gateway_ = nullptr;
    static inline Binding* binding_ = nullptr;
    static inline std::mutex tracesMutex_;
    static inline std::vector<std::string> traces_;
};

}  // namespace vanto::testing
