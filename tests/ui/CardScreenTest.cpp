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
#include <QInputMethodEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTest>

#include "UiTest.h"
#include "base/Contrast.h"
#include "vanto/config/PaymentUILabel.h"
#include "vanto/config/VantInAppUIConfig.h"
#include "vanto/direct/DirectPaymentService.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/sandbox/TestCards.h"
#include "widgets/Widgets.h"

namespace vanto {
namespace {

using testing::buttonTitled;
using testing::fieldNamed;

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

// Waits until `widget` has faded in: the screen was told it appeared, and its fade has ended,
// which switches the opacity effect off.
bool fadesIn(const QWidget* widget) {
    const auto* effect = qobject_cast<const QGraphicsOpacityEffect*>(widget->graphicsEffect());
    return effect == nullptr || testing::waitUntil(
                                    effect, &QGraphicsEffect::enabledChanged,
                                    [effect] { return !effect->isEnabled(); }, testing::kStepBound);
}

// What another program on the display reads from `selection` ("clipboard" or "primary"), through
// xclip; the test's own event loop answers it meanwhile.
std::string readByAnotherProgram(const QString& selection) {
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-o"), QStringLiteral("-selection"), selection});
    EXPECT_TRUE(xclip.waitForStarted(testing::kStepBound))
        << "xclip did not start (scripts/install-deps installs it)";
    EXPECT_TRUE(testing::waitUntil(
        &xclip, &QProcess::finished, [&] { return xclip.state() == QProcess::NotRunning; },
        testing::kStepBound))
        << "xclip did not answer";
    return xclip.readAllStandardOutput().toStdString();
}

// The greatest contrast of any pixel of `widget` as drawn with the colour `behind` it: its text's
// colour, where its text is drawn.
double drawnContrast(QWidget& widget, const QColor& behind) {
    const QImage drawn = widget.grab().toImage();
    double most = 1;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            most = std::max(most, qt::detail::contrastRatio(drawn.pixelColor(x, y), behind));
        }
    }
    return most;
}

// Whether `text`, word-wrapped in `metrics`, fits `area` whole: its longest word across, all its
// lines down.
bool fitsWrapped(const QFontMetrics& metrics, const QString& text, const QRect& area) {
    int widest = 0;
    for (const QString& word :
         text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        widest = std::max(widest, metrics.horizontalAdvance(word));
    }
    const QRect needed =
        metrics.boundingRect(QRect(0, 0, area.width(), 1 << 20), Qt::TextWordWrap, text);
    return widest <= area.width() && needed.height() <= area.height();
}

// An image as the bytes of a PNG file.
std::string pngOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
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
                    ++answered;
                    handedOn.notify();
                },
                [this, failure](SDKError error) {
                    failure(std::move(error));
                    ++answered;
                    handedOn.notify();
                });
        };
    }
    bool holding() const { return static_cast<bool>(held_); }
    void letGo() { std::exchange(held_, nullptr)(); }

    int answered = 0;
    testing::Changes handedOn;

  private:
    std::shared_ptr<DirectPaymentService> road_;
    std::function<void()> held_;
};

class CardScreen : public testing::UiTest {
  protected:
    struct Shown {
        std::shared_ptr<DirectPaymentViewController> screen;
        std::shared_ptr<testing::CardOutcomes> outcomes;
        QWidget* window = nullptr;
        QLineEdit* number = nullptr;
        QLineEdit* expiry = nullptr;
        QLineEdit* cvv = nullptr;
        QPushButton* proceed = nullptr;
        QPushButton* cancel = nullptr;
    };

