// The card-entry screen in Qt Quick, typed into as a cardholder types: key by key into the real
// TextInput items, pasting through the clipboard, an input method's commit; paying through the
// sandbox gateway on loopback.
#include <algorithm>
#include <cmath>
#include <utility>

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLocale>
#include <QTest>

#include "QuickTest.h"
#include "vanto/config/PaymentUILabel.h"
#include "vanto/config/VantInAppUIConfig.h"
#include "vanto/direct/DirectPaymentService.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/quick/QuickBinding.h"
#include "vanto/sandbox/TestCards.h"

namespace vanto {
namespace {

using testing::itemNamed;
using testing::press;
using testing::tap;
using testing::type;

const QByteArray kScreen = "import QtQuick\nimport Vanto\nCardEntryScreen {}\n";

QString grouped(const QString& digits) {
    QString shown;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && i % 4 == 0) {
            shown += QLatin1Char(' ');
        }
        shown += digits[i];
    }
    return shown;
}

QString textOf(const QQuickItem* input) {
    return input->property("text").toString();
}

// The road to the direct-payment service, which holds each payment until the test lets it go,
// and says when the gateway's answer has been handed on.
class HeldRoad final : public DirectPaymentService {
  public:
    explicit HeldRoad(std::shared_ptr<DirectPaymentService> road) : road_(std::move(road)) {}
    void send(std::shared_ptr<DirectPaymentRequest> request, Success success,
              Failure failure) override {
        held_ = [this, road = road_, request = std::move(request), success = std::move(success),
                 failure = std::move(failure)] {
            road->send(
                request,
                [this, success](std::optional<DirectPaymentResponse> answer) {
                    success(std::move(answer));
                    handedOn.tell();
                },
                [this, failure](SDKError error) {
                    failure(std::move(error));
                    handedOn.tell();
                });
        };
    }
    bool holding() const { return static_cast<bool>(held_); }
    void letGo() { std::exchange(held_, nullptr)(); }

    testing::Notice handedOn;

  private:
    std::shared_ptr<DirectPaymentService> road_;
    std::function<void()> held_;
};

// The relative luminance of `color`, and the contrast of two colours, as accessibility
// guidelines reckon them.
double luminance(const QColor& color) {
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
           0.0722 * linear(color.blueF());
}

double contrast(const QColor& one, const QColor& other) {
    const double lighter = std::max(luminance(one), luminance(other));
    const double darker = std::min(luminance(one), luminance(other));
    return (lighter + 0.05) / (darker + 0.05);
}

// `text` made half as long again, as a translation or a merchant's own wording may be.
std::string longer(const std::string& text) {
    const QString given = QString::fromStdString(text);
    return (given + QLatin1Char(' ') + given.left(std::max<qsizetype>(1, given.size() / 2)))
        .toStdString();
}

// Every text item drawn under `item` that shows less than its whole text: elided, cut by its
// own size, or running out of the window's width.
void collectCut(const QQuickItem* item, qreal windowWidth, QStringList& cut) {
    if (!item->isVisible()) {
        return;
    }
    if (item->inherits("QQuickText")) {
        const QString text = item->property("text").toString();
        const qreal contentWidth = item->property("contentWidth").toReal();
        const qreal contentHeight = item->property("contentHeight").toReal();
        const qreal right = item->mapToScene(QPointF(item->width(), 0)).x();
        if (!text.isEmpty() &&
            (item->property("truncated").toBool() || contentWidth > item->width() + 0.5 ||
             contentHeight > item->height() + 0.5 || right > windowWidth + 0.5)) {
            cut.append(text);
        }
    }
    for (const QQuickItem* child : item->childItems()) {
        collectCut(child, windowWidth, cut);
    }
}

