// The example merchant application's checkout, paid on both screens as a shopper would.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "ShopWindow.h"
#include "UiTest.h"
#include "vanto/flow/BaseViewController.h"
#include "vanto/qt/QtBinding.h"

namespace vanto {
namespace {

using testing::buttonTitled;
using testing::fieldNamed;

class ExampleShop : public testing::UiTest {};

TEST_F(ExampleShop, PaysOnEitherScreenAndShowsTheRecordWithTheCardMasked) {
    shop::ShopWindow checkout(gateway());
    checkout.show();
    QLabel* verdict = nullptr;
    for (auto* label : checkout.findChildren<QLabel*>()) {
        if (label->text() == QStringLiteral("Ningún pago todavía.")) {
            verdict = label;
        }
    }
    auto* record = checkout.findChild<QPlainTextEdit*>();
    ASSERT_TRUE(verdict && record);

    QTest::mouseClick(buttonTitled(checkout, QStringLiteral("Pagar con tarjeta")), Qt::LeftButton);
    ASSERT_TRUE(checkout.screen());
    QWidget* card = qt::windowOf(*checkout.screen());
    ASSERT_TRUE(card && card->isVisible());
    QTest::keyClicks(fieldNamed(*card, QStringLiteral("N.º de tarjeta")),
                     QStringLiteral("4000000000000002"));
    QTest::keyClicks(fieldNamed(*card, QStringLiteral("Caducidad")), futureExpiryDigits());
    QTest::keyClicks(fieldNamed(*card, QStringLiteral("Cód. seguridad")), QStringLiteral("123"));
    testing::Changes cardWindow;  // closes once the shop has the outcome
    cardWindow.watch(card);
    QTest::mouseClick(buttonTitled(*card, QStringLiteral("Continuar")), Qt::LeftButton);
    ASSERT_TRUE(cardWindow.waitFor([&] { return !card->isVisible(); }));
    EXPECT_EQ(verdict->text(), QStringLiteral("Pago aceptado"));
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
    view->page()->runJavaScript(
        QStringLiteral("document.getElementById('card-number').value = '4000000000000010';"
                       "document.getElementById('card-expiry').value = '%1';"
                       "document.getElementById('card-cvv').value = '123';"
                       "document.getElementById('pay-button').click();")
            .arg(futureExpiryDigits().insert(2, QLatin1Char('/'))));
    ASSERT_TRUE(loaded([&] { return verdict->text() == QStringLiteral("Pago rechazado"); }));
    EXPECT_TRUE(record->toPlainText().contains(QStringLiteral("\"code\": 78")));
    EXPECT_TRUE(page->isVisible()) << "the shop's own return page stays";
    saveScreenshot(checkout, QStringLiteral("example-shop"));
}

}  // namespace
}  // namespace vanto