    static Shown show(std::string order, std::string identifier = "REQUIRED", double amount = 19.99,
                      std::shared_ptr<const VantInAppUIConfig> look = nullptr,
                      bool waitUntilExposed = true) {
        Shown shown;
        shown.screen = DirectPaymentViewController::create(std::move(order), amount, "Libro",
                                                           TransactionType::normal,
                                                           std::move(identifier), look);
        shown.outcomes = std::make_shared<testing::CardOutcomes>();
        shown.screen->setDelegate(shown.outcomes);
        shown.window = qt::present(shown.screen);
        EXPECT_TRUE(shown.window);
        if (!shown.window) {
            return shown;
        }
        // A screen that refuses its payment at once may close before the display shows it.
        if (waitUntilExposed) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(shown.window));
        }
        // The fields go by their captions' texts, as assistive technologies read them.
        const VantInAppUIConfig& shownLook = look ? *look : VantInAppUIConfig();
        const auto named = [&](const std::shared_ptr<PaymentUILabelConfig>& caption) {
            return fieldNamed(*shown.window, QString::fromStdString(caption->text()));
        };
        shown.number = named(shownLook.numberCardLabel());
        shown.expiry = named(shownLook.expireDateLabel());
        shown.cvv = named(shownLook.cvvLabel());
        shown.proceed =
            buttonTitled(*shown.window, QString::fromStdString(shownLook.continueButtonText()));
        shown.cancel =
            buttonTitled(*shown.window, QString::fromStdString(shownLook.cancelButtonText()));
        EXPECT_TRUE(shown.number && shown.expiry && shown.cvv && shown.proceed && shown.cancel);
        return shown;
    }

    static bool complete(const Shown& shown) {
        return shown.number && shown.expiry && shown.cvv && shown.proceed && shown.cancel;
    }

    // Types a valid card, expiry and security code key by key.
    static void typeValidCard(const Shown& shown, const QString& card) {
        QTest::keyClicks(shown.number, card);
        QTest::keyClicks(shown.expiry, futureExpiryDigits());
        QTest::keyClicks(shown.cvv, QStringLiteral("123"));
    }
};

TEST_F(CardScreen, TypedKeyByKeyTheCardShowsInGroupsAndPaysOnceValid) {
    auto shown = show("UI-C0001");
    ASSERT_TRUE(complete(shown));
    ASSERT_TRUE(fadesIn(shown.number)) << "the screen never appeared";
    EXPECT_FALSE(shown.proceed->isEnabled());

    const QString card = QString::fromLatin1(sandbox::kAcceptedCard.data(), 16);
    for (qsizetype typed = 1; typed <= card.size(); ++typed) {
        QTest::keyClick(shown.number, card[typed - 1].toLatin1());
        ASSERT_EQ(shown.number->text(), grouped(card.left(typed))) << "after key " << typed;
    }
    QTest::keyClicks(shown.number, QStringLiteral("000"));
    EXPECT_EQ(shown.number->text(), grouped(card + QStringLiteral("000"))) << "19 digits fit";
    QTest::keyClick(shown.number, '1');
    EXPECT_EQ(shown.number->text(), grouped(card + QStringLiteral("000"))) << "a 20th is refused";
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(shown.number, Qt::Key_Backspace);
    }
    EXPECT_EQ(shown.number->text(), grouped(card));

    // Deleting a separator in the middle changes nothing: the regrouping puts it back.
    shown.number->setCursorPosition(5);
    QTest::keyClick(shown.number, Qt::Key_Backspace);
    EXPECT_EQ(shown.number->text(), grouped(card));
    // Nothing typed can come back through an undo.
    EXPECT_FALSE(shown.number->isUndoAvailable());
    QTest::keyClick(shown.number, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(shown.number->text(), grouped(card));

    const QString expiry = futureExpiryDigits();
    QTest::keyClicks(shown.expiry, expiry);
    EXPECT_EQ(shown.expiry->text(), expiry.left(2) + QLatin1Char('/') + expiry.mid(2));
    EXPECT_FALSE(shown.proceed->isEnabled());
    QTest::keyClicks(shown.cvv, QStringLiteral("123"));
    EXPECT_TRUE(shown.proceed->isEnabled());
    QTest::keyClick(shown.cvv, '4');
    QTest::keyClick(shown.cvv, '5');
    EXPECT_EQ(shown.cvv->text(), QStringLiteral("1234")) << "a fifth character is refused";
    saveScreenshot(*shown.window, QStringLiteral("card-screen-default"));

    // Shares the field's own storage, which must be overwritten before it is let go.
    const QString typedNumber = shown.number->text();
    QTest::mouseClick(shown.proceed, Qt::LeftButton);
    EXPECT_FALSE(shown.cancel->isEnabled());
    EXPECT_FALSE(shown.number->isEnabled());
    ASSERT_TRUE(shown.outcomes->waitForReport()) << "no outcome";
    ASSERT_EQ(shown.outcomes->accepted.size(), 1u);
    EXPECT_EQ(shown.outcomes->refused.size(), 0u);
    const auto& accepted = shown.outcomes->accepted.front();
    EXPECT_EQ(accepted.Ds_Response, "0000");
    EXPECT_EQ(accepted.Ds_ExpiryDate, (expiry.mid(2) + expiry.left(2)).toStdString())
        << "the expiry goes as year then month";
    EXPECT_FALSE(shown.window->isVisible()) << "the screen stayed";
    EXPECT_TRUE(shown.number->text().isEmpty() && shown.expiry->text().isEmpty() &&
                shown.cvv->text().isEmpty())
        << "the card data stayed in the fields";
    EXPECT_EQ(typedNumber, QString(typedNumber.size(), QChar(0))) << "the card number lingers";
    shown.screen.reset();
    EXPECT_EQ(shown.outcomes->count(), 1u) << "an outcome, then nothing more";
}