class QuickCardScreen : public testing::QuickTest {
  protected:
    struct Shown {
        std::shared_ptr<DirectPaymentViewController> screen;
        std::shared_ptr<testing::Reports> reports;
        std::unique_ptr<quick::ScreenHandle> handle;
        Window shown;
        QQuickWindow* window = nullptr;
        QQuickItem* number = nullptr;
        QQuickItem* expiry = nullptr;
        QQuickItem* cvv = nullptr;
        QQuickItem* proceed = nullptr;
        QQuickItem* cancel = nullptr;

        bool complete() const { return number && expiry && cvv && proceed && cancel; }
    };

    static Shown show(std::string order, std::string identifier = "REQUIRED", double amount = 19.99,
                      std::shared_ptr<const VantInAppUIConfig> look = nullptr, int width = 420,
                      int height = 680) {
        Shown made;
        made.screen = DirectPaymentViewController::create(std::move(order), amount, "Libro",
                                                          TransactionType::normal,
                                                          std::move(identifier), std::move(look));
        made.reports = std::make_shared<testing::Reports>();
        made.screen->setDelegate(made.reports);
        made.handle = std::make_unique<quick::ScreenHandle>(made.screen);
        made.shown = QuickTest::show(
            kScreen, {{QStringLiteral("screen"), QVariant::fromValue<QObject*>(made.handle.get())}},
            width, height);
        made.window = made.shown.window.get();
        const QQuickItem* root = made.shown.root;
        made.number = itemNamed(root, QStringLiteral("numberInput"));
        made.expiry = itemNamed(root, QStringLiteral("expiryInput"));
        made.cvv = itemNamed(root, QStringLiteral("securityCodeInput"));
        made.proceed = itemNamed(root, QStringLiteral("continueButton"));
        made.cancel = itemNamed(root, QStringLiteral("cancelButton"));
        EXPECT_TRUE(made.complete());
        return made;
    }

    static bool enabled(const QQuickItem* item) { return item->isEnabled(); }

    // The screen faded in: it was told it appeared, and its elements are opaque.
    static bool fadedIn(const Shown& shown) {
        const QQuickItem* elements = shown.number;
        while (elements && elements->parentItem() != shown.shown.root) {
            elements = elements->parentItem();
        }
        return elements && testing::waitForProperty(elements, "opacity", [elements] {
                   return elements->opacity() == 1.0;
               });
    }

    // Types a valid card, expiry and security code key by key.
    static void typeValidCard(const Shown& shown, const QString& card) {
        tap(*shown.window, shown.number);
        type(*shown.window, card);
        tap(*shown.window, shown.expiry);
        type(*shown.window, futureExpiryDigits());
        tap(*shown.window, shown.cvv);
        type(*shown.window, QStringLiteral("123"));
    }
};

