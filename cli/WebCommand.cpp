#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <variant>

#include "Commands.h"
#include "PaymentOptions.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/platform/SecureWipe.h"
#include "vanto/sandbox/HeadlessBrowser.h"
#include "vanto/transport/Trace.h"
#include "vanto/transport/TraceSink.h"
#include "vanto/web/WebViewPaymentPresenter.h"

namespace vanto::cli {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kRefusedData = "Error en datos enviados. Contacte con su comercio";

// The view of a web payment without a screen: it keeps the one outcome, and notes when the page
// could not go on.
class OutcomeView : public WebViewPaymentViewProtocol {
  public:
    void notifyUserOK(const WebViewPaymentResponseOK& response, bool) override {
        if (!outcome) {
            outcome = response;
        }
    }
    void notifyUserKO(const WebViewPaymentResponseKO& response, bool) override {
        if (!outcome) {
            outcome = response;
        }
    }
    void showButtonDismiss() override { stuck = true; }
    void showDidFailLoadWithError() override { stuck = true; }

    std::optional<WebOutcome> outcome;
    bool stuck = false;
};

using Presenter = WebViewPaymentPresenter<OutcomeView>;

// Works through the payment page as a cardholder would, handing every navigation to the
// presenter as a web view does, until an outcome.
void browse(const platform::URLRequest& pageRequest, const Payment& payment,
            const std::string& trustAnchor, Presenter& presenter, OutcomeView& view,
            std::string& problem) {
    sandbox::HeadlessBrowser browser(trustAnchor);
    sandbox::PageWalk walk;
    walk.navigation = [&](const std::string& address) {
        if (view.outcome) {
            return false;  // the outcome is out: the screen would close here
        }
        writeTrace(WebViewPaymentFlow::traceableAddress(address));
        writeTrace("Navigation Start.................");
        presenter.webViewNotifyUser(address);
        return !view.outcome;
    };
    walk.finished = [&](const sandbox::HeadlessBrowser::Page& page) {
        writeTrace("Navigation Finish.........................");
        if (page.body.find(kRefusedData) != std::string::npos) {
            presenter.errorLoadingWebView();
            problem = "the payment page refused the payment's data";
            return false;
        }
        return true;
    };
    const std::string ended = sandbox::walkPaymentPage(
        browser, pageRequest, {payment.pan, payment.typedExpiry, payment.cvv}, walk);
    if (!view.outcome && problem.empty()) {
        problem = ended.empty() ? "the payment page did not come back to a return address" : ended;
        if (!ended.empty()) {
            presenter.showErrorFailLoadURLRequest();
        }
    }
}

}  // namespace

std::optional<WebOutcome> webPayment(Payment& payment, const std::string& trustAnchor,
                                     std::string& problem) {
    auto view = std::make_shared<OutcomeView>();
    auto presenter = std::make_shared<Presenter>(view);
    std::optional<platform::URLRequest> pageRequest;
    presenter->loadWebViewRequest(payment.order, payment.identifier, payment.amount, payment.type,
                                  payment.description,
                                  [&](platform::URLRequest request) { pageRequest = std::move(request); });
    if (!platform::MainQueue::runUntil([&] { return pageRequest || view->outcome; }, 180s)) {
        problem = "the signature service gave no payment page within three minutes";
    } else if (pageRequest) {
        browse(*pageRequest, payment, trustAnchor, *presenter, *view, problem);
    }
    platform::secureWipe(payment.pan);
    platform::secureWipe(payment.cvv);
    platform::secureWipe(payment.typedExpiry);
    return view->outcome;
}

int runWeb(PaymentOptions& options, bool headless, std::istream& in, std::ostream& out,
           std::ostream& err) {
    if (!headless) {
        err << "vanto web: this build has no payment page window; use --headless\n";
        return kExitBadInput;
    }
    std::string problem;
    auto payment = checkPayment(options, in, problem);
    platform::secureWipe(options.card);
    platform::secureWipe(options.cvv);
    platform::secureWipe(options.expiry);
    if (!payment) {
        err << "vanto web: " << problem << '\n';
        return kExitBadInput;
    }
    const auto gateway = GatewayForRun::prepare(options, problem);
    if (!gateway) {
        err << "vanto web: " << problem << '\n';
        return kExitCannotRun;
    }
    const auto outcome = webPayment(*payment, gateway->trustAnchor(), problem);
    if (!outcome) {
        err << "vanto web: no outcome: " << problem << '\n';
        return kExitCannotRun;
    }
    if (const auto* accepted = std::get_if<WebViewPaymentResponseOK>(&*outcome)) {
        out << maskCardData(accepted->toJSON()) << '\n';
        return kExitOk;
    }
    const auto& refused = std::get<WebViewPaymentResponseKO>(*outcome);
    out << refusalJson(refused.code, refused.desc) << '\n';
    return kExitFailure;
}

}  // namespace vanto::cli
