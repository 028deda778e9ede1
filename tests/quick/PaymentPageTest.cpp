// The payment page in Qt Quick's WebEngineView against the sandbox's hosted page over HTTPS on
// loopback: the page comes from the POST the presenter builds (sent by the self-submitting form
// the binding loads), the card form is filled and sent by script as a cardholder would, and each
// outcome and way out gives exactly one report.
#include <QAccessible>
#include <QTest>

#include "QuickTest.h"
#include "SignatureRoads.h"
#include "vanto/config/Constants.h"
#include "vanto/platform/URLSession.h"
#include "vanto/sandbox/TestCards.h"
#include "vanto/web/WebViewPaymentController.h"
#include "vanto/web/WebViewPaymentService.h"

namespace vanto {
namespace {

using testing::itemNamed;
using testing::kPageUserAgent;
using testing::MovingRoad;
using testing::press;
using testing::TamperingRoad;
using testing::tap;

const QByteArray kPage = "import QtQuick\nimport Vanto\nPaymentPage {}\n";

class QuickPaymentPage : public testing::QuickTest {
  public:
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
        bool cardFormShown() const { return view && QuickTest::cardFormShown(view); }
        QVariant evaluate(const QString& script) const { return QuickTest::evaluate(view, script); }
        void click(const QString& id, int clicks = 1) const {
            const QVariantList middle =
                evaluate(QStringLiteral("(r => [r.left + r.width / 2, r.top + r.height / 2])("
                                        "document.getElementById('%1').getBoundingClientRect())")
                             .arg(id))
                    .toList();
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
        void leave() const { press(*window, Qt::Key_Escape); }
        bool pageGone() const { return !view && !profile; }
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

    static bool closeShown(const Shown& shown) {
        return testing::waitForProperty(
            shown.close, "visible", [&] { return shown.close->isVisible(); }, testing::kPageBound);
    }

    // The alert of a page that did not load, "ERROR 404": its "Aceptar", tapped or taken by
    // Escape, closes the screen.
    static void acceptAlert(const Shown& shown, bool byEscape = false) {
        ASSERT_TRUE(testing::waitForProperty(
            shown.drawing, "alertShown",
            [&] { return shown.drawing->property("alertShown").toBool(); }, testing::kPageBound))
            << "no alert";
        EXPECT_EQ(shown.drawing->property("alertTitle").toString(), QStringLiteral("ERROR 404"));
        QQuickItem* accept = testing::drawnItemNamed(shown.window->contentItem(), "alertButton0");
        ASSERT_TRUE(accept);
        ASSERT_TRUE(
            testing::waitForProperty(accept, "opacity", [&] { return accept->opacity() == 1.0; }));
        EXPECT_EQ(accept->property("text").toString(), QStringLiteral("Aceptar"));
        EXPECT_TRUE(accept->hasActiveFocus());
        if (byEscape) {
            press(*shown.window, Qt::Key_Escape);
        } else {
            tap(*shown.window, accept);
        }
        ASSERT_TRUE(shown.reports->waitForReport());
        EXPECT_TRUE(shown.shown.root->property("closed").toBool()) << "the screen stayed";
    }
};

// The page is asked as the presenter asks it, paid, reported once, and goes with its screen.
TEST_F(QuickPaymentPage, AnAcceptedCardGivesOneOutcomeAndThePageGoesWithTheScreen) {
    auto shown = show("QK-W0001");
    ASSERT_TRUE(shown.view);
    ASSERT_TRUE(cardFormShown(shown.view));
    const auto page = pagePost(kPageUserAgent);
    // Posted by a document loaded as text, whose origin is opaque.
    EXPECT_EQ(page.header("Origin"), "null");
    EXPECT_FALSE(page.header("Referer"));
    // The web engine hands its first frame of the page over after the load.
    EXPECT_TRUE(testing::waitUntil(shown.window, &QQuickWindow::frameSwapped, [&] {
        const QImage shot = shown.window->grabWindow();
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                if (shot.pixel(x, y) != shot.pixel(0, 0)) {
                    return true;
                }
            }
        }
        return false;
    })) << "the page was never drawn";
    saveScreenshot(*shown.window, QStringLiteral("quick-payment-page"));

    payOnPage(shown.view, sandbox::kAcceptedCard);
    ASSERT_TRUE(shown.reports->waitForReport(testing::kPageBound)) << "no outcome";
    ASSERT_EQ(shown.reports->told, std::vector<std::string>{"OK 0"});
    EXPECT_EQ(shown.reports->pageAccepted.front().Ds_Response, "0000");
    EXPECT_EQ(shown.reports->pageAccepted.front().Ds_Order, "QK-W0001");
    EXPECT_TRUE(shown.shown.root->property("closed").toBool()) << "the screen stayed";

