#include "vanto/web/WebViewPaymentController.h"

#include <functional>
#include <utility>

#include "flow/ThisPayment.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/transport/TraceSink.h"
#include "vanto/web/WebViewPaymentPresenter.h"
#include "vanto/web/WebViewPaymentRequest.h"

namespace vanto {

using platform::ui::NavigationActionPolicy;

namespace {

constexpr const char* kNavigationStart = "Navigation Start.................";
constexpr const char* kNavigationFinish = "Navigation Finish.........................";
constexpr const char* kPageScript = "document.body.innerHTML";
// What the payment page says when it refused the data posted to it.
constexpr std::string_view kDataRefused = "Error en datos enviados. Contacte con su comercio";

constexpr const char* kFailureTitle = "ERROR 404";
constexpr const char* kFailureMessage =
    "Página no encontrada \n No ha sido posible encontrar el contenido solicitado en nuestro "
    "servidor.\n Esto puede ser debido a una URL mal escrita, un enlace obsoleto, o una "
    "actualización de los contenidos de nuestra Web.";
constexpr const char* kFailureButton = "Aceptar";

constexpr const char* kCloseTitle = "X";
constexpr double kCloseFontSize = 15.0;
constexpr platform::ui::Rect kCloseFrame = {0.0, 0.0, 50.0, 50.0};

// The presenter's road to the signature service, watched: once an answer has been handled, the
// screen hears of it, so that an answer that brought neither the payment page nor an outcome
// still leaves the cardholder a way out.
class WatchedSignatureRoad final : public WebViewPaymentService {
  public:
    WatchedSignatureRoad(std::shared_ptr<WebViewPaymentService> road,
                         std::function<void()> answered)
        : road_(std::move(road)), answered_(std::move(answered)) {}

    void send(std::shared_ptr<WebViewPaymentRequest> request, Success success,
              Failure failure) override {
        road_->send(
            std::move(request),
            [success = std::move(success),
             answered = answered_](std::optional<WebViewPaymentResponse> answer) {
                success(std::move(answer));
                answered();
            },
            [failure = std::move(failure), answered = answered_](SDKError error) {
                failure(std::move(error));
                answered();
            });
    }

  private:
    std::shared_ptr<WebViewPaymentService> road_;
    std::function<void()> answered_;
};

// A call on the screen that holds it alive for its duration, and does nothing once it has gone.
template <typename Call>
std::function<void()> onScreen(std::weak_ptr<WebViewPaymentController> screen, Call call) {
    return [screen = std::move(screen), call = std::move(call)] {
        if (auto shown = screen.lock()) {
            call(*shown);
        }
    };
}

bool isText(const std::optional<platform::ui::ScriptValue>& value, std::string_view containing) {
    const auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
    return text != nullptr && text->find(containing) != std::string::npos;
}

}  // namespace

// The web view's navigations and the cardholder's actions, from the view model to the screen
// while the screen lives; the screen is held for each call, since the delegate it may tell can
// let go of it.
class WebViewPaymentController::Inputs final : public platform::ui::PaymentPageViewModel::Inputs {
  public:
    void attach(std::weak_ptr<WebViewPaymentController> screen) { screen_ = std::move(screen); }

    NavigationActionPolicy navigationDecided(
        const platform::ui::NavigationAction& action) override {
        const auto screen = screen_.lock();
        return screen ? screen->decidePolicyFor(action) : NavigationActionPolicy::cancel;
    }
    void navigationStarted() override {
        run(&WebViewPaymentController::didStartProvisionalNavigation);
    }
    void navigationFinished() override { run(&WebViewPaymentController::didFinishNavigation); }
    void navigationFailed() override { run(&WebViewPaymentController::didFailNavigation); }
    void closeButtonPressed() override { run(&WebViewPaymentController::closeButtonClicked); }
    void closeRequested() override { run(&WebViewPaymentController::closeButtonClicked); }
    void appeared() override {
        if (const auto screen = screen_.lock()) {
            screen->viewDidAppear(true);
        }
    }

  private:
    void run(void (WebViewPaymentController::*action)()) const {
        if (const auto screen = screen_.lock()) {
            ((*screen).*action)();
        }
    }

    std::weak_ptr<WebViewPaymentController> screen_;
};

struct WebViewPaymentController::Private {
    Private(std::string orderNumber, double amount, std::string productDescription,
            TransactionType transactionType, std::string identifier)
        : orderNumber(std::move(orderNumber)),
          amount(amount),
          productDescription(std::move(productDescription)),
          transactionType(transactionType),
          identifier(std::move(identifier)) {}

    std::shared_ptr<WebViewPaymentResponseDelegate> delegate;
    std::shared_ptr<WebViewPaymentPresenter<WebViewPaymentController>> presenter;
    std::string orderNumber;
    double amount;
    std::string productDescription;
    TransactionType transactionType;
    std::string identifier;
    std::shared_ptr<Inputs> inputs = std::make_shared<Inputs>();
    std::shared_ptr<platform::ui::PaymentPageViewModel> model =
        std::make_shared<platform::ui::PaymentPageViewModel>(inputs);

