// The card-entry screen in Qt Quick, typed into as a cardholder types: key by key into the real
// TextInput items, pasting through the clipboard, an input method's commit; paying through the
// sandbox gateway on loopback.
#include <algorithm>
#include <cmath>
#include <utility>

#include <QGuiApplication>
#include <QLocale>
#include <QTest>
#include <QTextOption>

#include "QuickTest.h"
#include "vanto/config/VantInAppUIConfig.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/quick/QuickBinding.h"
#include "vanto/sandbox/TestCards.h"

namespace vanto {
namespace {

using testing::cardOf;
using testing::itemNamed;
using testing::press;
using testing::tap;
using testing::type;

const QByteArray kScreen = "import QtQuick\nimport Vanto\nCardEntryScreen {}\n";

// `text` three times as long, as a translation or a merchant's own wording may be.
std::string thrice(const std::string& text) {
    return text + " " + text + " " + text;
}

// Every text item drawn under `item` that shows less than its whole text: elided, cut by its
// own size, running out of the window's width, or wrapped so as to break a word that fits a line
// (only a word wider than a line may be broken, over lines).
void collectCut(const QQuickItem* item, qreal windowWidth, QStringList& cut) {
    if (!item->isVisible()) {
        return;
    }
    if (item->inherits("QQuickText")) {
        const QString text = item->property("text").toString();
        const qreal contentWidth = item->property("contentWidth").toReal();
        const qreal contentHeight = item->property("contentHeight").toReal();
        const qreal right = item->mapToScene(QPointF(item->width(), 0)).x();
        const bool breaksAnyWord =
            item->property("wrapMode").toInt() == QTextOption::WrapAnywhere &&
            item->property("lineCount").toInt() > 1;
        if (!text.isEmpty() &&
            (item->property("truncated").toBool() || contentWidth > item->width() + 0.5 ||
             contentHeight > item->height() + 0.5 || right > windowWidth + 0.5 || breaksAnyWord)) {
            cut.append(text);
        }
    }
    for (const QQuickItem* child : item->childItems()) {
        collectCut(child, windowWidth, cut);
    }
}

class QuickCardScreen : public testing::QuickTest {
  public:
    // A presented screen, and the hands the cases both bindings pass work it with.
    struct Shown {
        std::shared_ptr<DirectPaymentViewController> screen;
        std::shared_ptr<testing::Reports> reports = std::make_shared<testing::Reports>();
        std::unique_ptr<quick::ScreenHandle> handle;
        Window host;
        QQuickWindow* window = nullptr;
        QQuickItem* number = nullptr;
        QQuickItem* expiry = nullptr;
        QQuickItem* cvv = nullptr;
        QQuickItem* proceed = nullptr;
        QQuickItem* cancel = nullptr;