TEST_F(CardScreen, PastingDeletingAndAnInputMethodGoThroughTheSameRules) {
    auto shown = show("UI-C0002");
    ASSERT_TRUE(complete(shown));
    typeValidCard(shown, QString::fromLatin1(sandbox::kAcceptedCard.data(), 16));
    ASSERT_TRUE(shown.proceed->isEnabled());

    // Pasted whole, the expiry is checked before it is regrouped, and does not parse.
    shown.expiry->selectAll();
    QTest::keyClick(shown.expiry, Qt::Key_Delete);
    EXPECT_TRUE(shown.expiry->text().isEmpty());
    QApplication::clipboard()->setText(QStringLiteral("1226"));
    QTest::keyClick(shown.expiry, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(shown.expiry->text(), QStringLiteral("12/26"));
    EXPECT_FALSE(shown.proceed->isEnabled());

    // The context menu's paste, over a selection, goes through the same rule.
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

    // Typing over a selection replaces it.
    shown.expiry->selectAll();
    QTest::keyClicks(shown.expiry, futureExpiryDigits());
    EXPECT_EQ(shown.expiry->text().size(), 5);
    EXPECT_TRUE(shown.proceed->isEnabled());

    // Deleting to the end of the line (Ctrl+K) takes nothing to the clipboard either.
    shown.cvv->home(false);
    QTest::keyClick(shown.cvv, Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(shown.cvv->text().isEmpty());
    EXPECT_FALSE(shown.proceed->isEnabled());

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("987"));
    QApplication::sendEvent(shown.cvv, &commit);
    EXPECT_EQ(shown.cvv->text(), QStringLiteral("987"));
    EXPECT_TRUE(shown.proceed->isEnabled());
    QInputMethodEvent correction;
    correction.setCommitString(QStringLiteral("5"), -1, 1);  // replaces the character before
    QApplication::sendEvent(shown.cvv, &correction);
    EXPECT_EQ(shown.cvv->text(), QStringLiteral("985"));
    // A character outside the Basic Multilingual Plane is two UTF-16 units, deleted as one.
    QApplication::clipboard()->setText(QStringLiteral("\U0001F600"));
    QTest::keyClick(shown.cvv, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(shown.cvv->text(), QStringLiteral("985\U0001F600"));
    QTest::keyClick(shown.cvv, Qt::Key_Backspace);
    EXPECT_EQ(shown.cvv->text(), QStringLiteral("985"));

    // A paste that would make the number too long is refused whole.
    QApplication::clipboard()->setText(QStringLiteral("00000000"));
    shown.number->end(false);
    QTest::keyClick(shown.number, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(shown.number->text(),
              grouped(QString::fromLatin1(sandbox::kAcceptedCard.data(), 16)));
    QApplication::clipboard()->clear();
}

// Copying, cutting, selecting with keys and the mouse, dragging and the context menu: another
// program on the display reads no card digit from the clipboard or the primary selection, while
// the screen is open and after it was cancelled. Input methods are told the text is sensitive.
TEST_F(CardScreen, NoCardDigitReachesTheClipboardOrThePrimarySelection) {
    const std::string untouched = "the application's own text";
    QApplication::clipboard()->setText(QString::fromStdString(untouched), QClipboard::Clipboard);
    QApplication::clipboard()->setText(QString::fromStdString(untouched), QClipboard::Selection);
    auto shown = show("UI-C0014");
    ASSERT_TRUE(complete(shown));
    ASSERT_TRUE(fadesIn(shown.number));
    typeValidCard(shown, QString::fromLatin1(sandbox::kAcceptedCard.data(), 16));
    const auto noCardDigit = [&](const char* after) {
        for (const QString& selection : {QStringLiteral("clipboard"), QStringLiteral("primary")}) {
            EXPECT_EQ(readByAnotherProgram(selection), untouched)
                << selection.toStdString() << " after " << after;
        }
    };

    for (QLineEdit* field : {shown.number, shown.expiry, shown.cvv}) {
        SCOPED_TRACE(field->accessibleName().toStdString());
        const QString typed = field->text();
        const Qt::InputMethodHints hints(field->inputMethodQuery(Qt::ImHints).toInt());
        EXPECT_TRUE(hints.testFlags(Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                                    Qt::ImhNoAutoUppercase));
        for (const auto query : {Qt::ImSurroundingText, Qt::ImCurrentSelection,
                                 Qt::ImTextBeforeCursor, Qt::ImTextAfterCursor}) {
            EXPECT_TRUE(field->inputMethodQuery(query).toString().isEmpty())
                << "an input method was handed the text, query " << query;
        }
        QAccessibleInterface* readBack = QAccessible::queryAccessibleInterface(field);
        ASSERT_TRUE(readBack);
        EXPECT_EQ(readBack->text(QAccessible::Value), typed) << "what a screen reader reads back";

        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Insert, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Delete, Qt::ShiftModifier);
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(field->text(), typed) << "cut or undo changed the field";
        QTest::keyClick(field, Qt::Key_Home);
        QTest::keyClick(field, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(field, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClick(field, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_TRUE(field->hasSelectedText()) << "selecting by keys still works";
        QTest::keyClick(field, Qt::Key_Up, Qt::ControlModifier);
        noCardDigit("keys");

        // Selected with the mouse (a drag across it, a double and a triple click), then pulled
        // from inside the selection as a drag would start.
        const int middle = field->height() / 2;
        QTest::mousePress(field, Qt::LeftButton, {}, QPoint(4, middle));
        QTest::mouseMove(field, QPoint(field->width() - 4, middle));
        QTest::mouseRelease(field, Qt::LeftButton, {}, QPoint(field->width() - 4, middle));
        EXPECT_TRUE(field->hasSelectedText()) << "selecting with the mouse still works";
        QTest::mouseDClick(field, Qt::LeftButton, {}, QPoint(field->width() / 4, middle));
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() / 4, middle));
        QTest::mousePress(field, Qt::LeftButton, {}, QPoint(field->width() / 4, middle));
        QTest::mouseMove(field, QPoint(field->width() / 4, middle + 40));
        QTest::mouseRelease(field, Qt::LeftButton, {}, QPoint(field->width() / 4, middle + 40));
        noCardDigit("the mouse");

        field->selectAll();
        QContextMenuEvent opened(QContextMenuEvent::Keyboard, QPoint(4, middle),
                                 field->mapToGlobal(QPoint(4, middle)));
        QApplication::sendEvent(field, &opened);
        auto* menu = field->findChild<QMenu*>();
        ASSERT_TRUE(menu) << "no context menu";
        // Whatever the menu offers, deleting aside.
        for (QAction* action : menu->actions()) {
            if (action->isEnabled() && action->objectName() != QStringLiteral("edit-delete")) {
                action->trigger();
            }
        }
        menu->close();
        noCardDigit("the context menu");
        EXPECT_EQ(field->text(), typed);
    }

    QTest::mouseClick(shown.cancel, Qt::LeftButton);
    ASSERT_TRUE(shown.outcomes->waitForReport());
    noCardDigit("the screen was cancelled");
    QApplication::clipboard()->clear(QClipboard::Clipboard);
    QApplication::clipboard()->clear(QClipboard::Selection);
}

TEST_F(CardScreen, AStoredCardShowsTheMasksAndPaysWithItsReference) {
    auto first = show("UI-C0003");
    ASSERT_TRUE(complete(first));
    typeValidCard(first, QString::fromLatin1(sandbox::kReferenceCard.data(), 16));
    QTest::mouseClick(first.proceed, Qt::LeftButton);
    ASSERT_TRUE(first.outcomes->waitForReport());
    ASSERT_EQ(first.outcomes->accepted.size(), 1u);
    const std::string reference = first.outcomes->accepted.front().Ds_Merchant_Identifier;
    ASSERT_FALSE(reference.empty());

    auto stored = show("UI-C0004", reference);
    ASSERT_TRUE(complete(stored));
    EXPECT_EQ(stored.number->text(), QStringLiteral("**** **** **** ****"));
    EXPECT_EQ(stored.expiry->text(), QStringLiteral("**/**"));
    EXPECT_EQ(stored.cvv->text(), QStringLiteral("***"));
    EXPECT_FALSE(stored.number->isEnabled() || stored.expiry->isEnabled() ||
                 stored.cvv->isEnabled());
    ASSERT_TRUE(stored.proceed->isEnabled());
    QTest::mouseClick(stored.proceed, Qt::LeftButton);
    ASSERT_TRUE(stored.outcomes->waitForReport());
    ASSERT_EQ(stored.outcomes->accepted.size(), 1u);
    EXPECT_EQ(stored.outcomes->accepted.front().Ds_Response, "0000");
}

// Each way the screen can end, then the screen let go of: one report, and the window gone.
TEST_F(CardScreen, EachWayTheScreenEndsGivesExactlyOneReport) {
    const QString card = QString::fromLatin1(sandbox::kAcceptedCard.data(), 16);
    const struct {
        std::string order;
        double amount;
        std::function<void(Shown&)> end;
        std::string told;
    } ways[] = {
        {"UI-C0005", 19.99, [](Shown& shown) { QTest::mouseClick(shown.cancel, Qt::LeftButton); },
         "KO 78 Operación cancelada por el usuario."},
        {"UI-C0006", 19.99, [](Shown& shown) { shown.window->close(); },
         "KO 78 Operación cancelada por el usuario."},
        {"UI-C0007", -0.01, [](Shown&) {},
         "KO 5548 El importe tiene que ser igual o mayor de 0,00"},
        {"UI-C0010-FAULT_CLOSE", 19.99,
         [&](Shown& shown) {
             typeValidCard(shown, card);
             QTest::mouseClick(shown.proceed, Qt::LeftButton);
         },
         "KO 5550 Error de conexión."},
        {"UI-C0011", 19.99, [](Shown& shown) { shown.screen.reset(); }, "closed 0"},
        // The application lets go of the screen inside its outcome.
        {"UI-C0013", 19.99,
         [&](Shown& shown) {
             shown.outcomes->onReport = [&shown] { shown.screen.reset(); };
             typeValidCard(shown, card);
             QTest::mouseClick(shown.proceed, Qt::LeftButton);
         },
         "OK 0"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.order);
        gateway().clearRequests();
        auto shown = show(way.order, "REQUIRED", way.amount, nullptr, way.amount >= 0);
        ASSERT_TRUE(shown.window);
        const QPointer<QWidget> window = shown.window;
        way.end(shown);
        ASSERT_TRUE(shown.outcomes->waitForReport());
        EXPECT_FALSE(window && window->isVisible());
        shown.screen.reset();
        EXPECT_EQ(shown.outcomes->told, std::vector<std::string>{way.told});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(window) << "the window outlived its screen";
        if (way.amount < 0) {
            EXPECT_TRUE(gateway().requests().empty()) << "nothing went to the gateway";
        }
    }
}

// While the payment is on its way the screen is busy and cannot be closed: it reports the
// outcome, or, let go of meanwhile, that the cardholder may have paid, and nothing after that.
TEST_F(CardScreen, WhileThePaymentIsOnItsWayTheScreenIsBusyAndCannotBeClosed) {
    const auto road = std::make_shared<HeldRoad>(directPaymentService());
    setDirectPaymentService(road);
    for (const bool letGoOf : {false, true}) {
        SCOPED_TRACE(letGoOf ? "let go of" : "kept");
        auto shown = show(letGoOf ? "UI-C0012" : "UI-C0008");
        ASSERT_TRUE(complete(shown));
        typeValidCard(shown, QString::fromLatin1(sandbox::kAcceptedCard.data(), 16));
        QTest::mouseClick(shown.proceed, Qt::LeftButton);
        ASSERT_TRUE(road->holding());
        QWidget* busy = nullptr;
        for (auto* child : shown.window->findChildren<QWidget*>()) {
            if (child->accessibleName() == QStringLiteral("Procesando")) {
                busy = child;
            }
        }
        ASSERT_TRUE(busy);
        EXPECT_TRUE(busy->isVisible());
        shown.window->close();
        EXPECT_TRUE(shown.window->isVisible()) << "closed in the middle of a payment";
        EXPECT_FALSE(shown.proceed->isEnabled() || shown.cancel->isEnabled());
        EXPECT_EQ(shown.outcomes->count(), 0u);
        if (letGoOf) {
            shown.screen.reset();
        }
        const int answered = road->answered;
        road->letGo();
        ASSERT_TRUE(road->handedOn.waitFor([&] { return road->answered > answered; }))
            << "the gateway never answered";
        EXPECT_EQ(shown.outcomes->told, std::vector<std::string>{letGoOf ? "closed 1" : "OK 0"});
        EXPECT_FALSE(shown.screen && shown.window->isVisible());
    }
}

TEST_F(CardScreen, TheMerchantsAppearanceIsWhatTheScreenShows) {
    QImage backdrop(420, 680, QImage::Format_ARGB32);
    {
        QPainter painter(&backdrop);
        QLinearGradient gradient(0, 0, 0, 680);
        gradient.setColorAt(0, QColor(0xfd, 0xf6, 0xe3));
        gradient.setColorAt(1, QColor(0xf3, 0xd9, 0xa4));
        painter.fillRect(backdrop.rect(), gradient);
    }
    QImage logo(160, 160, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    {
        QPainter painter(&logo);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0x8c, 0x33, 0x0d));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(logo.rect().adjusted(4, 4, -4, -4));
        painter.setPen(QColor(0xfd, 0xf6, 0xe3));
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPixelSize(64);
        painter.setFont(font);
        painter.drawText(logo.rect(), Qt::AlignCenter, QStringLiteral("LE"));
    }
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
    ASSERT_TRUE(complete(shown)) << "captions, field names and button titles are the merchant's";
    EXPECT_EQ(shown.window->palette().color(QPalette::Window),
              QColor::fromRgbF(0.99f, 0.96f, 0.89f));
    const QLabel* numberCaption = nullptr;
    for (const auto* label : shown.window->findChildren<QLabel*>()) {
        if (label->text() == QStringLiteral("Número de la tarjeta")) {
            numberCaption = label;
        }
    }
    ASSERT_TRUE(numberCaption);
    EXPECT_EQ(numberCaption->palette().color(QPalette::WindowText),
              QColor::fromRgbF(0.55f, 0.2f, 0.05f));
    EXPECT_EQ(numberCaption->font().pixelSize(), 18);
    EXPECT_EQ(numberCaption->font().family(), QStringLiteral("DejaVu Serif"));
    ASSERT_TRUE(fadesIn(shown.number));
    QTest::keyClicks(shown.number, QStringLiteral("4000000000000002"));
    QTest::keyClicks(shown.expiry, futureExpiryDigits());
    saveScreenshot(*shown.window, QStringLiteral("card-screen-custom"));
}

// From the keyboard alone: Return goes from field to field and pays from the last one, Escape
// cancels, and the button with the focus wears a ring of two pixels that stands out from the
// background.
TEST_F(CardScreen, TheKeyboardPaysAndCancelsAndShowsWhereItIs) {
    auto paid = show("UI-C0015");
    ASSERT_TRUE(complete(paid));
    ASSERT_TRUE(fadesIn(paid.number));
    paid.number->setFocus();
    QTest::keyClicks(paid.number, QString::fromLatin1(sandbox::kAcceptedCard.data(), 16));
    QTest::keyClick(paid.number, Qt::Key_Return);
    EXPECT_TRUE(paid.expiry->hasFocus()) << "Return went nowhere";
    QTest::keyClicks(paid.expiry, futureExpiryDigits());
    QTest::keyClick(paid.expiry, Qt::Key_Return);
    EXPECT_TRUE(paid.cvv->hasFocus());
    QTest::keyClick(paid.cvv, Qt::Key_Return);
    EXPECT_EQ(paid.outcomes->count(), 0u) << "paid while continue could not be pressed";
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
    ASSERT_TRUE(paid.outcomes->waitForReport()) << "Return on the last field did not pay";
    EXPECT_EQ(paid.outcomes->told, std::vector<std::string>{"OK 0"});

    // Return on continue itself.
    auto byButton = show("UI-C0020");
    ASSERT_TRUE(complete(byButton));
    typeValidCard(byButton, QString::fromLatin1(sandbox::kAcceptedCard.data(), 16));
    byButton.proceed->setFocus(Qt::TabFocusReason);
    QTest::keyClick(byButton.proceed, Qt::Key_Return);
    ASSERT_TRUE(byButton.outcomes->waitForReport()) << "Return on continue did not pay";
    EXPECT_EQ(byButton.outcomes->told, std::vector<std::string>{"OK 0"});

    auto cancelled = show("UI-C0016");
    ASSERT_TRUE(complete(cancelled));
    cancelled.number->setFocus();
    QTest::keyClick(cancelled.window->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(cancelled.outcomes->waitForReport()) << "Escape did not cancel";
    EXPECT_EQ(cancelled.outcomes->told,
              std::vector<std::string>{"KO 78 Operación cancelada por el usuario."});
}

// A kiosk's screen on a dark background: the bar's titles and the captions, whose colours the
// merchant did not set, stay readable (4.5:1), and the security code shows masked as it is typed,
// to the eye and to assistive technologies, while the payment still gets it.
TEST_F(CardScreen, OnADarkBackgroundTheTextsStayReadableAndTheCodeShowsMasked) {
    const QColor navy = QColor::fromRgbF(0.06f, 0.09f, 0.24f);
    auto look = std::make_shared<VantInAppUIConfig>();
    look->setBackgorundViewColor({0.06, 0.09, 0.24, 1.0}).setSecurityCodeMasked(true);
    auto shown = show("UI-C0017", "REQUIRED", 19.99, look);
    ASSERT_TRUE(complete(shown));
    ASSERT_TRUE(fadesIn(shown.number));
    typeValidCard(shown, QString::fromLatin1(sandbox::kAcceptedCard.data(), 16));
    for (QPushButton* button : {shown.cancel, shown.proceed}) {
        EXPECT_GE(drawnContrast(*button, navy), qt::detail::kReadableContrast)
            << button->text().toStdString();
    }
    for (const QLabel* label : shown.window->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            EXPECT_GE(qt::detail::contrastRatio(label->palette().color(QPalette::WindowText), navy),
                      qt::detail::kReadableContrast)
                << label->text().toStdString();
        }
    }

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
    ASSERT_TRUE(shown.outcomes->waitForReport());
    EXPECT_EQ(shown.outcomes->told, std::vector<std::string>{"OK 0"});
}

// Every text of the appearance half as long again as its default, in a large font, in the
// smallest window the screen allows: each caption and bar title shows whole, wrapped where it
// must be, inside the window's width.
TEST_F(CardScreen, NothingTheMerchantSetsIsCutAtTheSmallestWindow) {
    const auto longer = [](const std::string& text) {
        return text + " " + text.substr(0, text.size() / 2);
    };
    const QFont applicationFont = QApplication::font();
    QFont large = applicationFont;
    large.setPixelSize(24);
    QApplication::setFont(large);
    const VantInAppUIConfig defaults;
    const auto captionLike = [&](const std::shared_ptr<PaymentUILabelConfig>& caption,
                                 std::string text) {
        return PaymentUILabel::create(std::move(text), caption->textColor(),
                                      platform::ui::Font::systemFont(24));
    };
    auto look = std::make_shared<VantInAppUIConfig>();
    look->setNumberCardLabel(captionLike(defaults.numberCardLabel(),
                                         longer("Número de la tarjeta de crédito o débito")))
        .setExpireDateLabel(
            captionLike(defaults.expireDateLabel(), longer("Fecha de caducidad (MM/AA)")))
        .setCVVLabel(captionLike(defaults.cvvLabel(), longer("Código de seguridad (CVV2)")))
        .setInfoPaymentLabel(
            captionLike(defaults.infoPaymentLabel(), longer(defaults.infoPaymentLabel()->text())))
        .setContinueButtonText(longer("Pagar 1.234,56 € ahora"))
        .setCancelButtonText(longer(defaults.cancelButtonText()));
    auto shown = show("UI-C0018", "REQUIRED", 1234.56, look);
    QApplication::setFont(applicationFont);
    ASSERT_TRUE(complete(shown));
    ASSERT_TRUE(fadesIn(shown.number));
    shown.window->resize(shown.window->minimumSize());
    QApplication::processEvents();
    // What shows of the screen: the part of it that scrolls, as wide as it is shown.
    const auto* scroll = shown.window->findChild<QScrollArea*>();
    ASSERT_TRUE(scroll);
    const QWidget* viewport = scroll->viewport();
    const auto insideAcross = [viewport](const QWidget& widget) {
        const int left = widget.mapTo(viewport, QPoint(0, 0)).x();
        return left >= 0 && left + widget.width() <= viewport->width();
    };
    for (const QLabel* label : shown.window->findChildren<QLabel*>()) {
        if (label->text().isEmpty()) {
            continue;
        }
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_TRUE(fitsWrapped(label->fontMetrics(), label->text(), label->contentsRect()));
        EXPECT_TRUE(insideAcross(*label));
    }
    for (const auto* button : shown.window->findChildren<qt::detail::BarButton*>()) {
        SCOPED_TRACE(button->text().toStdString());
        EXPECT_TRUE(fitsWrapped(button->fontMetrics(), button->text(), button->titleArea()));
        EXPECT_TRUE(insideAcross(*button));
    }
    for (const QLineEdit* field : {shown.number, shown.expiry, shown.cvv}) {
        EXPECT_TRUE(insideAcross(*field)) << field->accessibleName().toStdString();
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
    auto screen = DirectPaymentViewController::create("UI-C0019", 19.99, "Libro",
                                                      TransactionType::normal, "REQUIRED", look);
    auto outcomes = std::make_shared<testing::CardOutcomes>();
    screen->setDelegate(outcomes);
    QWidget* window = qt::present(screen);
    EXPECT_TRUE(qt::setScreenLanguage(QLocale(QLocale::Spanish, QLocale::Spain)));
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Card payment"));
    EXPECT_TRUE(fieldNamed(*window, QStringLiteral("Card number")));
    EXPECT_TRUE(fieldNamed(*window, QStringLiteral("Expiry date")));
    EXPECT_TRUE(fieldNamed(*window, QStringLiteral("Security code")));
    EXPECT_TRUE(buttonTitled(*window, QStringLiteral("Pagar ahora"))) << "the merchant's title";
    QPushButton* cancel = buttonTitled(*window, QStringLiteral("Cancel"));
    ASSERT_TRUE(cancel);
    saveScreenshot(*window, QStringLiteral("card-screen-english"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(outcomes->waitForReport());
    EXPECT_FALSE(qt::setScreenLanguage(QLocale(QLocale::Japanese))) << "no Japanese translation";
}

}  // namespace
}  // namespace vanto
