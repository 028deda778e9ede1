#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <variant>

#include "Commands.h"
#include "PaymentOptions.h"
#include "ScreensProgram.h"
#include "vanto/journal/PaymentJournal.h"
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

// The view of a web payment without a screen: it keeps the one outcome and passes it on, if told
// to, before the journal records it delivered, and notes when the page could not go on.
class OutcomeView : public WebViewPaymentViewProtocol {
  public:
    explicit OutcomeView(const OutcomeTeller<WebOutcome>& tell) : tell_(tell) {}
    void notifyUserOK(const WebViewPaymentResponseOK& response, bool) override { keep(response); }
    void notifyUserKO(const WebViewPaymentResponseKO& response, bool) override { keep(response); }
    bool outcomeReached() const override { return reached_; }
    void showButtonDismiss() override { stuck = true; }
    void showDidFailLoadWithError() override { stuck = true; }

    std::optional<WebOutcome> outcome;
    bool stuck = false;

  private:
    void keep(WebOutcome given) {
        if (outcome) {
            reached_ = false;  // a second outcome is not passed on
            return;
        }
        outcome = std::move(given);
        reached_ = !tell_ || tell_(*outcome);
    }
    OutcomeTeller<WebOutcome> tell_;
    bool reached_ = false;
};

using Presenter = WebViewPaymentPresenter<OutcomeView>;

// Works through the payment page as a cardholder would, handing every navigation to the
// presenter as a web view does, until an outcome. Whether a form of the page was posted, as the
// screen tells it, goes to `formPosted`.
void browse(const platform::URLRequest& pageRequest, const Payment& payment,
            const std::string& trustAnchor, Presenter& presenter, OutcomeView& view,
            bool& formPosted, std::string& problem) {
    sandbox::HeadlessBrowser browser(trustAnchor);
    sandbox::PageWalk walk;
    bool pageLoaded = false;
    walk.navigation = [&](const std::string& address) {
        if (view.outcome) {
            return false;  // the outcome is out: the screen would close here
        }
        // After the first page, the walk goes on only by posting a page's form.
        formPosted = formPosted || pageLoaded;
        writeTrace(WebViewPaymentFlow::traceableAddress(address));
        writeTrace("Navigation Start.................");
        presenter.webViewNotifyUser(address);
        return !view.outcome;
    };
    walk.finished = [&](const sandbox::HeadlessBrowser::Page& page) {
        pageLoaded = true;
        writeTrace("Navigation Finish.........................");
        if (page.body.find(kRefusedData) != std::string::npos) {
            presenter.errorLoadingWebView();
            problem = "the payment page refused the payment's data";
            return false;
        }
        return true;
    };
    // The browser takes the card data as plain texts: they are wiped as soon as the walk ends.
    sandbox::CardholderEntry entry{std::string(payment.pan.view()),
                                   std::string(payment.typedExpiry.view()),
                                   std::string(payment.cvv.view())};
    const std::string ended = sandbox::walkPaymentPage(browser, pageRequest, entry, walk);
    platform::secureWipe(entry.number);
    platform::secureWipe(entry.expiry);
    platform::secureWipe(entry.cvv);
    if (!view.outcome && problem.empty()) {
        problem = ended.empty() ? "the payment page did not come back to a return address" : ended;
        if (!ended.empty()) {
            presenter.showErrorFailLoadURLRequest();
        }
    }
}

}  // namespace

std::optional<WebOutcome> webPayment(Payment& payment, const std::string& trustAnchor,
                                     std::string& problem, const OutcomeTeller<WebOutcome>& tell) {
    auto view = std::make_shared<OutcomeView>(tell);
    auto presenter = std::make_shared<Presenter>(view);
    std::optional<platform::URLRequest> pageRequest;
    presenter->loadWebViewRequest(
        payment.order, payment.identifier, payment.amount, payment.type, payment.description,
        [&](platform::URLRequest request) { pageRequest = std::move(request); });
    bool formPosted = false;
    if (!platform::MainQueue::runUntil([&] { return pageRequest || view->outcome; }, 180s)) {
        problem = "the signature service gave no payment page within three minutes";
    } else if (pageRequest) {
        browse(*pageRequest, payment, trustAnchor, *presenter, *view, formPosted, problem);
    }
    if (!view->outcome) {
        // The command ends here as a screen closed without an outcome would.
        presenter->closedWithoutOutcome(formPosted);
    }
    payment.wipeCardData();
    return view->outcome;
}