        bool complete() const { return number && expiry && cvv && proceed && cancel; }
        QObject* root() const { return host.root; }
        QImage picture() const { return window->grabWindow(); }
        // The field's text input lies inside the frame that draws its border.
        static const QObject* frameOf(const QQuickItem* field) { return field->parentItem(); }
        static QRect placeOf(const QObject* control) {
            const auto* item = qobject_cast<const QQuickItem*>(control);
            return item ? item->mapRectToScene(QRectF(0, 0, item->width(), item->height())).toRect()
                        : QRect();
        }
        // The screen faded in: it was told it appeared, and its elements are opaque.
        bool fadedIn() const { return testing::fadedIn(host.root, number); }
        void focus(const QQuickItem* field) const { testing::tap(*window, field); }
        void type(const QString& text) const { testing::type(*window, text); }
        void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const {
            press(*window, key, modifiers);
        }
        QQuickItem* focusedControl() const { return window->activeFocusItem(); }
        static QString text(const QQuickItem* input) { return input->property("text").toString(); }
        static void setCursor(QQuickItem* field, qsizetype at) {
            field->setProperty("cursorPosition", at);
        }
        static qsizetype cursor(const QQuickItem* field) {
            return field->property("cursorPosition").value<qsizetype>();
        }
        // Nothing can be selected: backspaced away from the end.
        void clear(QQuickItem* field) const {
            focus(field);
            setCursor(field, text(field).size());
            for (int i = 0; i < 24 && !text(field).isEmpty(); ++i) {
                key(Qt::Key_Backspace);
            }
            EXPECT_TRUE(text(field).isEmpty());
        }
        // A drag of the mouse across the field.
        void mouseSelect(const QQuickItem* field) const {
            const QPoint from = field->mapToScene(QPointF(4, field->height() / 2)).toPoint();
            QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, from);
            QTest::mouseMove(window, testing::middleOf(field));
            QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, testing::middleOf(field));
        }
        static constexpr bool kSelects = false;
        static QString selected(const QQuickItem* field) {
            return field->property("selectedText").toString();
        }
        static bool enabled(const QQuickItem* item) { return item->isEnabled(); }
        void tap(const QQuickItem* item) const { testing::tap(*window, item); }
        void leave() const { key(Qt::Key_Escape); }
        bool closed() const { return !host.root || host.root->property("closed").toBool(); }
        QQuickItem* busyIndicator() const {
            return itemNamed(host.root, QStringLiteral("busyIndicator"));
        }
        bool busy() const { return busyIndicator() && busyIndicator()->isVisible(); }
        bool spinning() const {
            return busyIndicator() && busyIndicator()->property("running").toBool();
        }
        bool gone() const {
            const QQuickItem* drawing = itemNamed(host.root, QStringLiteral("drawing"));
            return drawing && !drawing->property("attached").toBool() && text(number).isEmpty();
        }
        void screenshot(const char* name) const {
            saveScreenshot(*window, QStringLiteral("quick-") + QString::fromLatin1(name));
        }
    };

    static Shown show(std::string order, std::string identifier = "REQUIRED", double amount = 19.99,
                      std::shared_ptr<const VantInAppUIConfig> look = nullptr, int width = 420,
                      int height = 680) {
        Shown made;
        made.screen = DirectPaymentViewController::create(std::move(order), amount, "Libro",
                                                          TransactionType::normal,
                                                          std::move(identifier), std::move(look));
        made.screen->setDelegate(made.reports);
        made.handle = std::make_unique<quick::ScreenHandle>(made.screen);
        made.host = QuickTest::show(
            kScreen, {{QStringLiteral("screen"), QVariant::fromValue<QObject*>(made.handle.get())}},
            width, height);
        made.window = made.host.window.get();
        const auto named = [&](const char* name) {
            return itemNamed(made.host.root, QString::fromLatin1(name));
        };
        made.number = named("numberInput");
        made.expiry = named("expiryInput");
        made.cvv = named("securityCodeInput");
        made.proceed = named("continueButton");
        made.cancel = named("cancelButton");
        return made;
    }
};

TEST_F(QuickCardScreen, TypedKeyByKeyTheCardShowsInGroupsAndPaysOnceValid) {
    typedKeyByKeyPaysOnce<QuickCardScreen>("QK-C0001");
}

TEST_F(QuickCardScreen, EveryTabStopShowsAndReadsAsItLooks) {
    everyTabStopShowsAndReadsAsItLooks<QuickCardScreen>("QK-C0031");
}

TEST_F(QuickCardScreen, AFieldLeftInvalidSaysWhy) {
    aFieldLeftInvalidSaysWhy<QuickCardScreen>("QK-C0030");
}

TEST_F(QuickCardScreen, EveryTextAndBorderStandsOutOnScreen) {
    everyTextAndBorderStandsOut<QuickCardScreen>("QK-C0031");
}

TEST_F(QuickCardScreen, PastingAndAnInputMethodGoThroughTheSameRules) {
    pastedAndCommittedTextFollowsTheRules<QuickCardScreen>("QK-C0002");
}

TEST_F(QuickCardScreen, AStoredCardShowsTheMasksAndPaysWithItsReference) {
    storedCardPaysWithItsReference<QuickCardScreen>("QK-C0004", "QK-C0021");
}

