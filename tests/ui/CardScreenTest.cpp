// The card-entry screen on Qt Widgets, typed into as a cardholder types: key by key into the real
// line edits, pasting through the clipboard, an input method's commit; paying through the
// sandbox gateway on loopback. What the fields hand the clipboard is read as another program on
// the display reads it, with xclip.
#include <utility>

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QTest>
#include <QTextBoundaryFinder>

#include "UiTest.h"
#include "base/Contrast.h"
#include "vanto/config/VantInAppUIConfig.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/sandbox/TestCards.h"
#include "widgets/Widgets.h"

namespace vanto {
namespace {

using testing::buttonTitled;
using testing::cardOf;
using testing::fieldNamed;
using testing::typeValidCard;

const QString kCard = cardOf(sandbox::kAcceptedCard);

// Waits until `widget` has faded in: the screen was told it appeared, and its fade has ended,
// which switches the opacity effect off.
bool fadesIn(const QWidget* widget) {
    const auto* effect = qobject_cast<const QGraphicsOpacityEffect*>(widget->graphicsEffect());
    return effect == nullptr || testing::waitUntil(effect, &QGraphicsEffect::enabledChanged,
                                                   [effect] { return !effect->isEnabled(); });
}

// Whether `text` in `font` shows whole in `area`, in the lines the screens draw it in: each line
// within its width, all of them within its height, and no line starting inside a word that fits
// a line (only a wider one is broken over lines).
bool showsWhole(const QString& text, const QFont& font, const QRect& area) {
    const QStringList lines = qt::detail::wrappedLines(text, font, area.width());
    const QFontMetricsF metrics(font);
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    qsizetype start = 0;
    for (const QString& line : lines) {
        breaks.setPosition(start);
        if (start > 0 && !breaks.isAtBoundary()) {
            const qsizetype from = breaks.toPreviousBoundary();
            breaks.setPosition(start);
            const QString word = text.mid(from, breaks.toNextBoundary() - from).trimmed();
            if (metrics.horizontalAdvance(word) <= area.width()) {
                return false;
            }
        }
        if (metrics.horizontalAdvance(line.trimmed()) > area.width()) {
            return false;
        }
        start += line.size();
    }
    return static_cast<qreal>(lines.size()) * metrics.lineSpacing() <= area.height() + 1;
}

// An image as the bytes of a PNG file.
std::string pngOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

class CardScreen : public testing::UiTest {
  public:
    // A presented screen, and the hands the cases both bindings pass work it with.
    struct Shown {
        std::shared_ptr<DirectPaymentViewController> screen;
        std::shared_ptr<testing::Reports> reports = std::make_shared<testing::Reports>();
        QPointer<QWidget> window;
        QLineEdit* number = nullptr;
        QLineEdit* expiry = nullptr;
        QLineEdit* cvv = nullptr;
        QPushButton* proceed = nullptr;
        QPushButton* cancel = nullptr;
        QLineEdit* focused = nullptr;