    shown.screen.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(shown.view) << "the web view outlived its screen";
    EXPECT_EQ(shown.reports->count(), 1u) << "an outcome, then nothing more";
}

TEST_F(QuickPaymentPage, ARefusalAndTheGatewaysErrorTextEachGiveOneReport) {
    auto refused = show("QK-W0002");
    ASSERT_TRUE(refused.view);
    payOnPage(refused.view, sandbox::kDeclinedCard);
    ASSERT_TRUE(refused.reports->waitForReport(testing::kPageBound)) << "no outcome";
    EXPECT_TRUE(refused.shown.root->property("closed").toBool());
    refused.screen.reset();
    EXPECT_EQ(refused.reports->told, std::vector<std::string>{"KO 78 190"});

    // Tampered parameters: the gateway's error text, and the close button to leave it.
    setWebViewPaymentService(std::make_shared<TamperingRoad>(webViewPaymentService()));
    auto tampered = show("QK-W0003");
    ASSERT_TRUE(tampered.view);
    EXPECT_FALSE(tampered.close->isVisible());
    ASSERT_TRUE(closeShown(tampered)) << "no way out";
    ASSERT_TRUE(pageLoaded(tampered.view, [] { return true; }));
    EXPECT_TRUE(evaluate(tampered.view, QStringLiteral("document.body.innerText"))
                    .toString()
                    .contains(QStringLiteral("Error en datos enviados. Contacte con su comercio")));
    QAccessibleInterface* announced = QAccessible::queryAccessibleInterface(tampered.close);
    ASSERT_TRUE(announced);
    EXPECT_EQ(announced->text(QAccessible::Name), QStringLiteral("Cerrar"));
    const auto* title = itemNamed(tampered.shown.root, QStringLiteral("closeButtonTitle"));
    ASSERT_TRUE(title);
    EXPECT_FALSE(title->property("truncated").toBool());
    EXPECT_GE(tampered.close->width(), 48.0);
    EXPECT_GE(tampered.close->height(), 48.0);
    EXPECT_EQ(tampered.reports->count(), 0u);
    tap(*tampered.window, tampered.close);
    EXPECT_TRUE(tampered.shown.root->property("closed").toBool());
    EXPECT_EQ(tampered.reports->told, std::vector<std::string>{"closed 0"}) << "nothing was paid";
}

// A page that fails raises the alert; Escape and a screen let go of end without an outcome.
TEST_F(QuickPaymentPage, EveryOtherWayOutEndsWithOneNoticeWithoutAnOutcome) {
    auto failed = show("QK-W0004-PAGEFAULT_404");
    ASSERT_TRUE(failed.view);
    payOnPage(failed.view, sandbox::kAcceptedCard);
    acceptAlert(failed);
    EXPECT_EQ(failed.reports->told, std::vector<std::string>{"closed 1"});

    auto escaped = show("QK-W0005");
    ASSERT_TRUE(cardFormShown(escaped.view));
    press(*escaped.window, Qt::Key_Escape);
    EXPECT_TRUE(escaped.shown.root->property("closed").toBool());
    EXPECT_EQ(escaped.reports->told, std::vector<std::string>{"closed 0"});

    auto dropped = show("QK-W0006");
    ASSERT_TRUE(cardFormShown(dropped.view));
    dropped.screen.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dropped.view) << "the web view outlived its screen";
    EXPECT_EQ(dropped.reports->told, std::vector<std::string>{"closed 0"});
}

TEST_F(QuickPaymentPage, TheCardNumberTypedIntoThePageReachesNoSelection) {
    thePageGivesNoSelectionTheCardNumber<QuickPaymentPage>("QK-W0009");
}

// Each page has a profile of its own, which remembers no certificate decision: a server is
// reached only while its certificate chains to an anchor the application trusts.
TEST_F(QuickPaymentPage, ACertificateIsTakenOnlyWhileItChainsToAnAnchorOfTheApplication) {
    sandbox::SandboxOptions options;
    options.logRequests = false;
    sandbox::SandboxGateway stranger(options);
    ASSERT_TRUE(stranger.start()) << stranger.lastError();
    const auto own = webViewPaymentService();

    trustOnly(gateway().certificatePem());
    auto session = platform::URLSessionConfiguration::defaultSessionConfiguration();
    session.additionalTrustAnchors.push_back(stranger.certificatePem());
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(session);
    setWebViewPaymentService(std::make_shared<MovingRoad>(own, stranger.authority()));
    auto trusted = show("QK-W0007");
    ASSERT_TRUE(trusted.view);
    ASSERT_TRUE(pageLoaded(trusted.view, [&] {
        return !testing::requestsTo(stranger, "/zel/realizarPago").empty();
    })) << "the trusted server was never reached";
    trusted.screen.reset();

    ASSERT_TRUE(gateway().useAsTestEnvironment());
    trustOnly(gateway().certificatePem());
    stranger.clearRequests();
    setWebViewPaymentService(std::make_shared<MovingRoad>(own, stranger.authority()));
    auto untrusted = show("QK-W0008");
    ASSERT_TRUE(untrusted.view);
    acceptAlert(untrusted, true);
    EXPECT_EQ(untrusted.reports->told, std::vector<std::string>{"closed 0"});
    EXPECT_TRUE(stranger.requests().empty()) << "a request went to a server no longer trusted";
    setWebViewPaymentService(own);
}

}  // namespace
}  // namespace vanto
