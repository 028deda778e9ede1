#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "GatewayState.h"
#include "HttpsServer.h"

namespace vanto::sandbox::detail {

/// One request being answered, with what the sandbox learnt about it before routing.
struct Exchange {
    GatewayState& state;
    const HttpRequest& request;
    HttpResponse& response;
    /// The session cookie the request carried, when this sandbox issued it.
    std::optional<std::string> sessionCookie;
    /// "host:port" under which the client reached the sandbox.
    std::string authority;
};

/// POST /zel/virtualControllerV2/pagoVirtual
void serveDirectPayment(Exchange& exchange);
/// POST /zel/virtualControllerV2/generaFirmaPagoVirtual
void serveSignature(Exchange& exchange);
/// GET or POST /zel/realizarPago: checks the signed parameters and shows the card form.
void servePaymentPage(Exchange& exchange);
/// POST of the card form: decides the payment and sends the browser to the return address.
void serveCardForm(Exchange& exchange);
/// GET /sandbox/<name>: the page of a return address that is not a web address.
void serveReturnPage(Exchange& exchange);
/// Any other address.
void serveNotFound(Exchange& exchange);

/// The path to which the card form posts.
inline constexpr std::string_view kCardFormPath = "/sandbox/pago";
/// The directory of the sandbox's own return pages.
inline constexpr std::string_view kReturnPagePrefix = "/sandbox/";

/// Where a fault acts.
enum class FaultTarget { jsonService, paymentPage };

/// Waits the fault's delay, then answers as the fault says. True when the answer is made (or the
/// connection abandoned); false when the handler is to answer normally.
bool answerWithFault(Exchange& exchange, const Fault& fault, FaultTarget target);

/// The fault for every request, applied as answerWithFault does.
bool answerWithFaultForAll(Exchange& exchange, FaultTarget target);

/// The fault of an order number, applied as answerWithFault does.
bool answerWithFaultForOrder(Exchange& exchange, const std::string& orderNumber,
                             FaultTarget target);

/// A text member of a JSON object: the text; "" when absent or null; nullopt for another type.
std::optional<std::string> textMember(const nlohmann::ordered_json& object, std::string_view key);

/// Compact JSON text of a value, as the sandbox sends it.
std::string compactJson(const nlohmann::ordered_json& value);

}  // namespace vanto::sandbox::detail