        bool complete() const { return number && expiry && cvv && proceed && cancel; }
        QObject* root() const { return window; }
        QImage picture() const { return window->grab().toImage(); }
        static const QObject* frameOf(const QLineEdit* field) { return field; }
        QRect placeOf(const QObject* control) const {
            const auto* widget = qobject_cast<const QWidget*>(control);
            return widget ? QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()) : QRect();
        }
        bool fadedIn() const { return fadesIn(number); }
        void focus(QLineEdit* field) {
            field->setFocus();
            focused = field;
        }
        void type(const QString& text) { QTest::keyClicks(focused, text); }
        // To the control with the keyboard, as the window hands keys on.
        void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(focusedControl() ? focusedControl() : focused, key, modifiers);
        }
        QWidget* focusedControl() const { return window->focusWidget(); }
        static QString text(const QLineEdit* field) { return field->text(); }
        static void setCursor(QLineEdit* field, qsizetype at) {
            field->setCursorPosition(static_cast<int>(at));
        }
        static qsizetype cursor(const QLineEdit* field) { return field->cursorPosition(); }
        // Deleting to the end of the line (Ctrl+K) takes nothing to the clipboard either.
        void clear(QLineEdit* field) {
            focus(field);
            field->home(false);
            key(Qt::Key_K, Qt::ControlModifier);
        }
        // Selected with the mouse (a drag across it, a double and a triple click), then pulled
        // from inside the selection as a drag would start.
        static void mouseSelect(QLineEdit* field) {
            const int middle = field->height() / 2;
            const QPoint start(4, middle), end(field->width() - 4, middle);
            const QPoint inside(field->width() / 4, middle), below(field->width() / 4, middle + 40);
            QTest::mousePress(field, Qt::LeftButton, {}, start);
            QTest::mouseMove(field, end);
            QTest::mouseRelease(field, Qt::LeftButton, {}, end);
            EXPECT_TRUE(field->hasSelectedText()) << "selecting with the mouse still works";
            QTest::mouseDClick(field, Qt::LeftButton, {}, inside);
            QTest::mouseClick(field, Qt::LeftButton, {}, inside);
            QTest::mousePress(field, Qt::LeftButton, {}, inside);
            QTest::mouseMove(field, below);
            QTest::mouseRelease(field, Qt::LeftButton, {}, below);
        }
        static constexpr bool kSelects = true;
        static QString selected(const QLineEdit* field) { return field->selectedText(); }
        static bool enabled(const QWidget* widget) { return widget->isEnabled(); }
        static void tap(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }
        void leave() const { window->close(); }
        bool closed() const { return !window || !window->isVisible(); }
        qt::detail::BusyIndicator* busyIndicator() const {
            return testing::childWhere<qt::detail::BusyIndicator>(*window, [](auto* child) {
                return child->accessibleName() == QStringLiteral("Procesando");
            });
        }
        bool busy() const { return busyIndicator() && busyIndicator()->isVisible(); }
        bool spinning() const { return busyIndicator() && busyIndicator()->isSpinning(); }
        bool gone() const {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return !window;
        }
        void screenshot(const char* name) const {
            saveScreenshot(*window, QString::fromLatin1(name));
        }
    };

    static Shown show(std::string order, std::string identifier = "REQUIRED", double amount = 19.99,
                      std::shared_ptr<const VantInAppUIConfig> look = nullptr) {
        Shown shown;
        shown.screen = DirectPaymentViewController::create(std::move(order), amount, "Libro",
                                                           TransactionType::normal,
                                                           std::move(identifier), look);
        shown.screen->setDelegate(shown.reports);
        shown.window = qt::present(shown.screen);
        EXPECT_TRUE(shown.window);
        if (!shown.window) {
            return shown;
        }
        // A screen that refuses its payment at once may close before the display shows it.
        if (amount >= 0) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(shown.window));
        }
        // The fields go by their captions' texts, as assistive technologies read them.
        const VantInAppUIConfig& shownLook = look ? *look : VantInAppUIConfig();
        const auto named = [&](const std::shared_ptr<PaymentUILabelConfig>& caption) {
            return fieldNamed(*shown.window, QString::fromStdString(caption->text()));
        };
        const auto titled = [&](const std::string& title) {
            return buttonTitled(*shown.window, QString::fromStdString(title));
        };
        shown.number = named(shownLook.numberCardLabel());
        shown.expiry = named(shownLook.expireDateLabel());
        shown.cvv = named(shownLook.cvvLabel());
        shown.proceed = titled(shownLook.continueButtonText());
        shown.cancel = titled(shownLook.cancelButtonText());
        return shown;
    }
};

TEST_F(CardScreen, TypedKeyByKeyTheCardShowsInGroupsAndPaysOnceValid) {
    typedKeyByKeyPaysOnce<CardScreen>("UI-C0001");
}

TEST_F(CardScreen, EveryTabStopShowsAndReadsAsItLooks) {
    everyTabStopShowsAndReadsAsItLooks<CardScreen>("UI-C0031");
}

