// The example merchant application's checkout, paid on both screens as a shopper would, one
// payment at a time, with what its journal holds in doubt shown before the next sale.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "ShopWindow.h"
#include "TempFolder.h"
#include "UiTest.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/flow/BaseViewController.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/sandbox/TestCards.h"

namespace vanto {
namespace {

using testing::buttonTitled;
using testing::fieldNamed;

class ExampleShop : public testing::UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        // Each case sells from a terminal of its own: the shop numbers its orders from its
        // journal, new in each case, and the sandbox pays an order of a terminal once.
        static int terminals = 1;
        auto merchant = sandbox::SandboxGateway::defaultMerchant();
        merchant.terminal = std::to_string(++terminals);
        gateway().addMerchant(merchant);
        VantoConfiguration::shared().setAppTerminal(merchant.terminal);
        journal = PaymentJournal::open(folder.file("tienda.sqlite"));
        PaymentJournal::install(journal);
    }

    // Types a card into the card-entry screen of the payment under way, presses continue and
    // waits until the screen has closed with the payment's outcome.
    static void payOnCardScreen(const shop::ShopWindow& checkout, const QString& number) {
        ASSERT_TRUE(checkout.screen());
        QPointer<QWidget> card = qt::windowOf(*checkout.screen());
        ASSERT_TRUE(card && card->isVisible());
        QTest::keyClicks(fieldNamed(*card, QStringLiteral("N.º de tarjeta")), number);
        QTest::keyClicks(fieldNamed(*card, QStringLiteral("Caducidad")), futureExpiryDigits());
        QTest::keyClicks(fieldNamed(*card, QStringLiteral("Cód. seguridad")),
                         QStringLiteral("123"));
        testing::Changes cardWindow;
        cardWindow.watch(card);
        QObject::connect(card, &QObject::destroyed, &cardWindow, &testing::Changes::notify);
        QTest::mouseClick(buttonTitled(*card, QStringLiteral("Continuar")), Qt::LeftButton);
        ASSERT_TRUE(cardWindow.waitFor([&] { return !card || !card->isVisible(); }))
            << "the card screen never closed with an outcome";
    }

    testing::TempFolder folder;
    std::shared_ptr<PaymentJournal> journal;
};

// One payment at a time: pressing pay again while a payment is under way must not put a second
// screen in its place, where the first would go on at the gateway with no screen left to tell
// the shop its outcome.
TEST_F(ExampleShop, PaysOnEitherScreenOneAtATimeAndShowsTheRecordWithTheCardMasked) {
    shop::ShopWindow checkout(gateway(), journal);
    checkout.show();
    QLabel* verdict = testing::childWhere<QLabel>(checkout, [](auto* label) {
        return label->text() == QStringLiteral("Ningún pago todavía.");
    });
    auto* record = checkout.findChild<QPlainTextEdit*>();
    ASSERT_TRUE(verdict && record);

    auto* pay = buttonTitled(checkout, QStringLiteral("Pagar con tarjeta"));
    QTest::mouseClick(pay, Qt::LeftButton);
    const auto first = checkout.screen();
    ASSERT_TRUE(first);
    QTest::mouseClick(pay, Qt::LeftButton);
    QTest::mouseClick(buttonTitled(checkout, QStringLiteral("Pagar en la pasarela")),
                      Qt::LeftButton);
    EXPECT_EQ(checkout.screen().get(), first.get())
        << "a second payment took the first one's place";
    payOnCardScreen(checkout, QStringLiteral("4000000000000002"));
    EXPECT_EQ(verdict->text(), QStringLiteral("Pago aceptado"))
        << "the first payment's outcome never reached the shop";
    EXPECT_TRUE(pay->isEnabled()) << "the next sale may start";
    EXPECT_EQ(gateway().requests().size(), 1u);
    EXPECT_TRUE(record->toPlainText().contains(QStringLiteral("\"Ds_Response\": \"0000\"")));
    EXPECT_FALSE(record->toPlainText().contains(QStringLiteral("4000000000000002")));
    EXPECT_FALSE(record->toPlainText().contains(futureExpiryDigits().mid(2) + QStringLiteral("12")))
        << "the expiry is shown in clear";

    checkout.findChild<QCheckBox*>()->setChecked(true);  // the shop's own return pages
    QTest::mouseClick(buttonTitled(checkout, QStringLiteral("Pagar en la pasarela")),
                      Qt::LeftButton);
    QWidget* page = qt::windowOf(*checkout.screen());
    ASSERT_TRUE(page);
    auto* view = page->findChild<QWebEngineView*>();
    ASSERT_TRUE(view);
    // The outcome comes as the page goes to the shop's return page.
    const auto loaded = [&](auto there) {
        return testing::waitUntil(
            view->page(), &QWebEnginePage::loadingChanged,
            [&] { return !view->page()->isLoading() && there(); }, testing::kPageBound);
    };
    ASSERT_TRUE(loaded([&] { return view->url().path() == QStringLiteral("/zel/realizarPago"); }));
    view->page()->runJavaScript(testing::cardFormScript(sandbox::kDeclinedCard));
    ASSERT_TRUE(loaded([&] { return verdict->text() == QStringLiteral("Pago rechazado"); }));
    EXPECT_TRUE(record->toPlainText().contains(QStringLiteral("\"code\": 78")));
    EXPECT_TRUE(page->isVisible()) << "the shop's own return page stays";
    saveScreenshot(checkout, QStringLiteral("example-shop"));
}

