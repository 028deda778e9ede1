// The example kiosk, its sale and its QML as the kiosk shows them, against the sandbox gateway
// on loopback with a payment journal of its own: it pays on either screen, shows the result, and
// makes no sale while a payment left in doubt has not been reviewed.
#include <QPointer>
#include <QQuickView>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "Kiosk.h"
#include "QuickTest.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/sandbox/TestCards.h"

namespace vanto {
namespace {

using testing::itemNamed;
using testing::tap;
using testing::type;

class ExampleKiosk : public testing::QuickTest {};
// Its own process, with the on-screen keyboard as the input method (QT_IM_MODULE), as the kiosk
// program asks for it.
class ExampleKioskKeyboard : public testing::QuickTest {};

// Whether `item` lies whole inside its window.
bool insideWindow(const QQuickItem* item) {
    const QRectF place = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    return QRectF(0, 0, item->window()->width(), item->window()->height()).contains(place);
}

// The visible key of the on-screen keyboard `panel` that types `key`; null when none shows.
QQuickItem* keyOf(QQuickItem* item, int key) {
    if (item->isVisible() && item->width() > 0 && item->property("key").toInt() == key &&
        item->property("enabled").toBool()) {
        return item;
    }
    for (QQuickItem* child : item->childItems()) {
        if (QQuickItem* found = child->isVisible() ? keyOf(child, key) : nullptr) {
            return found;
        }
    }
    return nullptr;
}

TEST_F(ExampleKiosk, PaysOnEitherScreenAndReviewsWhatIsInDoubtBeforeTheNextSale) {
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    auto journal =
        PaymentJournal::open(folder.filePath(QStringLiteral("kiosco.sqlite")).toStdString());
    PaymentJournal::install(journal);
    kiosk::Kiosk sale(journal);
    auto shown = show("import QtQuick\nimport \"qrc:/kiosk\"\nKiosk {}\n",
                      {{QStringLiteral("kiosk"), QVariant::fromValue<QObject*>(&sale)}}, 800, 600);
    ASSERT_TRUE(shown.root);
    QQuickWindow& window = *shown.window;
    const auto stageIs = [&](const char* stage) {
        return testing::waitUntil(
            &sale, &kiosk::Kiosk::changed, [&] { return sale.stage() == QLatin1String(stage); },
            testing::kPageBound);
    };
    const auto item = [&](const char* name) {
        return itemNamed(shown.root, QString::fromLatin1(name));
    };
    ASSERT_TRUE(sale.canSell());
    EXPECT_EQ(sale.order(), QStringLiteral("KIOSCO0001"));

    // On the card-entry screen, typed key by key.
    const auto payOnCardScreen = [&] {
        tap(window, item("payByCardButton"));
        ASSERT_TRUE(stageIs("card"));
        QQuickItem* number = item("numberInput");
        ASSERT_TRUE(number);
        // The screen has appeared once it has faded in.
        ASSERT_TRUE(testing::fadedIn(item("cardEntryScreen"), number));
        tap(window, number);
        type(window, QString::fromLatin1(sandbox::kAcceptedCard.data(), 16));
        tap(window, item("expiryInput"));
        type(window, futureExpiryDigits());
        tap(window, item("securityCodeInput"));
        type(window, QStringLiteral("123"));
        testing::press(window, Qt::Key_Return);
        ASSERT_TRUE(stageIs("result"));
    };
    payOnCardScreen();
    EXPECT_EQ(sale.verdict(), QStringLiteral("Pago aceptado"));
    EXPECT_TRUE(sale.detail().startsWith(QStringLiteral("Autorización ")));
    ASSERT_TRUE(testing::waitUntil(&sale, &kiosk::Kiosk::changed, [&] { return !sale.screen(); }))
        << "the kiosk kept the screen";
    // Its item goes at a later turn of the event loop (deleted later, as Qt deletes items). A
    // nested event loop runs only the deletions asked for deeper than itself, and the test's
    // waits are nested loops: deletions asked for at their level are run here, as the
    // application's own loop would run them.
    const QPointer<QQuickItem> drawn = item("cardEntryScreen");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return drawn.isNull();
        },
        testing::kStepBound))
        << "the screen is still drawn";
    tap(window, item("newSaleButton"));
    ASSERT_TRUE(stageIs("order"));
    EXPECT_EQ(sale.order(), QStringLiteral("KIOSCO0002"));

    // The gateway drops the connection of the next one: in doubt, also for a kiosk opened
    // again, and no sale before it has been reviewed with a note.
    gateway().setFault("KIOSCO0002", sandbox::Fault::closeConnection());
    payOnCardScreen();
    EXPECT_EQ(sale.verdict(), QStringLiteral("Pago en duda"));
    tap(window, item("newSaleButton"));
    ASSERT_TRUE(stageIs("order"));
    ASSERT_EQ(sale.unresolved().size(), 1);
    EXPECT_TRUE(sale.unresolved().front().startsWith(QStringLiteral("KIOSCO0002 — en duda")));
    EXPECT_EQ(kiosk::Kiosk(journal).unresolved(), sale.unresolved());
    EXPECT_FALSE(item("payOnPageButton")->isEnabled()) << "a sale before the review";
    EXPECT_FALSE(item("reviewedButton")->isEnabled()) << "a review without a note";
    tap(window, item("reviewNote"));
    type(window, QStringLiteral("sin cargo"));
    tap(window, item("reviewedButton"));
    EXPECT_TRUE(sale.unresolved().isEmpty());
    ASSERT_TRUE(item("payOnPageButton")->isEnabled());
    EXPECT_EQ(sale.order(), QStringLiteral("KIOSCO0003"));

    // Paid on the page this time.
    tap(window, item("payOnPageButton"));
    ASSERT_TRUE(stageIs("page"));
    payOnPage(item("paymentWebView"), sandbox::kAcceptedCard);
    ASSERT_TRUE(stageIs("result"));
    EXPECT_EQ(sale.verdict(), QStringLiteral("Pago aceptado"));
    saveScreenshot(window, QStringLiteral("quick-kiosk-result"));
    ASSERT_TRUE(testing::waitUntil(&sale, &kiosk::Kiosk::changed, [&] { return !sale.screen(); }));
    PaymentJournal::install(nullptr);
}