TEST_F(QuickCardScreen, EachWayTheScreenEndsGivesExactlyOneReport) {
    eachWayTheScreenEndsGivesOneReport<QuickCardScreen>("QK");
}

TEST_F(QuickCardScreen, WhileThePaymentIsOnItsWayTheScreenIsBusyAndCannotBeLeft) {
    whileThePaymentIsOnItsWayTheScreenStays<QuickCardScreen>("QK");
}

// Besides, the fields offer no edit menu, and the keys that delete through the clipboard delete
// without it.
TEST_F(QuickCardScreen, CardDataNeverLeavesTheFields) {
    cardDataNeverLeavesTheFields<QuickCardScreen>("QK-C0003", [](Shown& shown, QQuickItem* field) {
        EXPECT_TRUE(field->property("inputMethodHints").toInt() & Qt::ImhNoEditMenu);
        if (field == shown.number) {
            Shown::setCursor(field, 5);
            shown.key(Qt::Key_K, Qt::ControlModifier);
            EXPECT_EQ(Shown::text(field), cardOf(sandbox::kAcceptedCard).left(4));
            shown.key(Qt::Key_U, Qt::ControlModifier);
            EXPECT_TRUE(Shown::text(field).isEmpty());
        }
    });
}

// Nothing the merchant sets is cut: every text three times as long as the default, in a 30 px
// font, in a phone's window of 320 by 480 (and, dark, a kiosk's of 800 by 480), wraps or scrolls
// whole into view; every target stays touch-sized. For screens in public view the security code
// shows as dots; and the library's own texts, not the merchant's, follow the language the
// application chose.
TEST_F(QuickCardScreen, TheSecurityCodeCanBeMaskedAndTheLibrarysOwnTextsTranslated) {
    auto look = std::make_shared<VantInAppUIConfig>();
    look->setSecurityCodeMasked(true).setCancelButtonText("Volver a la tienda");
    struct English {
        English() {
            EXPECT_TRUE(quick::QuickBinding::setScreenLanguage(QLocale(QLocale::English)));
        }
        ~English() { quick::QuickBinding::setScreenLanguage(QLocale(QLocale::Spanish)); }
    } english;
    auto shown = show("QK-C0018", "REQUIRED", 19.99, look);
    ASSERT_TRUE(shown.complete());
    ASSERT_TRUE(shown.fadedIn());
    tap(*shown.window, shown.cvv);
    type(*shown.window, QStringLiteral("123"));
    EXPECT_EQ(Shown::text(shown.cvv), QStringLiteral("123"));
    const QString drawn = shown.cvv->property("displayText").toString();
    EXPECT_EQ(drawn.size(), 3);
    EXPECT_FALSE(drawn.contains(QLatin1Char('1')) || drawn.contains(QLatin1Char('2')))
        << "the security code shows as typed";

    const QQuickItem* drawing = itemNamed(shown.host.root, QStringLiteral("drawing"));
    ASSERT_TRUE(drawing);
    EXPECT_EQ(drawing->property("continueTitle").toString(), QStringLiteral("Continue"));
    EXPECT_EQ(drawing->property("cancelTitle").toString(), QStringLiteral("Volver a la tienda"))
        << "a text the merchant set is shown as set";
    const QVariantMap texts = drawing->property("texts").toMap();
    EXPECT_EQ(texts.value(QStringLiteral("expiryPlaceholder")), QStringLiteral("MM/YY"));
    EXPECT_EQ(texts.value(QStringLiteral("page")), QStringLiteral("Payment page"));
}