// A payment whose answer was cut is in doubt: the shop shows it, also when it opens again, and
// sells nothing more until it has been reviewed.
TEST_F(ExampleShop, ShowsWhatIsInDoubtBeforeTheNextSale) {
    {
        shop::ShopWindow checkout(gateway(), journal);
        checkout.show();
        auto* order = testing::childWhere<QLineEdit>(
            checkout, [](auto* field) { return field->text() == QStringLiteral("TIENDA0001"); });
        ASSERT_TRUE(order);
        order->setText(QStringLiteral("TIENDA0001-FAULT_CLOSE"));
        QTest::mouseClick(buttonTitled(checkout, QStringLiteral("Pagar con tarjeta")),
                          Qt::LeftButton);
        auto* toReview = checkout.findChild<QGroupBox*>();
        ASSERT_TRUE(toReview);
        payOnCardScreen(checkout, QStringLiteral("4000000000000002"));
        EXPECT_TRUE(toReview->isVisible());
        EXPECT_FALSE(buttonTitled(checkout, QStringLiteral("Pagar con tarjeta"))->isEnabled());
    }

    shop::ShopWindow reopened(gateway(), journal);
    reopened.show();
    auto* toReview = reopened.findChild<QGroupBox*>();
    auto* listed = reopened.findChild<QListWidget*>();
    ASSERT_TRUE(toReview && listed);
    EXPECT_TRUE(toReview->isVisible());
    ASSERT_EQ(listed->count(), 1);
    EXPECT_TRUE(listed->item(0)->text().startsWith(QStringLiteral("TIENDA0001-FAULT_CLOSE")));
    EXPECT_TRUE(listed->item(0)->text().contains(QStringLiteral("puede haber cobrado")));
    auto* pay = buttonTitled(reopened, QStringLiteral("Pagar con tarjeta"));
    EXPECT_FALSE(pay->isEnabled());
    saveScreenshot(reopened, QStringLiteral("example-shop-in-doubt"));

    auto* note = testing::childWhere<QLineEdit>(*toReview, [](auto*) { return true; });
    ASSERT_TRUE(note);
    QTest::mouseClick(buttonTitled(reopened, QStringLiteral("Marcar como revisado")),
                      Qt::LeftButton);
    EXPECT_FALSE(pay->isEnabled()) << "a review without a note is no review";
    QTest::keyClicks(note, QStringLiteral("sin cargo en el extracto"));
    QTest::mouseClick(buttonTitled(reopened, QStringLiteral("Marcar como revisado")),
                      Qt::LeftButton);
    EXPECT_FALSE(toReview->isVisible());
    EXPECT_TRUE(pay->isEnabled());
    ASSERT_TRUE(journal->payment("TIENDA0001-FAULT_CLOSE").value()->review);
    EXPECT_EQ(journal->payment("TIENDA0001-FAULT_CLOSE").value()->review->note,
              "sin cargo en el extracto");
}

}  // namespace
}  // namespace vanto