TEST_F(QuickCardScreen, TypedKeyByKeyTheCardShowsInGroupsAndPaysOnceValid) {
    auto shown = show("QK-C0001");
    ASSERT_TRUE(shown.complete());
    ASSERT_TRUE(fadedIn(shown)) << "the screen never appeared";
    EXPECT_FALSE(enabled(shown.proceed));

    tap(*shown.window, shown.number);
    const QString card = QString::fromLatin1(sandbox::kAcceptedCard.data(), 16);
    for (qsizetype typed = 1; typed <= card.size(); ++typed) {
        QTest::keyClick(shown.window, card[typed - 1].toLatin1());
        ASSERT_EQ(textOf(shown.number), grouped(card.left(typed))) << "after key " << typed;
    }
    type(*shown.window, QStringLiteral("000"));
    EXPECT_EQ(textOf(shown.number), grouped(card + QStringLiteral("000"))) << "19 digits fit";
    QTest::keyClick(shown.window, '1');
    EXPECT_EQ(textOf(shown.number), grouped(card + QStringLiteral("000"))) << "a 20th is refused";
    for (int i = 0; i < 3; ++i) {
        press(*shown.window, Qt::Key_Backspace);
    }
    EXPECT_EQ(textOf(shown.number), grouped(card));

    // Deleting a separator in the middle changes nothing: the regrouping puts it back.
    shown.number->setProperty("cursorPosition", 5);
    press(*shown.window, Qt::Key_Backspace);
    EXPECT_EQ(textOf(shown.number), grouped(card));
    // Nothing typed can come back through an undo.
    press(*shown.window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(shown.number), grouped(card));

    // Return goes on to the next field; the expiry shows as MM/YY.
    press(*shown.window, Qt::Key_Return);
    const QString expiry = futureExpiryDigits();
    type(*shown.window, expiry);
    EXPECT_EQ(textOf(shown.expiry), expiry.left(2) + QLatin1Char('/') + expiry.mid(2));
    EXPECT_FALSE(enabled(shown.proceed));
    press(*shown.window, Qt::Key_Tab);
    type(*shown.window, QStringLiteral("123"));
    EXPECT_TRUE(enabled(shown.proceed));
    type(*shown.window, QStringLiteral("45"));
    EXPECT_EQ(textOf(shown.cvv), QStringLiteral("1234")) << "a fifth character is refused";
    saveScreenshot(*shown.window, QStringLiteral("quick-card-screen-default"));

    // Shares the field's own storage, which must be overwritten before it is let go.
    const QString typedNumber = textOf(shown.number);
    press(*shown.window, Qt::Key_Return);  // on the last field: pays
    EXPECT_FALSE(enabled(shown.cancel));
    EXPECT_FALSE(enabled(shown.number));
    ASSERT_TRUE(shown.reports->waitForReport()) << "no outcome";
    ASSERT_EQ(shown.reports->told, std::vector<std::string>{"OK 0"});
    const auto& accepted = shown.reports->cardAccepted.front();
    EXPECT_EQ(accepted.Ds_Response, "0000");
    EXPECT_EQ(accepted.Ds_ExpiryDate, (expiry.mid(2) + expiry.left(2)).toStdString())
        << "the expiry goes as year then month";
    EXPECT_TRUE(shown.shown.root->property("closed").toBool()) << "the screen stayed";
    EXPECT_TRUE(textOf(shown.number).isEmpty() && textOf(shown.expiry).isEmpty() &&
                textOf(shown.cvv).isEmpty())
        << "the card data stayed in the fields";
    EXPECT_EQ(typedNumber, QString(typedNumber.size(), QChar(0))) << "the card number lingers";
    shown.screen.reset();
    EXPECT_EQ(shown.reports->count(), 1u) << "an outcome, then nothing more";
}

