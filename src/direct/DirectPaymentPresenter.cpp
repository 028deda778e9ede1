#include "vanto/direct/DirectPaymentPresenter.h"

#include <chrono>
#include <string>
#include <utility>
#include <variant>

#include "flow/Acceptance.h"
#include "journal/PaymentTrail.h"
#include "vanto/encoding/Encode.h"

namespace vanto {
namespace {

using Decision = std::variant<DirectPaymentResponseOK, DirectPaymentResponseKO>;

// Tells `view` the outcome, unless it has gone away; whether it reached the view's user.
bool report(const ViewSource<DirectPaymentViewProtocol>& view, const Decision& decision) {
    auto shown = view();
    if (!shown) {
        return false;
    }
    if (const auto* accepted = std::get_if<DirectPaymentResponseOK>(&decision)) {
        shown->notifyUserOK(*accepted);
    } else {
        shown->notifyUserKO(std::get<DirectPaymentResponseKO>(decision));
    }
    return shown->outcomeReached();
}

DirectPaymentResponseKO refusalOf(const SDKError& error) {
    return DirectPaymentResponseKO(error.code(), error.errorDescription());
}

// How the gateway's answer ends the payment.
Decision decide(const std::optional<DirectPaymentResponse>& answer) {
    if (!answer) {
        // The transport always delivers an answer; should another road not, the payment still
        // ends, so that the screen is never left waiting.
        return refusalOf(SDKError::internalError());
    }
    if (answer->code != 0) {
        return DirectPaymentResponseKO(answer->code, answer->desc);
    }
    const std::optional<std::string> response =
        answer->datosRespuesta ? answer->datosRespuesta->Ds_Response : std::nullopt;
    const auto number = response ? acceptance::responseNumber(*response) : std::nullopt;
    if (number && acceptance::accepted(*number, answer->datosRespuesta->Ds_AuthorisationCode)) {
        return DirectPaymentResponseOK(*answer);
    }
    return DirectPaymentResponseKO(acceptance::kRefused, response.value_or(""));
}

JournalOutcome outcomeOf(const Decision& decision) {
    if (const auto* accepted = std::get_if<DirectPaymentResponseOK>(&decision)) {
        return JournalOutcome{true, accepted->code, accepted->Ds_AuthorisationCode, accepted->desc};
    }
    const auto& refused = std::get<DirectPaymentResponseKO>(decision);
    return JournalOutcome{false, refused.code, "", refused.desc};
}

journal::StepWrite delivered(const Decision& decision, bool inDoubt = false) {
    journal::StepWrite step{PaymentStep::delivered};
    step.outcome = outcomeOf(decision);
    step.inDoubt = inDoubt;
    return step;
}

// The answer as the journal records it where it arrives, before the hand-over to the main queue:
// a decision of the gateway, or a failure that leaves the payment in doubt or not sent.
journal::StepWrite arrivalOf(const Result<DirectPaymentResponse>& result) {
    if (result.isSuccess()) {
        journal::StepWrite step{PaymentStep::answered};
        step.outcome = outcomeOf(decide(result.value()));
        return step;
    }
    return journal::afterFailure(result.error(), outcomeOf(refusalOf(result.error())));
}

// Sends a payment the journal holds as sent: its answer recorded where it arrives, and its
// delivery once the view has it.
void sendRecorded(DirectPaymentService& service, std::shared_ptr<DirectPaymentRequest> request,
                  std::shared_ptr<journal::PaymentTrail> trail,
                  const ViewSource<DirectPaymentViewProtocol>& view,
                  std::shared_ptr<const void> keepAlive) {
    service.sendNotingArrival(
        std::move(request),
        [trail](const Result<DirectPaymentResponse>& result) { trail->note(arrivalOf(result)); },
        [view, trail, keepAlive](std::optional<DirectPaymentResponse> answer) {
            const auto decision = decide(answer);
            if (report(view, decision)) {
                trail->note(delivered(decision));
            }
        },
        [view, trail, keepAlive](SDKError error) {
            const Decision refusal = refusalOf(error);
            if (report(view, refusal)) {
                trail->note(delivered(refusal, journal::afterFailure(error, {}).inDoubt));
            }
        });
}

}  // namespace

// Held weakly: the payment's own closures keep its trail, and let go of it once its outcome has
// been handled, which ends the payment under way.
struct DirectPaymentFlow::Current {
    std::weak_ptr<journal::PaymentTrail> trail;
};

DirectPaymentFlow::DirectPaymentFlow(ViewSource<DirectPaymentViewProtocol> view,
                                     std::shared_ptr<DirectPaymentService> service)
    : view_(std::move(view)), service_(std::move(service)), current_(std::make_shared<Current>()) {}

void DirectPaymentFlow::makePayment(std::string_view pan, std::string_view cvv2,
                                    std::string_view expiryDate, double amount,
                                    std::string_view orden, std::string_view identifier,
                                    TransactionType transactionType,
                                    std::string_view productDescription,
                                    std::shared_ptr<const void> keepAlive) const {
    const auto hundredths = acceptance::payableAmount(amount);
    if (!hundredths) {
        refuseAmount();
        return;
    }
    const std::string code = transactionTypeCode(transactionType);
    if (code.empty()) {
        report(view_, refusalOf(SDKError::internalError()));
        return;
    }
    const auto preparedAt = std::chrono::system_clock::now();
    auto request = std::make_shared<DirectPaymentRequest>(Encode::encodeStringDirectPayment(
        pan, cvv2, expiryDate, *hundredths, orden, identifier, "true", code, productDescription));
    // Prepared and sent are committed together, just before the request leaves: a payment that
    // never got that far has nothing to record, and the disk is waited for once.
    auto payment = journal::paymentOf(PaymentFlowKind::direct, orden, amount, transactionType);
    payment.cardLastFour = journal::lastFour(pan);
    journal::StepWrite prepared{PaymentStep::prepared};
    prepared.at = preparedAt;
    auto begun = journal::PaymentTrail::begin(std::move(payment), {prepared, {PaymentStep::sent}});
    if (begun.refusal) {
        request->wipeBody();
        report(view_, DirectPaymentResponseKO(begun.refusal->code, begun.refusal->text));
        return;
    }
    if (begun.trail) {
        current_->trail = begun.trail;
        sendRecorded(*service_, std::move(request), std::move(begun.trail), view_,
                     std::move(keepAlive));
        return;
    }
    service_->send(
        std::move(request),
        [view = view_, keepAlive](std::optional<DirectPaymentResponse> answer) {
            report(view, decide(answer));
        },
        [view = view_, keepAlive](SDKError error) { report(view, refusalOf(error)); });
}

void DirectPaymentFlow::cancel() const {
    report(view_,
           DirectPaymentResponseKO(acceptance::kRefused, std::string(acceptance::kCancelled)));
}

void DirectPaymentFlow::refuseAmount() const {
    report(view_, DirectPaymentResponseKO(acceptance::kLibraryError,
                                          std::string(acceptance::kInvalidAmountText)));
}

// The journal holds a direct payment from the moment its request is sent: whatever the screen
// believed, a payment under way here may have been charged.
void DirectPaymentFlow::closedWithoutOutcome(bool mayHavePaid) const {
    if (const auto trail = std::exchange(current_->trail, {}).lock()) {
        trail->note({PaymentStep::closedWithoutOutcome,
                     "the screen closed with the request on its way: the gateway may have "
                     "charged the card"});
    }
    if (auto shown = view_()) {
        shown->notifyUserClosedWithoutOutcome(mayHavePaid);
    }
}

}  // namespace vanto
