// The payment web page on Qt WebEngine against the sandbox's hosted page over HTTPS on loopback:
// the page comes from the POST the presenter builds, the card form is filled and sent by script
// as a cardholder would, and every outcome, fault and way out is what the merchant and the
// cardholder see.
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "SignatureRoads.h"
#include "TestRows.h"
#include "UiTest.h"
#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/qt/PaymentPage.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/sandbox/TestCards.h"
#include "vanto/web/WebViewPaymentController.h"
#include "vanto/web/WebViewPaymentRequest.h"

namespace vanto {
namespace {

using testing::buttonTitled;

// Runs `script` in the page and waits for its value.
QVariant evaluate(QWebEnginePage& page, const QString& script) {
    auto value = std::make_shared<std::optional<QVariant>>();
    const auto answered = std::make_shared<testing::Changes>();
    page.runJavaScript(script, [value, answered](const QVariant& result) {
        *value = result;
        answered->notify();
    });
    EXPECT_TRUE(answered->waitFor([&] { return value->has_value(); })) << "the page ran no script";
    return value->value_or(QVariant());
}

class WebPayment : public testing::UiTest {
  public:
    // A presented page, and the hands the case both bindings pass work it with.
    struct Shown {
        std::shared_ptr<WebViewPaymentController> screen;
        std::shared_ptr<testing::Reports> reports = std::make_shared<testing::Reports>();
        QPointer<QWidget> window;
        // The web view of this presentation, which goes when the screen closes.
        QPointer<QWebEngineView> view;
        // The window and its close button shown or hidden, a message box over the window.
        std::shared_ptr<testing::Changes> changes = std::make_shared<testing::Changes>();
        QPointer<QWebEnginePage> page;
        QPointer<QWebEngineProfile> profile;