TEST_F(QuickCardScreen, PastingAndAnInputMethodGoThroughTheSameRules) {
    auto shown = show("QK-C0002");
    ASSERT_TRUE(shown.complete());
    const QString card = QString::fromLatin1(sandbox::kAcceptedCard.data(), 16);
    typeValidCard(shown, card);
    ASSERT_TRUE(enabled(shown.proceed));

    // Pasted whole, the expiry is checked before it is regrouped, and does not parse.
    tap(*shown.window, shown.expiry);
    shown.expiry->setProperty("cursorPosition", 5);
    for (int i = 0; i < 5; ++i) {
        press(*shown.window, Qt::Key_Backspace);
    }
    EXPECT_TRUE(textOf(shown.expiry).isEmpty());
    QGuiApplication::clipboard()->setText(QStringLiteral("1226"));
    press(*shown.window, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(textOf(shown.expiry), QStringLiteral("12/26"));
    EXPECT_FALSE(enabled(shown.proceed));

    tap(*shown.window, shown.cvv);
    for (int i = 0; i < 3; ++i) {
        press(*shown.window, Qt::Key_Backspace);
    }
    EXPECT_TRUE(textOf(shown.cvv).isEmpty());
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("987"));
    QGuiApplication::sendEvent(shown.cvv, &commit);
    EXPECT_EQ(textOf(shown.cvv), QStringLiteral("987"));
    QInputMethodEvent correction;
    correction.setCommitString(QStringLiteral("5"), -1, 1);  // replaces the character before
    QGuiApplication::sendEvent(shown.cvv, &correction);
    EXPECT_EQ(textOf(shown.cvv), QStringLiteral("985"));
    // A character outside the Basic Multilingual Plane is two UTF-16 units, deleted as one.
    QGuiApplication::clipboard()->setText(QStringLiteral("\U0001F600"));
    press(*shown.window, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(textOf(shown.cvv), QStringLiteral("985\U0001F600"));
    press(*shown.window, Qt::Key_Backspace);
    EXPECT_EQ(textOf(shown.cvv), QStringLiteral("985"));

    // A paste that would make the number too long is refused whole.
    tap(*shown.window, shown.number);
    shown.number->setProperty("cursorPosition", textOf(shown.number).size());
    QGuiApplication::clipboard()->setText(QStringLiteral("00000000"));
    press(*shown.window, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(textOf(shown.number), grouped(card));
    QGuiApplication::clipboard()->clear();
}

// What the cardholder typed stays in the field: no copy, no cut, no selection (which X11 would
// copy), nothing for an input method to learn from, no undo.
TEST_F(QuickCardScreen, CardDataNeverLeavesTheFields) {
    auto shown = show("QK-C0003");
    ASSERT_TRUE(shown.complete());
    const QString card = QString::fromLatin1(sandbox::kAcceptedCard.data(), 16);
    typeValidCard(shown, card);
    auto* clipboard = QGuiApplication::clipboard();
    const QString untouched = QStringLiteral("nothing of the card");
    clipboard->setText(untouched);
    if (clipboard->supportsSelection()) {
        clipboard->setText(untouched, QClipboard::Selection);
    }

    tap(*shown.window, shown.number);
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_A, Qt::KeyboardModifiers(Qt::ControlModifier)},
          std::pair{Qt::Key_Left, Qt::KeyboardModifiers(Qt::ShiftModifier)},
          std::pair{Qt::Key_Home, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        press(*shown.window, key, modifiers);
        EXPECT_TRUE(shown.number->property("selectedText").toString().isEmpty())
            << "a selection was made with " << key;
    }
    // A drag of the mouse across the field selects nothing either.
    const QPoint from = shown.number->mapToScene(QPointF(4, shown.number->height() / 2)).toPoint();
    const QPoint to = testing::middleOf(shown.number);
    QTest::mousePress(shown.window, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(shown.window, to);
    QTest::mouseRelease(shown.window, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_TRUE(shown.number->property("selectedText").toString().isEmpty());
    // Copying and cutting, by every shortcut, take nothing.
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_C, Qt::KeyboardModifiers(Qt::ControlModifier)},
          std::pair{Qt::Key_X, Qt::KeyboardModifiers(Qt::ControlModifier)},
          std::pair{Qt::Key_Insert, Qt::KeyboardModifiers(Qt::ControlModifier)},
          std::pair{Qt::Key_Delete, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        press(*shown.window, key, modifiers);
    }
    EXPECT_EQ(clipboard->text(), untouched);
    if (clipboard->supportsSelection()) {
        EXPECT_EQ(clipboard->text(QClipboard::Selection), untouched);
    }
    EXPECT_EQ(textOf(shown.number), grouped(card)) << "a cut took the card number away";

    // What an input method (an on-screen keyboard among them) is told of each field: card data,
    // to be neither learnt nor predicted.
    for (QQuickItem* field : {shown.number, shown.expiry, shown.cvv}) {
        tap(*shown.window, field);
        QInputMethodQueryEvent query(Qt::ImHints);
        QGuiApplication::sendEvent(QGuiApplication::focusObject(), &query);
        const auto hints = static_cast<Qt::InputMethodHints>(query.value(Qt::ImHints).toInt());
        EXPECT_TRUE(hints.testFlags(Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                                    Qt::ImhDigitsOnly | Qt::ImhNoEditMenu))
            << field->objectName().toStdString();
    }
    clipboard->clear();
}

TEST_F(QuickCardScreen, AStoredCardShowsTheMasksAndPaysWithItsReference) {
    auto first = show("QK-C0004");
    ASSERT_TRUE(first.complete());
    typeValidCard(first, QString::fromLatin1(sandbox::kReferenceCard.data(), 16));
    tap(*first.window, first.proceed);
    ASSERT_TRUE(first.reports->waitForReport());
    ASSERT_EQ(first.reports->cardAccepted.size(), 1u);
    const std::string reference = first.reports->cardAccepted.front().Ds_Merchant_Identifier;
    ASSERT_FALSE(reference.empty());

    auto stored = show("QK-C0005", reference);
    ASSERT_TRUE(stored.complete());
    EXPECT_EQ(textOf(stored.number), QStringLiteral("**** **** **** ****"));
    EXPECT_EQ(textOf(stored.expiry), QStringLiteral("**/**"));
    EXPECT_EQ(textOf(stored.cvv), QStringLiteral("***"));
    EXPECT_FALSE(enabled(stored.number) || enabled(stored.expiry) || enabled(stored.cvv));
    ASSERT_TRUE(enabled(stored.proceed));
    tap(*stored.window, stored.proceed);
    ASSERT_TRUE(stored.reports->waitForReport());
    ASSERT_EQ(stored.reports->cardAccepted.size(), 1u);
    EXPECT_EQ(stored.reports->cardAccepted.front().Ds_Response, "0000");
}

// Each way the screen can end, then the screen let go of: one report, and nothing left drawn.
TEST_F(QuickCardScreen, EachWayTheScreenEndsGivesExactlyOneReport) {
    const QString card = QString::fromLatin1(sandbox::kAcceptedCard.data(), 16);
    const struct {
        std::string order;
        double amount;
        std::function<void(Shown&)> end;
        std::string told;
    } ways[] = {
        {"QK-C0006", 19.99, [](Shown& shown) { tap(*shown.window, shown.cancel); },
         "KO 78 Operación cancelada por el usuario."},
        {"QK-C0007", 19.99, [](Shown& shown) { press(*shown.window, Qt::Key_Escape); },
         "KO 78 Operación cancelada por el usuario."},
        {"QK-C0008", -0.01, [](Shown&) {},
         "KO 5548 El importe tiene que ser igual o mayor de 0,00"},
        {"QK-C0009-FAULT_CLOSE", 19.99,
         [&](Shown& shown) {
             typeValidCard(shown, card);
             tap(*shown.window, shown.proceed);
         },
         "KO 5550 Error de conexión."},
        {"QK-C0010", 19.99, [](Shown& shown) { shown.screen.reset(); }, "closed 0"},
        // The application lets go of the screen inside its outcome.
        {"QK-C0011", 19.99,
         [&](Shown& shown) {
             shown.reports->onReport = [&shown] { shown.screen.reset(); };
             typeValidCard(shown, card);
             tap(*shown.window, shown.proceed);
         },
         "OK 0"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.order);
        gateway().clearRequests();
        auto shown = show(way.order, "REQUIRED", way.amount);
        ASSERT_TRUE(shown.complete());
        way.end(shown);
        ASSERT_TRUE(shown.reports->waitForReport());
        EXPECT_TRUE(shown.shown.root->property("closed").toBool() || !shown.screen);
        shown.screen.reset();
        EXPECT_EQ(shown.reports->told, std::vector<std::string>{way.told});
        const QQuickItem* drawing = itemNamed(shown.shown.root, QStringLiteral("drawing"));
        ASSERT_TRUE(drawing);
        EXPECT_FALSE(drawing->property("attached").toBool()) << "the screen is still drawn";
        EXPECT_TRUE(textOf(shown.number).isEmpty());
        if (way.amount < 0) {
            EXPECT_TRUE(gateway().requests().empty()) << "nothing went to the gateway";
        }
    }
}

// While the payment is on its way the screen is busy and cannot be left: it reports the
// outcome, or, let go of meanwhile, that the cardholder may have paid, and nothing after that.
TEST_F(QuickCardScreen, WhileThePaymentIsOnItsWayTheScreenIsBusyAndCannotBeLeft) {
    const auto road = std::make_shared<HeldRoad>(directPaymentService());
    setDirectPaymentService(road);
    for (const bool letGoOf : {false, true}) {
        SCOPED_TRACE(letGoOf ? "let go of" : "kept");
        auto shown = show(letGoOf ? "QK-C0012" : "QK-C0013");
        ASSERT_TRUE(shown.complete());
        typeValidCard(shown, QString::fromLatin1(sandbox::kAcceptedCard.data(), 16));
        tap(*shown.window, shown.proceed);
        ASSERT_TRUE(road->holding());
        const QQuickItem* busy = itemNamed(shown.shown.root, QStringLiteral("busyIndicator"));
        ASSERT_TRUE(busy);
        EXPECT_TRUE(busy->isVisible());
        press(*shown.window, Qt::Key_Escape);
        tap(*shown.window, shown.cancel);
        EXPECT_FALSE(shown.shown.root->property("closed").toBool()) << "left mid-payment";
        EXPECT_FALSE(enabled(shown.proceed) || enabled(shown.cancel));
        EXPECT_EQ(shown.reports->count(), 0u);
        if (letGoOf) {
            shown.screen.reset();
        }
        const int answered = road->handedOn.count;
        road->letGo();
        ASSERT_TRUE(testing::waitUntil(&road->handedOn, &testing::Notice::told, [&] {
            return road->handedOn.count > answered;
        })) << "the gateway never answered";
        EXPECT_EQ(shown.reports->told, std::vector<std::string>{letGoOf ? "closed 1" : "OK 0"});
    }
}

// Nothing the merchant sets is cut: every text half as long again as the default, in a large
// font, at the smallest size the screen allows, wraps or scrolls into view; every target stays
// touch-sized; and colours the merchant chose too close to the background are made readable.
// For screens in public view the security code shows as dots; and the library's own texts, not
// the merchant's, follow the language the application chose.
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
    ASSERT_TRUE(fadedIn(shown));
    tap(*shown.window, shown.cvv);
    type(*shown.window, QStringLiteral("123"));
    EXPECT_EQ(textOf(shown.cvv), QStringLiteral("123"));
    const QString drawn = shown.cvv->property("displayText").toString();
    EXPECT_EQ(drawn.size(), 3);
    EXPECT_FALSE(drawn.contains(QLatin1Char('1')) || drawn.contains(QLatin1Char('2')))
        << "the security code shows as typed";

    const QQuickItem* drawing = itemNamed(shown.shown.root, QStringLiteral("drawing"));
    ASSERT_TRUE(drawing);
    EXPECT_EQ(drawing->property("continueTitle").toString(), QStringLiteral("Continue"));
    EXPECT_EQ(drawing->property("cancelTitle").toString(), QStringLiteral("Volver a la tienda"))
        << "a text the merchant set is shown as set";
    EXPECT_EQ(drawing->property("texts").toMap().value(QStringLiteral("expiryPlaceholder")),
              QStringLiteral("MM/YY"));
}

TEST_F(QuickCardScreen, LongTextsALargeFontAndADarkAppearanceStayWholeAndReadable) {
    const auto defaults = DirectPaymentViewController::create("QK-C0014", 1.0, "Libro",
                                                              TransactionType::normal, "", nullptr);
    defaults->loadViewIfNeeded();
    const auto& model = *defaults->viewModel();
    const auto large = platform::ui::Font::systemFont(30, platform::ui::FontWeight::semibold);
    const platform::ui::Color ink{0.1, 0.1, 0.12, 1.0};
    auto look = std::make_shared<VantInAppUIConfig>();
    look->setCancelButtonText(longer(model.cancelButton().title))
        .setContinueButtonText(longer(model.continueButton().title))
        .setNumberCardLabel(
            PaymentUILabel::create(longer(model.appearance().numberCaption.text), ink, large))
        .setExpireDateLabel(
            PaymentUILabel::create(longer(model.appearance().expiryCaption.text), ink, large))
        .setCVVLabel(
            PaymentUILabel::create(longer(model.appearance().securityCodeCaption.text), ink, large))
        .setInfoPaymentLabel(
            PaymentUILabel::create(longer(model.appearance().infoCaption.text.empty()
                                              ? std::string("Pago seguro con tarjeta")
                                              : model.appearance().infoCaption.text),
                                   ink, large));
    // The smallest size the screen allows.
    const QSize smallest = [&] {
        auto probe = show("QK-C0015");
        return probe.shown.root->property("minimumSize").toSizeF().toSize();
    }();
    ASSERT_TRUE(smallest.isValid());

    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        if (dark) {
            // The merchant's dark background, with its captions in its own, too dark, ink.
            look->setBackgorundViewColor({0.06, 0.09, 0.16, 1.0});
        }
        auto shown = show(dark ? "QK-C0016" : "QK-C0017", "REQUIRED", 19.99, look, smallest.width(),
                          smallest.height());
        ASSERT_TRUE(shown.complete());
        ASSERT_TRUE(fadedIn(shown));
        // Typed from the keyboard: each field that takes it scrolls into view.
        tap(*shown.window, shown.number);
        type(*shown.window, QString::fromLatin1(sandbox::kAcceptedCard.data(), 16));
        press(*shown.window, Qt::Key_Return);
        type(*shown.window, futureExpiryDigits());
        press(*shown.window, Qt::Key_Tab);
        type(*shown.window, QStringLiteral("123"));
        const QRectF field = shown.cvv->parentItem()->mapRectToScene(
            QRectF(0, 0, shown.cvv->parentItem()->width(), shown.cvv->parentItem()->height()));
        EXPECT_TRUE(QRectF(0, 0, shown.window->width(), shown.window->height()).contains(field))
            << "the field with the keyboard is out of sight";
        EXPECT_TRUE(enabled(shown.proceed));
        QStringList cut;
        collectCut(shown.shown.root, shown.window->width(), cut);
        EXPECT_TRUE(cut.isEmpty()) << cut.join(QStringLiteral(" | ")).toStdString();
        for (const QQuickItem* target : {shown.proceed, shown.cancel, shown.number->parentItem(),
                                         shown.expiry->parentItem(), shown.cvv->parentItem()}) {
            EXPECT_GE(target->height(), 48.0) << target->objectName().toStdString();
            EXPECT_GE(target->width(), 48.0) << target->objectName().toStdString();
            const QRectF place = target->mapRectToScene(QRectF(0, 0, target->width(), 0));
            EXPECT_TRUE(place.left() >= 0 && place.right() <= shown.window->width())
                << target->objectName().toStdString() << " runs out of the screen";
        }

        // Captions, titles and the focus frame against the background.
        const QQuickItem* drawing = itemNamed(shown.shown.root, QStringLiteral("drawing"));
        ASSERT_TRUE(drawing);
        const QColor background = drawing->property("backgroundColor").value<QColor>();
        for (const char* caption :
             {"infoCaption", "numberCaption", "expiryCaption", "securityCodeCaption"}) {
            const QColor shownColor =
                drawing->property(caption).toMap().value(QStringLiteral("color")).value<QColor>();
            EXPECT_GE(contrast(shownColor, background), 4.5) << caption;
        }
        for (const char* colour : {"barColor", "barDisabledColor", "focusColor"}) {
            EXPECT_GE(contrast(drawing->property(colour).value<QColor>(), background), 4.5)
                << colour;
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
