// The payment page in Qt Quick's WebEngineView against the sandbox's hosted page over HTTPS on
// loopback: the page comes from the POST the presenter builds (sent by the self-submitting form
// the binding loads), the card form is filled and sent by script as a cardholder would, and each
// outcome and way out gives exactly one report.
#include <QAccessible>
#include <QTest>

#include "QuickTest.h"
#include "vanto/config/Constants.h"
#include "vanto/sandbox/TestCards.h"
#include "vanto/web/WebViewPaymentController.h"
#include "vanto/web/WebViewPaymentRequest.h"

namespace vanto {
namespace {

using testing::itemNamed;
using testing::press;
using testing::tap;

const QByteArray kPage = "import QtQuick\nimport Vanto\nPaymentPage {}\n";

class QuickPaymentPage : public testing::QuickTest {
  public:
    // The web engine hands its first frame of the page over after the load.
    static bool pageDrawn(QQuickWindow& window) {
        return testing::waitUntil(&window, &QQuickWindow::frameSwapped, [&] {
            const QImage shot = window.grabWindow();
            for (int y = 0; y < shot.height(); ++y) {
                for (int x = 0; x < shot.width(); ++x) {
                    if (shot.pixel(x, y) != shot.pixel(0, 0)) {
                        return true;
                    }
                }
            }
            return false;
        });
    }

    // A presented page, and the hands the case both bindings pass work it with.
    struct Shown {
        std::shared_ptr<WebViewPaymentController> screen;
        std::shared_ptr<testing::Reports> reports;
        std::unique_ptr<quick::ScreenHandle> handle;
        Window shown;
        QQuickWindow* window = nullptr;
        QPointer<QQuickItem> view;
        QQuickItem* close = nullptr;
        QQuickItem* drawing = nullptr;
        QPointer<QObject> profile;

        // The hands of the page's case both bindings pass: as a cardholder, on the window.
        // The page takes keys and clicks once the web engine has drawn it.
        bool cardFormShown() const {
            return view && QuickTest::cardFormShown(view) && pageDrawn(*window);
        }
        QVariant evaluate(const QString& script) const { return QuickTest::evaluate(view, script); }
        void click(const QString& id, int clicks = 1) const {
            const QVariantList middle = evaluate(testing::middleOfScript(id)).toList();
            ASSERT_EQ(middle.size(), 2);
            const QPoint at =
                view->mapToScene(QPointF(middle[0].toReal(), middle[1].toReal())).toPoint();
            if (clicks == 2) {
                QTest::mouseDClick(window, Qt::LeftButton, {}, at);
            } else {
                QTest::mouseClick(window, Qt::LeftButton, {}, at);
            }
        }
        void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const {
            press(*window, key, modifiers);
        }
        void type(const QString& text) const { testing::type(*window, text); }
        // The page's context menu is refused before it shows.
        static bool menuOffersCopying() { return false; }
        void pay(std::string_view card) const { payOnPage(view, card); }
        void screenshot(const char* name) const {
            saveScreenshot(*window, QStringLiteral("quick-") + QString::fromLatin1(name));
        }
        QString pageText() const {
            return pageLoaded(view, [] { return true; })
                       ? evaluate(QStringLiteral("document.body.innerText")).toString()
                       : QString();
        }
        bool closeVisible() const { return close->isVisible(); }
        bool closeShown() const {
            return testing::waitForProperty(
                close, "visible", [this] { return close->isVisible(); }, testing::kPageBound);
        }
        void tapClose() const { tap(*window, close); }
        // Named, whole and of a finger's size.
        void expectCloseAnnounced() const {
            QAccessibleInterface* announced = QAccessible::queryAccessibleInterface(close);
            ASSERT_TRUE(announced);
            EXPECT_EQ(announced->text(QAccessible::Name), QStringLiteral("Cerrar"));
            const auto* title = itemNamed(shown.root, QStringLiteral("closeButtonTitle"));
            ASSERT_TRUE(title);
            EXPECT_FALSE(title->property("truncated").toBool());
            EXPECT_GE(close->width(), 48.0);
            EXPECT_GE(close->height(), 48.0);
        }
        // The alert of a page that did not load, "ERROR 404": its "Aceptar", tapped or taken by
        // Escape, closes the screen.
        void acceptAlert(bool byEscape = false) const {
            ASSERT_TRUE(testing::waitForProperty(
                drawing, "alertShown", [this] { return drawing->property("alertShown").toBool(); },
                testing::kPageBound))
                << "no alert";
            EXPECT_EQ(drawing->property("alertTitle").toString(), QStringLiteral("ERROR 404"));
            QQuickItem* accept = testing::drawnItemNamed(window->contentItem(), "alertButton0");
            ASSERT_TRUE(accept);
            ASSERT_TRUE(testing::waitForProperty(accept, "opacity",
                                                 [&] { return accept->opacity() == 1.0; }));
            EXPECT_EQ(accept->property("text").toString(), QStringLiteral("Aceptar"));
            EXPECT_TRUE(accept->hasActiveFocus());
            if (byEscape) {
                press(*window, Qt::Key_Escape);
            } else {
                tap(*window, accept);
            }
            ASSERT_TRUE(reports->waitForReport());
            EXPECT_TRUE(closed()) << "the screen stayed";
        }
        // The card form's post is on its way.
        bool posting() const {
            return testing::waitForProperty(view, "loading",
                                            [this] { return view->property("loading").toBool(); });
        }
        bool screenGone() const { return !view; }
        bool closed() const { return shown.root->property("closed").toBool(); }
        void leave() const { window->close(); }
        void escape() const { press(*window, Qt::Key_Escape); }
        bool settledAt(const QString& part) const {
            return pageLoaded(view,
                              [&] { return view->property("url").toString().contains(part); });
        }
        bool pageGone() const { return !view && !profile; }
        bool offTheRecord() const { return profile->property("offTheRecord").toBool(); }
    };