// Without a window manager, as a kiosk often runs, the kiosk fills what its screen leaves to
// windows.
TEST_F(ExampleKiosk, FillsItsScreenWithoutAWindowManager) {
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    kiosk::Kiosk sale(
        PaymentJournal::open(folder.filePath(QStringLiteral("kiosco.sqlite")).toStdString()));
    QQuickView view(&engine(), nullptr);
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.setInitialProperties({{QStringLiteral("kiosk"), QVariant::fromValue<QObject*>(&sale)}});
    view.setSource(QUrl(QStringLiteral("qrc:/kiosk/Kiosk.qml")));
    ASSERT_EQ(view.status(), QQuickView::Ready);
    kiosk::showFillingScreen(view);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.geometry(), view.screen()->availableGeometry());
    EXPECT_EQ(view.rootObject()->size(), view.size());
}

// Typed on the keyboard that rises under each field, a card pays (the gateway drops the
// connection: in doubt); the note of its review then lies wholly above the keyboard.
TEST_F(ExampleKioskKeyboard, ACardTypedOnTheOnScreenKeyboardPays) {
    ASSERT_EQ(qgetenv("QT_IM_MODULE"), QByteArrayLiteral("qtvirtualkeyboard"));
    gateway().setFault("KIOSCO0001", sandbox::Fault::closeConnection());
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    auto journal =
        PaymentJournal::open(folder.filePath(QStringLiteral("kiosco.sqlite")).toStdString());
    PaymentJournal::install(journal);
    kiosk::Kiosk sale(journal);
    auto shown = show("import QtQuick\nimport \"qrc:/kiosk\"\nKiosk {}\n",
                      {{QStringLiteral("kiosk"), QVariant::fromValue<QObject*>(&sale)}}, 800, 480);
    ASSERT_TRUE(shown.root);
    QQuickWindow& window = *shown.window;
    const auto item = [&](const char* name) {
        return itemNamed(shown.root, QString::fromLatin1(name));
    };
    QQuickItem* keyboard = item("keyboard");
    ASSERT_TRUE(keyboard);
    EXPECT_TRUE(insideWindow(item("payByCardButton")) && insideWindow(item("payOnPageButton")))
        << "a pay button off a small screen";
    tap(window, item("payByCardButton"));
    ASSERT_TRUE(testing::waitUntil(&sale, &kiosk::Kiosk::changed,
                                   [&] { return sale.stage() == QLatin1String("card"); }));
    ASSERT_TRUE(testing::fadedIn(item("cardEntryScreen"), item("numberInput")));
    // Each field is tapped, and its digits are tapped on the keyboard that rises under it.
    const auto typeOnKeyboard = [&](const char* field, const QString& digits) {
        tap(window, item(field));
        ASSERT_TRUE(testing::waitForProperty(keyboard, "active",
                                             [&] { return keyboard->property("active").toBool(); }))
            << "no keyboard for " << field;
        for (const QChar digit : digits) {
            QQuickItem* key = keyOf(keyboard, Qt::Key_0 + digit.digitValue());
            ASSERT_TRUE(key) << "no key " << digit.toLatin1();
            tap(window, key);
        }
    };
    typeOnKeyboard("numberInput", QString::fromLatin1(sandbox::kAcceptedCard.data(), 16));
    EXPECT_EQ(item("numberInput")->property("text").toString(),
              QStringLiteral("4000 0000 0000 0002"));
    typeOnKeyboard("expiryInput", futureExpiryDigits());
    typeOnKeyboard("securityCodeInput", QStringLiteral("123"));
    saveScreenshot(window, QStringLiteral("quick-kiosk-keyboard"));
    tap(window, item("continueButton"));
    ASSERT_TRUE(testing::waitUntil(
        &sale, &kiosk::Kiosk::changed, [&] { return sale.stage() == QLatin1String("result"); },
        testing::kPageBound));
    EXPECT_EQ(sale.verdict(), QStringLiteral("Pago en duda"));
    QSignalSpy drawn(&window, &QQuickWindow::frameSwapped);
    tap(window, item("newSaleButton"));
    QQuickItem* note = item("reviewNote");
    ASSERT_TRUE(note && note->isVisible());
    // Tapped where it is drawn.
    ASSERT_TRUE(drawn.wait(testing::kStepBound));
    tap(window, note);
    ASSERT_TRUE(testing::waitForProperty(keyboard, "active",
                                         [&] { return keyboard->property("active").toBool(); }));
    EXPECT_TRUE(note->hasActiveFocus());
    // Scrolled into view once laid out with the keyboard up.
    const auto aboveKeyboard = [&] {
        const QRectF place = note->mapRectToScene(QRectF(0, 0, note->width(), note->height()));
        return place.top() >= 0 && place.bottom() <= keyboard->mapToScene(QPointF(0, 0)).y();
    };
    EXPECT_TRUE(testing::waitForProperty(item("orderStage"), "contentY", aboveKeyboard))
        << "the note being typed is under the keyboard";
    PaymentJournal::install(nullptr);
}

}  // namespace
}  // namespace vanto