TEST_F(CardScreen, AFieldLeftInvalidSaysWhy) {
    aFieldLeftInvalidSaysWhy<CardScreen>("UI-C0030");
}

TEST_F(CardScreen, EveryTextAndBorderStandsOutOnScreen) {
    everyTextAndBorderStandsOut<CardScreen>("UI-C0031");
}

TEST_F(CardScreen, PastingAndAnInputMethodGoThroughTheSameRules) {
    pastedAndCommittedTextFollowsTheRules<CardScreen>("UI-C0002");
    // The context menu's paste, over a selection, goes through the same rule; typing over a
    // selection replaces it.
    auto shown = show("UI-C0003");
    ASSERT_TRUE(shown.complete());
    QTest::keyClicks(shown.expiry, futureExpiryDigits());
    QApplication::clipboard()->setText(QStringLiteral("1227"));
    shown.expiry->selectAll();
    QContextMenuEvent opened(QContextMenuEvent::Keyboard, QPoint(4, 4),
                             shown.expiry->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(shown.expiry, &opened);
    auto* menu = shown.expiry->findChild<QMenu*>();
    ASSERT_TRUE(menu) << "no context menu";
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QStringLiteral("edit-paste")) {
            action->trigger();
        }
    }
    menu->close();
    EXPECT_EQ(shown.expiry->text(), QStringLiteral("12/27"));
    shown.expiry->selectAll();
    QTest::keyClicks(shown.expiry, QStringLiteral("0130"));
    EXPECT_EQ(shown.expiry->text(), QStringLiteral("01/30"));
    QApplication::clipboard()->clear();
}

