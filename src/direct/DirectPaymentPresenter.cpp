#include "vanto/direct/DirectPaymentPresenter.h"

#include <string>

#include "flow/Acceptance.h"
#include "vanto/encoding/Encode.h"

namespace vanto {
namespace {

// Tells `view` the outcome, unless it has gone away.
void report(const ViewSource<DirectPaymentViewProtocol>& view, const DirectPaymentResponseKO& ko) {
    if (auto shown = view()) {
        shown->notifyUserKO(ko);
    }
}

void report(const ViewSource<DirectPaymentViewProtocol>& view, const DirectPaymentResponseOK& ok) {
    if (auto shown = view()) {
        shown->notifyUserOK(ok);
    }
}

// How the gateway's answer ends the payment.
void classify(const ViewSource<DirectPaymentViewProtocol>& view,
              const std::optional<DirectPaymentResponse>& answer) {
    if (!answer) {
        // The transport always delivers an answer; should another road not, the payment still
        // ends, so that the screen is never left waiting.
        const auto error = SDKError::internalError();
        report(view, DirectPaymentResponseKO(error.code(), error.errorDescription()));
        return;
    }
    if (answer->code != 0) {
        report(view, DirectPaymentResponseKO(answer->code, answer->desc));
        return;
    }
    const std::optional<std::string> response =
        answer->datosRespuesta ? answer->datosRespuesta->Ds_Response : std::nullopt;
    const auto number = response ? acceptance::responseNumber(*response) : std::nullopt;
    if (number && acceptance::accepted(*number, answer->datosRespuesta->Ds_AuthorisationCode)) {
        report(view, DirectPaymentResponseOK(*answer));
        return;
    }
    report(view, DirectPaymentResponseKO(acceptance::kRefused, response.value_or("")));
}

}  // namespace

DirectPaymentFlow::DirectPaymentFlow(ViewSource<DirectPaymentViewProtocol> view,
                                     std::shared_ptr<DirectPaymentService> service)
    : view_(std::move(view)), service_(std::move(service)) {}

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
        const auto error = SDKError::internalError();
        report(view_, DirectPaymentResponseKO(error.code(), error.errorDescription()));
        return;
    }
    auto request = std::make_shared<DirectPaymentRequest>(Encode::encodeStringDirectPayment(
        pan, cvv2, expiryDate, *hundredths, orden, identifier, "true", code, productDescription));
    service_->send(
        std::move(request),
        [view = view_, keepAlive](std::optional<DirectPaymentResponse> answer) {
            classify(view, answer);
        },
        [view = view_, keepAlive](SDKError error) {
            report(view, DirectPaymentResponseKO(error.code(), error.errorDescription()));
        });
}

void DirectPaymentFlow::cancel() const {
    report(view_,
           DirectPaymentResponseKO(acceptance::kRefused, std::string(acceptance::kCancelled)));
}

void DirectPaymentFlow::refuseAmount() const {
    report(view_, DirectPaymentResponseKO(acceptance::kLibraryError,
                                          std::string(acceptance::kInvalidAmountText)));
}

void DirectPaymentFlow::closedWithoutOutcome(bool mayHavePaid) const {
    if (auto shown = view_()) {
        shown->notifyUserClosedWithoutOutcome(mayHavePaid);
    }
}

}  // namespace vanto