    static Shown show(std::string order) {
        Shown made;
        made.screen = WebViewPaymentController::create(std::move(order), 19.99, "Libro",
                                                       TransactionType::normal, "");
        made.reports = std::make_shared<testing::Reports>();
        made.screen->setDelegate(made.reports);
        made.handle = std::make_unique<quick::ScreenHandle>(made.screen);
        made.shown = QuickTest::show(
            kPage, {{QStringLiteral("screen"), QVariant::fromValue<QObject*>(made.handle.get())}},
            480, 720);
        made.window = made.shown.window.get();
        made.view = itemNamed(made.shown.root, QStringLiteral("paymentWebView"));
        made.close = itemNamed(made.shown.root, QStringLiteral("closeButton"));
        made.drawing = itemNamed(made.shown.root, QStringLiteral("drawing"));
        EXPECT_TRUE(made.view && made.close && made.drawing);
        if (made.view) {
            made.profile = made.view->property("profile").value<QObject*>();
        }
        return made;
    }
};

TEST_F(QuickPaymentPage, AnAcceptedCardGivesOneOutcomeAndThePageGoesWithTheScreen) {
    aCardPaidOnThePageGivesOneOutcome<QuickPaymentPage>("QK-W0001", sandbox::kAcceptedCard);
    // Posted by a document loaded as text, whose origin is opaque.
    const auto posts = testing::requestsTo(gateway(), "/zel/realizarPago");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts.front().header("Origin"), "null");
    EXPECT_FALSE(posts.front().header("Referer"));
}

TEST_F(QuickPaymentPage, AMerchantsReturnPageStaysOnScreenUntilItsCloseButton) {
    aReturnPageStaysUntilItsCloseButton<QuickPaymentPage>("QK-W0010");
}

TEST_F(QuickPaymentPage, TamperedParametersShowTheGatewaysRefusalAndTheCloseButton) {
    tamperedParametersShowTheRefusalAndAWayOut<QuickPaymentPage>("QK-W0003");
}

TEST_F(QuickPaymentPage, EveryOtherWayOutEndsWithOneReport) {
    eachOtherWayThePageEndsGivesOneReport<QuickPaymentPage>("QK");
}

TEST_F(QuickPaymentPage, TheCardNumberTypedIntoThePageReachesNoSelection) {
    thePageGivesNoSelectionTheCardNumber<QuickPaymentPage>("QK-W0009");
}

TEST_F(QuickPaymentPage, AScreenOpenedAfterItsAnchorWasWithdrawnRefusesThePage) {
    aWithdrawnAnchorRefusesThePage<QuickPaymentPage>("QK-W0007", "QK-W0008");
}

}  // namespace
}  // namespace vanto