    // Of the last appearance: its payment page has been asked for and has not come yet.
    bool awaitingPage = false;
    bool failureAlertShown = false;
    // The page has posted a form: the cardholder may have paid.
    bool formPosted = false;
    // When the screen came on screen: the journal's entries of its payment are from then on.
    std::chrono::system_clock::time_point began;
};

std::shared_ptr<WebViewPaymentController> WebViewPaymentController::create(
    std::string orderNumber, double amount, std::string productDescription,
    TransactionType transactionType, std::string identifier) {
    auto screen = std::shared_ptr<WebViewPaymentController>(
        new WebViewPaymentController(std::move(orderNumber), amount, std::move(productDescription),
                                     transactionType, std::move(identifier)));
    screen->d_->inputs->attach(screen);
    return screen;
}

WebViewPaymentController::WebViewPaymentController(std::string orderNumber, double amount,
                                                   std::string productDescription,
                                                   TransactionType transactionType,
                                                   std::string identifier)
    : BaseViewController("WebViewPaymentController"),
      d_(std::make_unique<Private>(std::move(orderNumber), amount, std::move(productDescription),
                                   transactionType, std::move(identifier))) {
    setModalPresentationStyle(platform::ui::ModalPresentationStyle::fullScreen);
}

// Let go of while on screen before it reported: the notice goes through the flow, as every report
// does, though the flow can no longer reach this screen, and so to the delegate from here.
WebViewPaymentController::~WebViewPaymentController() {
    if (!awaitsReport()) {
        return;
    }
    if (d_->presenter) {
        d_->presenter->closedWithoutOutcome(d_->formPosted);
    }
    d_->model->close();
    if (const auto delegate = d_->delegate) {
        delegate->paymentScreenClosedWithoutOutcome(d_->formPosted);
        flow::tellPaymentEnded(
            *delegate, d_->orderNumber, d_->amount, d_->began, [&](auto&&... payment) {
                return closedOutcome(PaymentFlowKind::web, d_->formPosted, payment...);
            });
    }
}

const std::shared_ptr<platform::ui::PaymentPageViewModel>& WebViewPaymentController::viewModel()
    const {
    return d_->model;
}
const std::shared_ptr<WebViewPaymentResponseDelegate>& WebViewPaymentController::delegate() const {
    return d_->delegate;
}
void WebViewPaymentController::setDelegate(
    std::shared_ptr<WebViewPaymentResponseDelegate> delegate) {
    d_->delegate = std::move(delegate);
}
const std::string& WebViewPaymentController::orderNumber() const {
    return d_->orderNumber;
}
void WebViewPaymentController::setOrderNumber(std::string orderNumber) {
    d_->orderNumber = std::move(orderNumber);
}
double WebViewPaymentController::amount() const {
    return d_->amount;
}
void WebViewPaymentController::setAmount(double amount) {
    d_->amount = amount;
}
const std::string& WebViewPaymentController::productDescription() const {
    return d_->productDescription;
}
void WebViewPaymentController::setProductDescription(std::string productDescription) {
    d_->productDescription = std::move(productDescription);
}
TransactionType WebViewPaymentController::transactionType() const {
    return d_->transactionType;
}
void WebViewPaymentController::setTransactionType(TransactionType transactionType) {
    d_->transactionType = transactionType;
}
const std::string& WebViewPaymentController::identifier() const {
    return d_->identifier;
}
void WebViewPaymentController::setIdentifier(std::string identifier) {
    d_->identifier = std::move(identifier);
}

void WebViewPaymentController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    auto road = std::make_shared<WatchedSignatureRoad>(
        webViewPaymentService(), onScreen(weak_from_this(), [](WebViewPaymentController& screen) {
            screen.signatureAnswered();
        }));
    d_->presenter = std::make_shared<WebViewPaymentPresenter<WebViewPaymentController>>(
        weak_from_this(), std::move(road));
    setupUI();
}

void WebViewPaymentController::setupUI() {
    d_->model->setBusy(false);
    d_->model->setCloseButton(
        {kCloseTitle, platform::ui::Font::boldSystemFont(kCloseFontSize), kCloseFrame, false});
}

void WebViewPaymentController::viewDidAppear(bool animated) {
    BaseViewController::viewDidAppear(animated);
    d_->awaitingPage = false;
    d_->failureAlertShown = false;
    d_->formPosted = false;
    d_->began = std::chrono::system_clock::now();
    d_->model->setBusy(true);
    if (d_->amount < 0) {
        // After this returns, so that the screen is on screen when it closes.
        platform::MainQueue::async(onScreen(weak_from_this(), [](WebViewPaymentController& screen) {
            if (screen.d_->presenter) {
                screen.d_->presenter->cancelPaymentIncorrectAmount();
            }
        }));
        return;
    }
    d_->awaitingPage = true;
    d_->presenter->loadWebViewRequest(d_->orderNumber, d_->identifier, d_->amount,
                                      d_->transactionType, d_->productDescription,
                                      [screen = weak_from_this()](platform::URLRequest page) {
                                          if (auto shown = screen.lock()) {
                                              shown->loadPage(std::move(page));
                                          }
                                      });
}