bool writeOutcomeLine(const WebOutcome& outcome, std::ostream& out) {
    if (const auto* accepted = std::get_if<WebViewPaymentResponseOK>(&outcome)) {
        out << maskCardData(accepted->toJSON()) << '\n';
    } else {
        const auto& refused = std::get<WebViewPaymentResponseKO>(outcome);
        out << refusalJson(refused.code, refused.desc) << '\n';
    }
    return out.flush().good();
}

int reportWebOutcome(const std::optional<WebOutcome>& outcome, const std::string& problem,
                     PaymentJournal& journal, const std::string& order, std::ostream& out,
                     std::ostream& err) {
    const bool written = outcome && writeOutcomeLine(*outcome, out);
    return webStatus(outcome, written, problem, journal, order, err);
}

int webStatus(const std::optional<WebOutcome>& outcome, bool written, const std::string& problem,
              PaymentJournal& journal, const std::string& order, std::ostream& err) {
    if (outcome && !written) {
        err << notToldLine("web", order) << '\n';
        return kExitNotTold;
    }
    if (outcome && journal.recordWaitingSteps() > 0) {
        err << notRecordedLine("web", order) << '\n';
        return kExitNotRecorded;
    }
    if (outcome) {
        return outcomeStatus(outcomeOf(*outcome, journal, order), "web", err);
    }
    if (leftInDoubt(journal, order)) {
        err << inDoubtLine("web", order) << '\n';
        return kExitInDoubt;
    }
    err << "vanto web: no outcome: " << maskCardData(problem) << '\n';
    return kExitCannotRun;
}

int checkWindowOptions(const PaymentOptions& options, std::optional<CheckedPayment>& checked,
                       std::string& problem) {
    if (hasCardOptions(options)) {
        problem =
            "--card, --expiry and --cvv go with --headless; in the window the cardholder "
            "types them into the page";
        return kExitBadInput;
    }
    auto order = checkOrder(options, problem);
    auto gateway = order ? checkGateway(options, problem) : std::nullopt;
    if (!gateway) {
        return kExitBadInput;
    }
    if (!canOpenWindows()) {
        problem = "no display to show the payment page on; use --headless";
        return kExitCannotRun;
    }
    checked = CheckedPayment{std::move(*order), std::move(*gateway)};
    return kExitOk;
}

int runHeadlessWeb(PaymentOptions& options, CardInput& input, std::ostream& out,
                   std::ostream& err) {
    std::string problem;
    auto checked = checkPayment(options, input, problem);
    if (!checked) {
        err << "vanto web: " << problem << '\n';
        return kExitBadInput;
    }
    const auto journal = JournalForRun::start(options.journal, problem);
    const auto gateway =
        journal ? GatewayForRun::start(checked->gateway, options, problem) : nullptr;
    if (!gateway) {
        checked->payment.wipeCardData();
        err << "vanto web: " << maskCardData(problem) << '\n';
        return kExitCannotRun;
    }
    if (const auto cannot = journal->problem(); !cannot.empty()) {
        err << "vanto web: " << maskCardData(cannot) << '\n';
    }
    bool written = false;
    const auto outcome = webPayment(checked->payment, gateway->trustAnchor(), problem,
                                    [&](const WebOutcome& received) {
                                        written = writeOutcomeLine(received, out);
                                        return written;
                                    });
    return webStatus(outcome, written, problem, journal->journal(), checked->payment.order, err);
}

}  // namespace vanto::cli
