#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/testing/Export.h"
#include "vanto/transport/Manager.h"
#include "vanto/transport/RequestService.h"
#include "vanto/web/WebViewPaymentRequest.h"
#include "vanto/web/WebViewPaymentResponse.h"

/// A fake of the gateway for an application's own unit tests: the presenters and screens run
/// whole, and nothing leaves the process.
namespace vanto::testing {

/// The JSON text of the "mensaje" of a signed request text (an envelope), or "" when the text is
/// not such an envelope.
VANTO_TESTING_EXPORT std::string envelopeMessage(std::string_view envelope);

/// The message a request sends: the JSON text of its envelope's "mensaje". A direct payment's
/// message holds the card data it was given: keep it in the test.
template <typename Answer>
std::string messageOf(const EnvelopeRequest<Answer>& request) {
    return envelopeMessage(request.datosEntrada().view());
}

/// A gateway service that sends nothing: it keeps each request with its callbacks, and the test
/// answers them when it chooses, on its own thread (the main queue's, in a test). Install it for a
/// flow with setDirectPaymentService or setWebViewPaymentService (or hand it to a presenter), and
/// ProcessState::reset() puts the library's own road back.
///
/// A call left unanswered holds its presenter, and through it this service: a test that leaves
/// calls unanswered clears `calls` when it ends.
template <typename Request>
class FakeGatewayService : public GatewayService<Request> {
  public:
    using typename GatewayService<Request>::Answer;
    using typename GatewayService<Request>::Success;
    using typename GatewayService<Request>::Failure;

    /// One request sent, and what to call with its outcome.
    struct Call {
        std::shared_ptr<Request> request;
        Success success;
        Failure failure;
    };

    void send(std::shared_ptr<Request> request, Success success, Failure failure) override {
        calls.push_back({std::move(request), std::move(success), std::move(failure)});
    }

    /// The message of the last request sent (see messageOf).
    std::string lastMessage() const {
        if (calls.empty()) {
            throw std::logic_error("FakeGatewayService: lastMessage() with no call waiting");
        }
        return messageOf(*calls.back().request);
    }

    /// Answers the oldest call not answered yet with the gateway's answer (nullopt: an empty one).
    void answer(std::optional<Answer> answer) { take().success(std::move(answer)); }
    /// Ends the oldest call not answered yet with a failure of the transport.
    void fail(SDKError error) { take().failure(std::move(error)); }

    /// The calls not answered yet, oldest first. Clearing it forgets them, which lets their
    /// presenters go.
    std::vector<Call> calls;

  private:
    // A test that answers a call the flow never made fails at once, with a message, instead of
    // reading past the list.
    Call take() {
        if (calls.empty()) {
            throw std::logic_error(
                "FakeGatewayService: answer() or fail() with no call waiting for an answer (the "
                "flow made no call, or every call was answered already)");
        }
        Call call = std::move(calls.front());
        calls.erase(calls.begin());
        return call;
    }
};

using FakeDirectPaymentService = FakeGatewayService<DirectPaymentRequest>;
using FakeWebViewPaymentService = FakeGatewayService<WebViewPaymentRequest>;

/// The gateway's answer to an accepted direct payment: code 0, `Ds_Response` "0000" and the
/// authorisation code, with the card's details masked as the gateway sends them.
VANTO_TESTING_EXPORT DirectPaymentResponse
acceptedDirectPayment(std::string authorisationCode = "123456");
/// The gateway's answer to a direct payment the issuer declined: code 0 with `dsResponse`.
VANTO_TESTING_EXPORT DirectPaymentResponse declinedDirectPayment(std::string dsResponse = "0190");
/// The gateway's error answer: `code` and its text, no payment details.
VANTO_TESTING_EXPORT DirectPaymentResponse directPaymentError(std::int64_t code, std::string desc);

/// The signature service's answer with the payment page's three signed values.
VANTO_TESTING_EXPORT WebViewPaymentResponse signedPaymentPage();

/// How a web payment ended, for a return address made by returnAddress().
enum class PageResult {
    accepted,   ///< Ds_Response "0000" with an authorisation code, the card masked
    declined,   ///< Ds_Response "0190", the issuer's refusal
    cancelled,  ///< Ds_Response "9915", the cardholder pressed cancel on the page
    malformed,  ///< Ds_MerchantParameters that is not Base64 of JSON
};

/// The address the payment page sends the cardholder back to after `result`, as the screen reads
/// it: `base` (the configuration's appURLOK or appURLKO, "REDIR_URL_OK" by default) followed by
/// the gateway's query, its Ds_MerchantParameters the Base64 of the result for `order` and
/// `amount` (hundredths, as the gateway writes them). Hand it to the web payment presenter's
/// webViewNotifyUser(), or to the screen's navigation decision, as a page would.
VANTO_TESTING_EXPORT std::string returnAddress(std::string_view base, PageResult result,
                                               std::string_view order = "ORDER1",
                                               std::string_view amount = "1999");

}  // namespace vanto::testing