        // The hands of the page's case both bindings pass: as a cardholder, on the page's own
        // widget, which takes the keys and the mouse.
        bool cardFormShown() const { return WebPayment::cardFormShown(*this); }
        void pay(std::string_view card) const { payOnPage(*this, card); }
        void screenshot(const char* name) const {
            saveScreenshot(*window, QStringLiteral("web-") + QString::fromLatin1(name));
        }
        QVariant evaluate(const QString& script) const { return vanto::evaluate(*page, script); }
        QWidget* input() const { return view ? view->focusProxy() : window.get(); }
        QPoint middleOf(const QString& id) const {
            const QVariantList middle = evaluate(testing::middleOfScript(id)).toList();
            return middle.size() == 2 ? QPoint(middle[0].toInt(), middle[1].toInt()) : QPoint();
        }
        void click(const QString& id, int clicks = 1) const {
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window));
            view->setFocus();
            const QPoint at = middleOf(id);
            if (clicks == 2) {
                QTest::mouseDClick(input(), Qt::LeftButton, {}, at);
            } else {
                QTest::mouseClick(input(), Qt::LeftButton, {}, at);
            }
        }
        void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const {
            QTest::keyClick(input(), key, modifiers);
        }
        void type(const QString& text) const { QTest::keyClicks(input(), text); }
        // The menu the page's card field opens with the right button.
        bool menuOffersCopying() const {
            testing::Changes opened;
            opened.watch(view);
            QTest::mouseClick(input(), Qt::RightButton, {},
                              middleOf(QStringLiteral("card-number")));
            QMenu* menu = nullptr;
            EXPECT_TRUE(opened.waitFor([&] {
                return (menu = view->findChild<QMenu*>()) != nullptr;
            })) << "no context menu";
            if (!menu) {
                return false;
            }
            const auto actions = menu->actions();
            menu->close();
            return std::any_of(actions.begin(), actions.end(), [this](const QAction* action) {
                return action == page->action(QWebEnginePage::Copy) ||
                       action == page->action(QWebEnginePage::Cut) ||
                       action == page->action(QWebEnginePage::SelectAll);
            });
        }
        QString pageText() const {
            return loaded(*this, [] { return true; })
                       ? evaluate(QStringLiteral("document.body.innerText")).toString()
                       : QString();
        }
        bool closeVisible() const { return closeButton(*this)->isVisible(); }
        bool closeShown() const {
            return changes->waitFor([this] { return closeVisible(); }, testing::kPageBound);
        }
        void tapClose() const { QTest::mouseClick(closeButton(*this), Qt::LeftButton); }
        void expectCloseAnnounced() const {
            EXPECT_EQ(closeButton(*this)->accessibleName(), QStringLiteral("Cerrar"));
        }
        void acceptAlert(bool byEscape = false) const { WebPayment::acceptAlert(*this, byEscape); }
        // The card form's post is on its way.
        bool posting() const {
            return testing::waitUntil(page.get(), &QWebEnginePage::loadingChanged,
                                      [this] { return page->isLoading(); });
        }
        bool screenGone() const { return !window; }
        bool closed() const { return !window->isVisible(); }
        void leave() const { window->close(); }
        // The keys reach the window with the keyboard focus: this one, the page focused in it.
        void escape() const {
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window));
            view->setFocus();
            ASSERT_TRUE(view->focusProxy() && view->focusProxy()->hasFocus());
            QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
        }
        bool settledAt(const QString& part) const { return WebPayment::settledAt(*this, part); }
        bool pageGone() const { return !view && !page && !profile; }
        bool offTheRecord() const {
            return profile->isOffTheRecord() && profile != QWebEngineProfile::defaultProfile();
        }
    };

    static QPushButton* closeButton(const Shown& shown) {
        return buttonTitled(*shown.window, QStringLiteral("X"));
    }

    static Shown show(std::string order) {
        Shown shown;
        shown.screen = WebViewPaymentController::create(std::move(order), 19.99, "Libro",
                                                        TransactionType::normal, "");
        shown.screen->setDelegate(shown.reports);
        shown.window = qt::present(shown.screen);
        EXPECT_TRUE(shown.window);
        if (shown.window) {
            shown.view = shown.window->findChild<QWebEngineView*>();
            shown.changes->watch(shown.window);
            if (QPushButton* close = closeButton(shown)) {
                shown.changes->watch(close);
            }
        }
        EXPECT_TRUE(shown.view);
        if (shown.view) {
            shown.page = shown.view->page();
            shown.profile = shown.page->profile();
        }
        return shown;
    }

    // Waits until the page has finished loading where `there` holds.
    template <typename Predicate>
    static bool loaded(const Shown& shown, Predicate there) {
        QWebEnginePage* page = shown.view->page();
        return testing::waitUntil(
            page, &QWebEnginePage::loadingChanged, [&] { return !page->isLoading() && there(); },
            testing::kPageBound);
    }

    // Waits until the page holds the sandbox's card form.
    static bool cardFormShown(const Shown& shown) {
        return loaded(shown,
                      [&] {
                          return shown.view->url().path() == QStringLiteral("/zel/realizarPago");
                      }) &&
               evaluate(*shown.view->page(),
                        QStringLiteral("document.getElementById('card-form') !== null"))
                   .toBool();
    }

    static void payOnPage(const Shown& shown, std::string_view card) {
        ASSERT_TRUE(cardFormShown(shown)) << "the card form never came";
        EXPECT_TRUE(evaluate(*shown.view->page(), testing::cardFormScript(card)).toBool());
    }

    // Waits until the page at an address containing `part` has loaded.
    static bool settledAt(const Shown& shown, const QString& part) {
        return loaded(shown, [&] { return shown.view->url().toString().contains(part); });
    }

    // The "ERROR 404" alert of a page that did not load: its "Aceptar", pressed or taken by
    // Escape, closes the screen.
    static void acceptAlert(const Shown& shown, bool byEscape = false) {
        QMessageBox* alert = nullptr;
        // The one that shows: an alert drawn again replaces the one before, which closes.
        ASSERT_TRUE(shown.changes->waitFor(
            [&] {
                const auto boxes = shown.window->findChildren<QMessageBox*>();
                const auto shows =
                    std::find_if(boxes.begin(), boxes.end(),
                                 [](const QMessageBox* box) { return box->isVisible(); });
                alert = shows == boxes.end() ? nullptr : *shows;
                return alert != nullptr;
            },
            testing::kPageBound))
            << "no alert";
        EXPECT_EQ(alert->text(), QStringLiteral("ERROR 404"));
        EXPECT_TRUE(alert->informativeText().startsWith(QStringLiteral("Página no encontrada \n")));
        ASSERT_EQ(alert->buttons().size(), 1);
        QAbstractButton* accept = alert->buttons().front();
        EXPECT_EQ(accept->text(), QStringLiteral("Aceptar"));
        if (byEscape) {
            QTest::keyClick(alert, Qt::Key_Escape);
        } else {
            QTest::mouseClick(accept, Qt::LeftButton);
        }
        EXPECT_TRUE(shown.changes->waitFor([&] { return !shown.window->isVisible(); }))
            << "the screen stayed";
    }
};

