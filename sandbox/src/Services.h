#pragma once

#include <optional>
#include <span>
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
    /// The session cookie of the JSON services that the request carried, when this sandbox
    /// issued it.
    std::optional<std::string> sessionCookie;
    /// The payment page's cookie that the request carried, when this sandbox issued it.
    std::optional<std::string> pageCookie;
    /// "host:port" under which the client reached the sandbox.
    std::string authority;
};

/// POST /zel/virtualControllerV2/pagoVirtual
void serveDirectPayment(Exchange& exchange);
/// POST /zel/virtualControllerV2/generaFirmaPagoVirtual
void serveSignature(Exchange& exchange);
/// GET or POST /zel/realizarPago: checks the signed parameters and shows the card form.
void servePaymentPage(Exchange& exchange);
/// POST of the card form: decides the payment and sends the browser to the return address, or
/// to the authentication page first.
void serveCardForm(Exchange& exchange);
/// POST of the authentication page: sends the browser to the return address.
void serveAuthentication(Exchange& exchange);
/// GET /sandbox/<name>: the page of a return address that is not a web address.
void serveReturnPage(Exchange& exchange);
/// Any other address.
void serveNotFound(Exchange& exchange);

/// The path to which the card form posts.
inline constexpr std::string_view kCardFormPath = "/sandbox/pago";
/// The path to which the authentication page posts.
inline constexpr std::string_view kAuthenticationPath = "/sandbox/autenticacion";
/// The directory of the sandbox's own return pages.
inline constexpr std::string_view kReturnPagePrefix = "/sandbox/";

/// Where a fault acts: the JSON services answer in JSON terms, the pages in HTML.
enum class FaultTarget { jsonService, page };

/// Answers as the fault says, its delay added to the answer's. True when the answer is made (or
/// the connection abandoned); false when the handler is to answer normally (after the delay, or,
/// from a JSON service, with only the head of its normal answer going out).
bool answerWithFault(Exchange& exchange, const Fault& fault, FaultTarget target);

/// The fault for every request, applied as answerWithFault does.
bool answerWithFaultForAll(Exchange& exchange, FaultTarget target);

/// The fault of an order number (set in process, else its FAULT_ switch), applied as
/// answerWithFault does.
bool answerWithFaultForOrder(Exchange& exchange, const std::string& orderNumber,
                             FaultTarget target);

/// Whether the request's body is a form: Content-Type application/x-www-form-urlencoded
/// (parameters such as a charset allowed) and no longer than the sandbox reads.
bool hasFormBody(const HttpRequest& request);

/// JSON documents nested more deeply than this are refused unread: their depth would only be
/// a way to exhaust the stack of whoever walks them.
inline constexpr std::size_t kMostJsonLevels = 64;

/// Whether no object or array in the JSON text `json` lies more than `mostLevels` deep.
bool nestedWithin(std::string_view json, std::size_t mostLevels);

/// `json` parsed; a discarded value when it is not JSON or is nested more than kMostJsonLevels
/// deep.
nlohmann::ordered_json parseJson(std::string_view json);

/// Whether every one of `keys` is a member of `object` whose value is a JSON string.
bool allTexts(const nlohmann::ordered_json& object, std::span<const std::string_view> keys);

/// A text member of a JSON object, or "" when it is absent or not a string.
std::string text(const nlohmann::ordered_json& object, std::string_view key);

/// Compact JSON text of a value, as the sandbox sends it.
std::string compactJson(const nlohmann::ordered_json& value);

/// The members of the signature service's "parametros", which the payment page also requires
/// of its Ds_MerchantParameters.
inline constexpr std::string_view kPageParameterMembers[] = {
    "Ds_Merchant_Order",
    "Ds_Merchant_Amount",
    "Ds_Merchant_ProductDescription",
    "Ds_Merchant_Identifier",
    "Ds_Merchant_TransactionType",
    "Ds_Merchant_DirectPayment",
    "Ds_Merchant_UrlKO",
    "Ds_Merchant_UrlOK",
    "Ds_Merchant_Terminal",
    "Ds_Merchant_MerchantCode",
    "Ds_Merchant_Currency",
    "Ds_Merchant_MerchantURL",
    "Ds_Merchant_MerchantData",
    "Ds_Merchant_Group",
    "Ds_Merchant_PayMethods",
    "Ds_Merchant_MerchantName",
    "Ds_Merchant_Titular",
    "Ds_Merchant_ConsumerLanguage",
    "Ds_Merchant_Module",
    "Ds_merchant_MerchantDescriptor",
};

}  // namespace vanto::sandbox::detail
