#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeUi.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/text/Base64.h"
#include "vanto/web/WebViewPaymentController.h"
#include "vanto/web/WebViewPaymentPresenter.h"
#include "vanto/web/WebViewPaymentService.h"

namespace vanto {
namespace {

using platform::ui::NavigationActionPolicy;

constexpr const char* kPageAnswer =
    R"({"code":0,"desc":"","datosPeticion":{"Ds_SignatureVersion":"v1","Ds_Signature":"a+b/c=","Ds_MerchantParameters":"e30="}})";

// Records each outcome as "OK <code>" or "KO <code> <desc>", with how many times the screen had
// closed and how many navigations had been decided when it came.
class RecordingDelegate : public WebViewPaymentResponseDelegate {
  public:
    explicit RecordingDelegate(const testing::FakeToolkit& ui) : ui_(ui) {}
    void responsePaymentOK(const WebViewPaymentResponseOK& response) override {
        record("OK " + std::to_string(response.code));
    }
    void responsePaymentKO(const WebViewPaymentResponseKO& response) override {
        record("KO " + std::to_string(response.code) + " " + response.desc);
    }
    std::vector<std::string> told;
    std::vector<int> closedWhenTold;
    std::vector<std::size_t> decidedWhenTold;

  private:
    void record(std::string outcome) {
        told.push_back(std::move(outcome));
        closedWhenTold.push_back(ui_.presentation->dismissals);
        decidedWhenTold.push_back(ui_.webView->decisions.size());
    }
    const testing::FakeToolkit& ui_;
};

// A return address carrying the result `json`.
std::string returnAddress(const std::string& address, const std::string& json) {
    return address +
           "?Ds_SignatureVersion=HMAC_SHA256_V1&Ds_MerchantParameters=" + base64Encode(json) +
           "&Ds_Signature=c2ln";
}

const std::string kAccepted =
    R"({"Ds_Response":"0000","Ds_AuthorisationCode":"123456","Ds_Card_Number":"4000000000000002","Ds_ExpiryDate":"2612"})";

class WebScreen : public testing::ScreenTest<WebViewPaymentRequest, setWebViewPaymentService> {
  protected:
    // A screen loaded and on screen, kept as the application keeps the screen it presents.
    void show(double amount = 19.99) {
        screen = WebViewPaymentController::create("ORDER1", amount, "Libro",
                                                  TransactionType::normal, "REQUIRED");
        screen->setDelegate(delegate);
        screen->loadViewIfNeeded();
        screen->viewDidAppear(true);
    }
    // A screen showing the payment page.
    void showPage() {
        show();
        service->answer(WebViewPaymentResponse::fromJSON(kPageAnswer));
        ASSERT_EQ(ui.webView->loaded.size(), 1u);
        traces.clear();
    }
    const testing::FakeButton& closeButton() const { return *ui.buttons.at(0); }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>(ui);
    std::shared_ptr<WebViewPaymentController> screen;
};

TEST_F(WebScreen, LoadsThePaymentPageUnderAHiddenCloseButton) {
    show(0.0);
    ASSERT_EQ(ui.buttons.size(), 1u);
    EXPECT_EQ(closeButton().title, "X");
    EXPECT_EQ(closeButton().font, platform::ui::Font::boldSystemFont(15));
    EXPECT_EQ(closeButton().frame, (platform::ui::Rect{0, 0, 50, 50}));
    EXPECT_TRUE(closeButton().hidden);
    EXPECT_EQ(ui.view->content, ui.webView) << "the web view is the screen's content";
    EXPECT_EQ(ui.webView->subviews,
              (std::vector<std::shared_ptr<platform::ui::View>>{ui.webIndicator, ui.buttons[0]}));
    EXPECT_FALSE(ui.webIndicator->hidden);
    EXPECT_TRUE(ui.webIndicator->animating);
    EXPECT_FALSE(screen->shouldAutorotate());

    ASSERT_EQ(service->calls.size(), 1u) << "an amount of 0 is sent";
    EXPECT_EQ(service->lastMessage()["parametros"]["Ds_Merchant_Order"], "ORDER1");
    service->answer(WebViewPaymentResponse::fromJSON(kPageAnswer));
    ASSERT_EQ(ui.webView->loaded.size(), 1u);
    EXPECT_EQ(ui.webView->loaded[0].httpMethod, "POST");
    EXPECT_EQ(ui.webView->loaded[0].httpBody,
              "Ds_SignatureVersion=v1&Ds_Signature=a%2Bb%2Fc%3D&Ds_MerchantParameters=e30%3D");
    EXPECT_TRUE(closeButton().hidden);
    EXPECT_TRUE(delegate->told.empty());
}

TEST_F(WebScreen, RefusesANegativeAmountOnceOnScreen) {
    show(-0.01);
    EXPECT_TRUE(delegate->told.empty()) << "not while the screen is appearing";
    platform::MainQueue::runPending();
    EXPECT_EQ(delegate->told,
              std::vector<std::string>{"KO 5548 El importe tiene que ser igual o mayor de 0,00"});
    EXPECT_EQ(ui.presentation->dismissals, 1);
    EXPECT_TRUE(service->calls.empty());
}

TEST_F(WebScreen, AllowsTracesAndReportsEachNavigationAndTellsTheOutcomeOnce) {
    showPage();
    EXPECT_EQ(ui.webView->navigate(std::nullopt), NavigationActionPolicy::cancel);
    EXPECT_TRUE(traces.empty());
    EXPECT_EQ(ui.webView->navigate("https://gw.example/zel/realizarPago"),
              NavigationActionPolicy::allow);
    EXPECT_EQ(traces, std::vector<std::string>{"https://gw.example/zel/realizarPago"});

    const std::string back = returnAddress("REDIR_URL_OK", kAccepted);
    traces.clear();
    EXPECT_EQ(ui.webView->navigate(back), NavigationActionPolicy::allow);
    EXPECT_EQ(delegate->told, std::vector<std::string>{"OK 0"});
    EXPECT_EQ(delegate->decidedWhenTold, std::vector<std::size_t>{3}) << "allowed first";
    EXPECT_EQ(delegate->closedWhenTold, std::vector<int>{0}) << "told, then closed";
    EXPECT_EQ(ui.presentation->dismissals, 1);
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_EQ(traces[0], WebViewPaymentFlow::traceableAddress(back));
    EXPECT_EQ(traces[0].find(base64Encode(kAccepted)), std::string::npos)
        << "the card data of the result are not traced";

    EXPECT_EQ(ui.webView->navigate(back), NavigationActionPolicy::allow);
    ui.webView->navigationDelegate()->didFailNavigation(*ui.webView);
    EXPECT_EQ(delegate->told.size(), 1u) << "one outcome per payment";
    EXPECT_EQ(ui.presentation->dismissals, 1);
    EXPECT_TRUE(ui.presentation->alerts.empty());
}

TEST_F(WebScreen, KeepsTheMerchantsOwnReturnPageWithTheCloseButton) {
    VantoConfiguration::shared().setAppURLOK("https://shop.example/ok");
    showPage();
    ui.webView->navigate(returnAddress("https://shop.example/ok", kAccepted) + "&a=1");
    EXPECT_EQ(delegate->told, std::vector<std::string>{"OK 0"});
    EXPECT_FALSE(closeButton().hidden);
    EXPECT_EQ(ui.presentation->dismissals, 0);

    ui.webView->navigationDelegate()->didFailNavigation(*ui.webView);
    EXPECT_TRUE(ui.presentation->alerts.empty()) << "no alert over the reported outcome";
    closeButton().tap();
    EXPECT_EQ(ui.presentation->dismissals, 1);
    EXPECT_EQ(delegate->told.size(), 1u);
}

TEST_F(WebScreen, OffersTheWayOutWhereAPaymentEndsWithoutAnOutcome) {
    showPage();
    ui.webView->navigate(returnAddress("https://gw.example/pago", R"({"Ds_Response":"OK"})"));
    EXPECT_TRUE(closeButton().hidden) << "not a return address";
    ui.webView->navigate(returnAddress("REDIR_URL_KO", R"({"Ds_Response":"OK"})"));
    EXPECT_TRUE(delegate->told.empty());
    EXPECT_FALSE(closeButton().hidden) << "a result without a readable decision";

    *toolkit = testing::FakeToolkit();
    show();
    service->answer(WebViewPaymentResponse::fromJSON(R"({"code":0,"desc":"sin datos"})"));
    EXPECT_TRUE(ui.webView->loaded.empty());
    EXPECT_TRUE(delegate->told.empty());
    EXPECT_FALSE(closeButton().hidden) << "a signature answer without the page's parameters";
    EXPECT_FALSE(ui.webIndicator->animating);

    *toolkit = testing::FakeToolkit();
    show();
    VantoConfiguration::shared().setAppURLKO("https://shop.example/ko");
    service->answer(WebViewPaymentResponse::fromJSON(R"({"code":9999,"desc":"x"})"));
    EXPECT_EQ(delegate->told, std::vector<std::string>{"KO 9999 x"});
    EXPECT_FALSE(closeButton().hidden);
    EXPECT_EQ(ui.presentation->dismissals, 0);

    *toolkit = testing::FakeToolkit();
    show();
    screen->setDelegate(nullptr);
    service->fail(SDKError::wrongStatusCode(500));
    EXPECT_EQ(ui.presentation->dismissals, 1) << "without a delegate the screen still closes";
}

TEST_F(WebScreen, ReadsEachFinishedPageForTheGatewaysRefusal) {
    showPage();
    auto& navigation = *ui.webView->navigationDelegate();
    navigation.didStartProvisionalNavigation(*ui.webView);
    EXPECT_EQ(traces, std::vector<std::string>{"Navigation Start" + std::string(17, '.')});
    EXPECT_TRUE(ui.webIndicator->animating);

    ui.webView->finish(std::string("<p>Bienvenido</p>"));
    EXPECT_FALSE(ui.webIndicator->animating);
    EXPECT_TRUE(closeButton().hidden);
    EXPECT_EQ(traces.back(), "Navigation Finish" + std::string(25, '.'));
    ui.webView->finish(42.0);
    ui.webView->finish(std::nullopt);
    EXPECT_TRUE(closeButton().hidden) << "a result that is not a text is ignored";

    ui.webView->finish(std::nullopt, platform::ui::ScriptError{"no page"});
    EXPECT_FALSE(closeButton().hidden) << "a page that cannot be read";

    *toolkit = testing::FakeToolkit();
    showPage();
    ui.webView->finish(std::string("<h1>Error en datos enviados. Contacte con su comercio</h1>"));
    EXPECT_FALSE(closeButton().hidden);
    EXPECT_TRUE(delegate->told.empty());
    EXPECT_EQ(ui.presentation->dismissals, 0);
}

TEST_F(WebScreen, AFailedPageRaisesTheAlertWhoseButtonClosesWithoutAnOutcome) {
    showPage();
    ui.webView->navigationDelegate()->didFailProvisionalNavigation(*ui.webView);
    ui.webView->navigationDelegate()->didFailNavigation(*ui.webView);
    ASSERT_EQ(ui.presentation->alerts.size(), 1u) << "one alert at a time";
    const auto& alert = ui.presentation->alerts[0];
    EXPECT_EQ(alert.title, "ERROR 404");
    EXPECT_EQ(alert.message,
              "Página no encontrada \n No ha sido posible encontrar el contenido solicitado en "
              "nuestro servidor.\n Esto puede ser debido a una URL mal escrita, un enlace "
              "obsoleto, o una actualización de los contenidos de nuestra Web.");
    EXPECT_EQ(alert.message.size(), 216u + 2u) << "216 characters, two of them two bytes long";
    ASSERT_EQ(alert.actions.size(), 1u);
    EXPECT_EQ(alert.actions[0].title, "Aceptar");
    EXPECT_EQ(alert.actions[0].style, platform::ui::AlertActionStyle::defaultStyle);
    EXPECT_EQ(ui.presentation->dismissals, 0);
    alert.actions[0].handler();
    EXPECT_EQ(ui.presentation->dismissals, 1);
    EXPECT_TRUE(delegate->told.empty());

    ui.webView->navigate(returnAddress("REDIR_URL_KO", kAccepted));
    EXPECT_TRUE(delegate->told.empty()) << "the cardholder closed the screen";
}

TEST_F(WebScreen, APageThatArrivesForAClosedOrGoneScreenIsNotLoaded) {
    show();
    screen->closeButtonClicked();
    EXPECT_EQ(ui.presentation->dismissals, 1);
    service->answer(WebViewPaymentResponse::fromJSON(kPageAnswer));
    EXPECT_TRUE(ui.webView->loaded.empty());
    EXPECT_TRUE(delegate->told.empty());

    *toolkit = testing::FakeToolkit();
    show();
    std::weak_ptr<WebViewPaymentController> gone = screen;
    screen.reset();
    EXPECT_TRUE(gone.expired()) << "the signature request in flight does not hold the screen";
    service->answer(WebViewPaymentResponse::fromJSON(kPageAnswer));
    EXPECT_TRUE(ui.webView->loaded.empty());
}

}  // namespace
}  // namespace vanto