void WebViewPaymentController::loadPage(platform::URLRequest page) {
    if (!awaitsReport()) {
        return;  // closed while the page was on its way
    }
    d_->awaitingPage = false;
    d_->model->load(std::move(page));
}

void WebViewPaymentController::signatureAnswered() {
    if (d_->awaitingPage && awaitsReport()) {
        d_->awaitingPage = false;
        d_->model->setBusy(false);
        showButtonDismiss();
    }
}

void WebViewPaymentController::notifyUserOK(const WebViewPaymentResponseOK& response,
                                            bool redirect) {
    if (!takeReport()) {
        return;
    }
    if (const auto delegate = d_->delegate) {
        delegate->responsePaymentOK(response);
        flow::tellPaymentEnded(
            *delegate, d_->orderNumber, d_->amount, d_->began,
            [&](auto&&... payment) { return paymentOutcome(response, payment...); });
    }
    closeOrOfferWayOut(redirect);
}

void WebViewPaymentController::notifyUserKO(const WebViewPaymentResponseKO& response,
                                            bool redirect) {
    if (!takeReport()) {
        return;
    }
    if (const auto delegate = d_->delegate) {
        delegate->responsePaymentKO(response);
        flow::tellPaymentEnded(
            *delegate, d_->orderNumber, d_->amount, d_->began,
            [&](auto&&... payment) { return paymentOutcome(response, payment...); });
    }
    closeOrOfferWayOut(redirect);
}

void WebViewPaymentController::notifyUserClosedWithoutOutcome(bool mayHavePaid) {
    if (!takeReport()) {
        return;
    }
    d_->model->close();
    if (const auto delegate = d_->delegate) {
        delegate->paymentScreenClosedWithoutOutcome(mayHavePaid);
        flow::tellPaymentEnded(
            *delegate, d_->orderNumber, d_->amount, d_->began, [&](auto&&... payment) {
                return closedOutcome(PaymentFlowKind::web, mayHavePaid, payment...);
            });
    }
}

// The merchant's own return page stays, with the close button over it; otherwise the screen goes.
void WebViewPaymentController::closeOrOfferWayOut(bool redirect) {
    d_->awaitingPage = false;
    if (redirect) {
        showButtonDismiss();
    } else {
        d_->model->close();
    }
}

void WebViewPaymentController::showButtonDismiss() {
    d_->model->setCloseButtonVisible(true);
}

void WebViewPaymentController::showDidFailLoadWithError() {
    if (d_->failureAlertShown) {
        return;  // one alert is enough: its button closes the screen
    }
    d_->failureAlertShown = true;
    platform::ui::AlertAction accept{
        kFailureButton, platform::ui::AlertActionStyle::defaultStyle,
        onScreen(weak_from_this(), [](WebViewPaymentController& screen) { screen.exitView(); })};
    d_->model->present({kFailureTitle, kFailureMessage, {std::move(accept)}});
}

void WebViewPaymentController::closeButtonClicked() {
    exitView();
}

// Without an outcome told, closing is the presentation's report.
void WebViewPaymentController::exitView() {
    d_->awaitingPage = false;
    if (awaitsReport() && d_->presenter) {
        d_->presenter->closedWithoutOutcome(d_->formPosted);
    }
    d_->model->close();
}

NavigationActionPolicy WebViewPaymentController::decidePolicyFor(
    const platform::ui::NavigationAction& action) {
    if (!action.address) {
        return NavigationActionPolicy::cancel;
    }
    const std::string& address = *action.address;
    writeTrace(WebViewPaymentFlow::traceableAddress(address));
    d_->formPosted = d_->formPosted || action.submitsForm;
    if (d_->presenter) {
        d_->presenter->webViewNotifyUser(address);
    }
    if (awaitsReport() && WebViewPaymentFlow::isReturnAddress(address)) {
        // The result there carries no decision the library can read: the cardholder decides.
        showButtonDismiss();
    }
    return NavigationActionPolicy::allow;
}

void WebViewPaymentController::didStartProvisionalNavigation() {
    writeTrace(kNavigationStart);
    d_->model->setBusy(true);
}

void WebViewPaymentController::didFinishNavigation() {
    d_->model->evaluate(
        kPageScript, [screen = weak_from_this()](std::optional<platform::ui::ScriptValue> result,
                                                 std::optional<platform::ui::ScriptError> error) {
            auto shown = screen.lock();
            if (!shown) {
                return;
            }
            shown->d_->model->setBusy(false);
            if (error && shown->d_->presenter) {
                shown->d_->presenter->errorLoadingWebView();
            }
            if (isText(result, kDataRefused) && shown->d_->presenter) {
                shown->d_->presenter->errorLoadingWebView();
            }
            writeTrace(kNavigationFinish);
        });
}

void WebViewPaymentController::didFailNavigation() {
    // Once the outcome is out, a return page that does not load changes nothing for the
    // cardholder, and an alert would stand over the merchant's page.
    if (awaitsReport() && d_->presenter) {
        d_->presenter->showErrorFailLoadURLRequest();
    }
}

}  // namespace vanto