TEST_F(QuickCardScreen, LongTextsALargeFontAndADarkAppearanceStayWholeInView) {
    const VantInAppUIConfig defaults;
    const auto large = platform::ui::Font::systemFont(30, platform::ui::FontWeight::semibold);
    const platform::ui::Color ink{0.1, 0.1, 0.12, 1.0};
    const auto longCaption = [&](const std::string& text) {
        return PaymentUILabel::create(thrice(text), ink, large);
    };
    auto look = std::make_shared<VantInAppUIConfig>();
    look->setCancelButtonText(thrice(defaults.cancelButtonText()) + " Volveralatiendasinpagar")
        .setContinueButtonText(thrice("Pagar 12.345,67 € ahora"))
        .setNumberCardLabel(longCaption(defaults.numberCardLabel()->text()))
        .setExpireDateLabel(longCaption(defaults.expireDateLabel()->text()))
        .setCVVLabel(longCaption(defaults.cvvLabel()->text()))
        .setInfoPaymentLabel(
            longCaption("Pago seguro con tarjeta Pagoseguroconautenticacióndelemisor"));
    // The application's font too: the bar's titles and the problems follow it.
    struct LargeFont {
        QFont before = QGuiApplication::font();
        LargeFont() {
            QFont large = before;
            large.setPixelSize(30);
            QGuiApplication::setFont(large);
        }
        ~LargeFont() { QGuiApplication::setFont(before); }
    } largeFont;
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        if (dark) {
            // The merchant's dark background, with its captions in its own dark ink.
            look->setBackgorundViewColor({0.06, 0.09, 0.16, 1.0});
        }
        auto shown =
            show(dark ? "QK-C0016" : "QK-C0017", "REQUIRED", 19.99, look, dark ? 800 : 320, 480);
        ASSERT_TRUE(shown.complete());
        ASSERT_TRUE(shown.fadedIn());
        // Typed from the keyboard: each field that takes it scrolls into view.
        tap(*shown.window, shown.number);
        type(*shown.window, cardOf(sandbox::kAcceptedCard));
        press(*shown.window, Qt::Key_Return);
        type(*shown.window, futureExpiryDigits());
        press(*shown.window, Qt::Key_Tab);
        type(*shown.window, QStringLiteral("123"));
        const QRectF field = shown.cvv->parentItem()->mapRectToScene(
            QRectF(0, 0, shown.cvv->parentItem()->width(), shown.cvv->parentItem()->height()));
        EXPECT_TRUE(QRectF(0, 0, shown.window->width(), shown.window->height()).contains(field))
            << "the field with the keyboard is out of sight";
        EXPECT_TRUE(shown.proceed->isEnabled());
        // Drawn, and so laid out anew.
        shown.picture();
        QStringList cut;
        collectCut(shown.host.root, shown.window->width(), cut);
        EXPECT_TRUE(cut.isEmpty()) << cut.join(QStringLiteral(" | ")).toStdString();
        // Each target scrolled whole into view, as a cardholder flicks to it.
        QQuickItem* scroller = itemNamed(shown.host.root, QStringLiteral("scroller"));
        ASSERT_TRUE(scroller);
        const QRectF window(0, 0, shown.window->width(), shown.window->height());
        for (QQuickItem* target : {shown.proceed, shown.cancel, shown.number->parentItem(),
                                   shown.expiry->parentItem(), shown.cvv->parentItem()}) {
            QMetaObject::invokeMethod(scroller, "reveal",
                                      Q_ARG(QVariant, QVariant::fromValue(target)));
            const QRectF place =
                target->mapRectToScene(QRectF(0, 0, target->width(), target->height()));
            EXPECT_TRUE(window.contains(place))
                << target->objectName().toStdString() << " out of sight";
            EXPECT_GE(target->height(), 48.0) << target->objectName().toStdString();
            EXPECT_GE(target->width(), 48.0) << target->objectName().toStdString();
        }
        // The keyboard's place shows: the field with the focus has a frame of its own.
        const auto* frame = shown.cvv->parentItem();
        EXPECT_TRUE(shown.cvv->hasActiveFocus());
        EXPECT_GE(frame->property("border").value<QObject*>()->property("width").toReal(), 3.0);
        if (dark) {
            saveScreenshot(*shown.window, QStringLiteral("quick-card-screen-dark"));
        }
    }
}

}  // namespace
}  // namespace vanto