// Besides, what a screen reader reads back of each field is what it shows, and whatever the
// context menu offers, deleting aside, takes nothing.
TEST_F(CardScreen, NoCardDigitReachesTheClipboardOrThePrimarySelection) {
    cardDataNeverLeavesTheFields<CardScreen>("UI-C0014", [](Shown&, QLineEdit* field) {
        const QString typed = field->text();
        QAccessibleInterface* readBack = QAccessible::queryAccessibleInterface(field);
        ASSERT_TRUE(readBack);
        EXPECT_EQ(readBack->text(QAccessible::Value), typed) << "what a screen reader reads back";
        field->selectAll();
        QContextMenuEvent opened(QContextMenuEvent::Keyboard, QPoint(4, 4),
                                 field->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(field, &opened);
        auto* menu = field->findChild<QMenu*>();
        ASSERT_TRUE(menu) << "no context menu";
        for (QAction* action : menu->actions()) {
            if (action->isEnabled() && action->objectName() != QStringLiteral("edit-delete")) {
                action->trigger();
            }
        }
        menu->close();
        EXPECT_EQ(field->text(), typed);
    });
}

TEST_F(CardScreen, AStoredCardShowsTheMasksAndPaysWithItsReference) {
    storedCardPaysWithItsReference<CardScreen>("UI-C0004", "UI-C0021");
}

TEST_F(CardScreen, EachWayTheScreenEndsGivesExactlyOneReport) {
    eachWayTheScreenEndsGivesOneReport<CardScreen>("UI");
}

TEST_F(CardScreen, WhileThePaymentIsOnItsWayTheScreenIsBusyAndCannotBeClosed) {
    whileThePaymentIsOnItsWayTheScreenStays<CardScreen>("UI");
}

TEST_F(CardScreen, TheMerchantsAppearanceIsWhatTheScreenShows) {
    QImage backdrop(420, 680, QImage::Format_ARGB32);
    backdrop.fill(QColor(0xf3, 0xd9, 0xa4));
    QImage logo(160, 160, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    QPainter(&logo).fillRect(logo.rect().adjusted(20, 20, -20, -20), QColor(0x8c, 0x33, 0x0d));
    auto look = std::make_shared<VantInAppUIConfig>();
    look->setLogo(platform::ui::Image::fromData(pngOf(logo)));
    look->setContinueButtonText("Pagar")
        .setCancelButtonText("Volver")
        .setBackgorundViewColor({0.99, 0.96, 0.89, 1.0})
        .setBackgroundImageView(platform::ui::Image::fromData(pngOf(backdrop)))
        .setNumberCardLabel(PaymentUILabel::create("Número de la tarjeta", {0.55, 0.2, 0.05, 1.0},
                                                   platform::ui::Font::named("DejaVu Serif", 18)))
        .setExpireDateLabel(PaymentUILabel::create("Válida hasta", {0.55, 0.2, 0.05, 1.0},
                                                   platform::ui::Font::systemFont(15)))
        .setCVVLabel(PaymentUILabel::create("CVV", {0.55, 0.2, 0.05, 1.0},
                                            platform::ui::Font::systemFont(15)))
        .setInfoPaymentLabel(PaymentUILabel::create(
            "Librería La Esquina — pago seguro", {0.3, 0.3, 0.3, 1.0},
            platform::ui::Font::systemFont(14, platform::ui::FontWeight::semibold)));
    auto shown = show("UI-C0009", "REQUIRED", 12.5, look);
    ASSERT_TRUE(shown.complete()) << "captions, field names and button titles are the merchant's";
    EXPECT_EQ(shown.window->palette().color(QPalette::Window),
              QColor::fromRgbF(0.99f, 0.96f, 0.89f));
    const auto* numberCaption = testing::childWhere<QLabel>(*shown.window, [](auto* label) {
        return label->text() == QStringLiteral("Número de la tarjeta");
    });
    ASSERT_TRUE(numberCaption);
    EXPECT_EQ(numberCaption->palette().color(QPalette::WindowText),
              QColor::fromRgbF(0.55f, 0.2f, 0.05f));
    EXPECT_EQ(numberCaption->font().pixelSize(), 18);
    EXPECT_EQ(numberCaption->font().family(), QStringLiteral("DejaVu Serif"));
    ASSERT_TRUE(fadesIn(shown.number));
    typeValidCard(shown, kCard);
    saveScreenshot(*shown.window, QStringLiteral("card-screen-custom"));
}

// From the keyboard alone: Return goes from field to field and pays from the last one, Escape
// cancels, and the button with the focus wears a ring of two pixels that stands out from the
// background.
TEST_F(CardScreen, TheKeyboardPaysAndCancelsAndShowsWhereItIs) {
    auto paid = show("UI-C0015");
    ASSERT_TRUE(paid.complete());
    ASSERT_TRUE(fadesIn(paid.number));
    paid.number->setFocus();
    QTest::keyClicks(paid.number, kCard);
    QTest::keyClick(paid.number, Qt::Key_Return);
    EXPECT_TRUE(paid.expiry->hasFocus()) << "Return went nowhere";
    QTest::keyClicks(paid.expiry, futureExpiryDigits());
    QTest::keyClick(paid.expiry, Qt::Key_Return);
    EXPECT_TRUE(paid.cvv->hasFocus());
    QTest::keyClick(paid.cvv, Qt::Key_Return);
    EXPECT_EQ(paid.reports->count(), 0u) << "paid while continue could not be pressed";
    QTest::keyClicks(paid.cvv, QStringLiteral("123"));

    const QColor background = paid.window->palette().color(QPalette::Window);
    const QImage unfocused = paid.proceed->grab().toImage();
    paid.proceed->setFocus(Qt::TabFocusReason);
    const QImage focused = paid.proceed->grab().toImage();
    ASSERT_EQ(focused.size(), unfocused.size());
    const int middle = focused.height() / 2;
    for (const int x : {0, 1, focused.width() - 2, focused.width() - 1}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(unfocused.pixelColor(x, middle), background) << "a ring without the focus";
        EXPECT_GE(qt::detail::contrastRatio(focused.pixelColor(x, middle), background), 3.0)
            << "no ring of two pixels that stands out";
    }

    paid.cvv->setFocus();
    QTest::keyClick(paid.cvv, Qt::Key_Return);
    ASSERT_TRUE(paid.reports->waitForReport()) << "Return on the last field did not pay";
    EXPECT_EQ(paid.reports->told, std::vector<std::string>{"OK 0"});

    auto cancelled = show("UI-C0016");
    ASSERT_TRUE(cancelled.complete());
    // Escape is the window's shortcut: it reaches only the active window.
    cancelled.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(cancelled.window));
    cancelled.number->setFocus();
    QTest::keyClick(cancelled.window->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(cancelled.reports->waitForReport()) << "Escape did not cancel";
    EXPECT_EQ(cancelled.reports->told,
              std::vector<std::string>{"KO 78 Operación cancelada por el usuario."});
}

// For screens in public view the security code shows masked as it is typed, to the eye and to
// assistive technologies, while the payment still gets it.
TEST_F(CardScreen, TheSecurityCodeCanShowMaskedAndStillPays) {
    auto look = std::make_shared<VantInAppUIConfig>();
    look->setBackgorundViewColor({0.06, 0.09, 0.24, 1.0}).setSecurityCodeMasked(true);
    auto shown = show("UI-C0017", "REQUIRED", 19.99, look);
    ASSERT_TRUE(shown.complete());
    ASSERT_TRUE(fadesIn(shown.number));
    typeValidCard(shown, kCard);
    EXPECT_EQ(shown.cvv->text(), QStringLiteral("123")) << "what the rules and the payment get";
    EXPECT_FALSE(shown.cvv->displayText().contains(QStringLiteral("123"))) << "shown in clear";
    QAccessibleInterface* readBack = QAccessible::queryAccessibleInterface(shown.cvv);
    ASSERT_TRUE(readBack);
    EXPECT_FALSE(readBack->text(QAccessible::Value).contains(QStringLiteral("123")));
    EXPECT_TRUE(Qt::InputMethodHints(shown.cvv->inputMethodQuery(Qt::ImHints).toInt())
                    .testFlag(Qt::ImhHiddenText));
    EXPECT_EQ(shown.number->echoMode(), QLineEdit::Normal) << "only the security code is masked";
    saveScreenshot(*shown.window, QStringLiteral("card-screen-dark"));
    QTest::mouseClick(shown.proceed, Qt::LeftButton);
    ASSERT_TRUE(shown.reports->waitForReport());
    EXPECT_EQ(shown.reports->told, std::vector<std::string>{"OK 0"});
}

// Every text of the appearance three times as long as its default, in a 30 px font, in a
// kiosk's window of 800 by 480 and a phone's of 320 by 480, a word wider than the phone: the
// window grows no larger, each caption and bar title shows whole, wrapped where it must be (only
// a word wider than a line broken), and each field and button scrolls whole into view.
TEST_F(CardScreen, NothingTheMerchantSetsIsCutOnSmallScreens) {
    const auto thrice = [](const std::string& text) { return text + " " + text + " " + text; };
    const QFont applicationFont = QApplication::font();
    QFont large = applicationFont;
    large.setPixelSize(30);
    QApplication::setFont(large);
    const VantInAppUIConfig defaults;
    const auto captionLike = [&](const std::shared_ptr<PaymentUILabelConfig>& caption,
                                 std::string text) {
        return PaymentUILabel::create(std::move(text), caption->textColor(),
                                      platform::ui::Font::systemFont(30));
    };
    auto look = std::make_shared<VantInAppUIConfig>();
    look->setNumberCardLabel(captionLike(defaults.numberCardLabel(),
                                         thrice("Número de la tarjeta de crédito o débito")))
        .setExpireDateLabel(
            captionLike(defaults.expireDateLabel(), thrice("Fecha de caducidad (MM/AA)")))
        .setCVVLabel(captionLike(defaults.cvvLabel(), thrice("Código de seguridad (CVV2)")))
        .setInfoPaymentLabel(captionLike(
            defaults.infoPaymentLabel(),
            thrice(defaults.infoPaymentLabel()->text()) + " Pagoseguroconautenticacióndelemisor"))
        .setContinueButtonText(thrice("Pagar 1.234,56 € ahora"))
        .setCancelButtonText(thrice(defaults.cancelButtonText()) + " Volveralatiendasinpagar");
    auto shown = show("UI-C0018", "REQUIRED", 1234.56, look);
    QApplication::setFont(applicationFont);
    ASSERT_TRUE(shown.complete());
    ASSERT_TRUE(fadesIn(shown.number));
    // What shows of the screen: the part of it that scrolls, as wide as it is shown.
    auto* scroll = shown.window->findChild<QScrollArea*>();
    ASSERT_TRUE(scroll);
    const QWidget* viewport = scroll->viewport();
    const auto insideAcross = [viewport](const QWidget& widget) {
        const int left = widget.mapTo(viewport, QPoint(0, 0)).x();
        return left >= 0 && left + widget.width() <= viewport->width();
    };
    for (const QSize size : {QSize(800, 480), QSize(320, 480)}) {
        SCOPED_TRACE(size.width());
        shown.window->resize(size);
        // The layouts settle over a few rounds of posted events.
        for (int round = 0; round < 3; ++round) {
            QApplication::processEvents();
        }
        EXPECT_EQ(shown.window->size(), size) << "the window grew past the screen";
        for (const QLabel* label : shown.window->findChildren<QLabel*>()) {
            if (label->text().isEmpty()) {
                continue;
            }
            SCOPED_TRACE(label->text().toStdString());
            EXPECT_TRUE(qobject_cast<const qt::detail::WrappedLabel*>(label));
            EXPECT_TRUE(showsWhole(label->text(), label->font(), label->contentsRect()));
            EXPECT_TRUE(insideAcross(*label));
        }
        for (const auto* button : shown.window->findChildren<qt::detail::BarButton*>()) {
            SCOPED_TRACE(button->text().toStdString());
            EXPECT_TRUE(showsWhole(button->text(), button->font(), button->titleArea()));
        }
        for (QWidget* control : std::initializer_list<QWidget*>{
                 shown.number, shown.expiry, shown.cvv, shown.proceed, shown.cancel}) {
            const QPoint middle = control->mapTo(scroll->widget(), control->rect().center());
            scroll->ensureVisible(middle.x(), middle.y(), control->width() / 2 + 1,
                                  control->height() / 2 + 1);
            const QRect place(control->mapTo(viewport, QPoint(0, 0)), control->size());
            EXPECT_TRUE(viewport->rect().contains(place)) << control->objectName().toStdString();
        }
    }
    saveScreenshot(*shown.window, QStringLiteral("card-screen-long-texts"));
}

// In English the library's own texts are translated (the defaults of the appearance, the
// window's title and what assistive technologies are told); the merchant's own text stays as
// set.
TEST_F(CardScreen, InEnglishTheLibrarysOwnTextsAreTranslatedAndTheMerchantsKept) {
    ASSERT_TRUE(qt::setScreenLanguage(QLocale(QLocale::English, QLocale::UnitedKingdom)));
    auto look = std::make_shared<VantInAppUIConfig>();
    look->setContinueButtonText("Pagar ahora");
    auto shown = show("UI-C0019", "REQUIRED", 19.99, look);
    EXPECT_TRUE(qt::setScreenLanguage(QLocale(QLocale::Spanish, QLocale::Spain)));
    ASSERT_TRUE(shown.window);
    EXPECT_EQ(shown.window->windowTitle(), QStringLiteral("Card payment"));
    for (const char* name : {"Card number", "Expiry date", "Security code"}) {
        EXPECT_TRUE(fieldNamed(*shown.window, QString::fromLatin1(name))) << name;
    }
    EXPECT_TRUE(shown.proceed) << "the merchant's title";
    QPushButton* cancel = buttonTitled(*shown.window, QStringLiteral("Cancel"));
    ASSERT_TRUE(cancel);
    saveScreenshot(*shown.window, QStringLiteral("card-screen-english"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(shown.reports->waitForReport());
    EXPECT_FALSE(qt::setScreenLanguage(QLocale(QLocale::Japanese))) << "no Japanese translation";
}

}  // namespace
}  // namespace vanto