TEST_F(WebPayment, TheCardFormLeadsThroughTheAuthenticationStepToOneAcceptedOutcome) {
    for (const auto& [order, card] : {std::pair{"UI-W0001-AUTHSTEP", sandbox::kAcceptedCard},
                                      std::pair{"UI-W0002", sandbox::kAuthenticationCard}}) {
        SCOPED_TRACE(order);
        gateway().clearRequests();
        aCardPaidOnThePageGivesOneOutcome<WebPayment>(order, card);
        EXPECT_FALSE(testing::requestsTo(gateway(), "/sandbox/autenticacion").empty())
            << "no authentication step";
        const auto traced = traces();
        EXPECT_TRUE(std::any_of(traced.begin(), traced.end(), [](const std::string& line) {
            return line.find("/sandbox/REDIR_URL_OK?") != std::string::npos;
        })) << "the return address was not reported";
    }
}

TEST_F(WebPayment, AMerchantsReturnPageStaysOnScreenUntilItsCloseButton) {
    aReturnPageStaysUntilItsCloseButton<WebPayment>("UI-W0003");
}

TEST_F(WebPayment, TamperedParametersShowTheGatewaysRefusalAndTheCloseButton) {
    tamperedParametersShowTheRefusalAndAWayOut<WebPayment>("UI-W0005");
}

TEST_F(WebPayment, TheCardNumberTypedIntoThePageReachesNoSelection) {
    thePageGivesNoSelectionTheCardNumber<WebPayment>("UI-W0019");
}

TEST_F(WebPayment, AScreenOpenedAfterItsAnchorWasWithdrawnRefusesThePage) {
    aWithdrawnAnchorRefusesThePage<WebPayment>("UI-W0017", "UI-W0018");
}

TEST_F(WebPayment, EveryOtherWayOutEndsWithOneReport) {
    eachOtherWayThePageEndsGivesOneReport<WebPayment>("UI");
}

// What a result carried back to a return address becomes: a refusal, and each fault the gateway
// can put in it or in the return page.
class WebPaymentOutcomes : public WebPayment {};

TEST_F(WebPaymentOutcomes, ARefusalAndEachFaultOfTheResultGiveTheirOwnOutcome) {
    for (const auto& row : testing::readTestRows("page-results.txt")) {
        ASSERT_EQ(row.size(), 4u);
        const std::string& order = *row[0];
        const std::string& expected = *row[3];
        SCOPED_TRACE(order);
        const bool merchantAddresses = row[2] == "merchant";
        auto& configuration = VantoConfiguration::shared();
        configuration.setAppURLOK(merchantAddresses ? gateway().baseUrl() + "/sandbox/TIENDA_OK"
                                                    : "REDIR_URL_OK");
        configuration.setAppURLKO(merchantAddresses ? gateway().baseUrl() + "/sandbox/TIENDA_KO"
                                                    : "REDIR_URL_KO");
        auto shown = show(order);
        ASSERT_TRUE(shown.view);
        payOnPage(shown, row[1] == "declined" ? sandbox::kDeclinedCard : sandbox::kAcceptedCard);
        if (expected.starts_with("closed")) {
            QPushButton* close = closeButton(shown);
            ASSERT_TRUE(close);
            ASSERT_TRUE(
                shown.changes->waitFor([&] { return close->isVisible(); }, testing::kPageBound))
                << "no way out";
            ASSERT_TRUE(settledAt(shown, QStringLiteral("REDIR_URL_KO")));
            EXPECT_EQ(shown.reports->count(), 0u);
            EXPECT_TRUE(shown.window->isVisible());
            QTest::mouseClick(close, Qt::LeftButton);
        } else {
            ASSERT_TRUE(shown.reports->waitForReport(testing::kPageBound)) << "no outcome";
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_FALSE(shown.view) << "the page outlived its screen";
            EXPECT_FALSE(shown.window->findChild<QMessageBox*>());
        }
        EXPECT_FALSE(shown.window->isVisible()) << "the screen stayed";
        shown.screen.reset();
        EXPECT_EQ(shown.reports->told, std::vector<std::string>{expected});
    }
}

}  // namespace
}  // namespace vanto
