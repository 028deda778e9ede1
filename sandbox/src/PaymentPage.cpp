// The hosted payment page: the signed entry, the card form, the authentication step and the
// return to the merchant.

#include <algorithm>
#include <ctime>
#include <string>

#include "Crypto.h"
#include "Pages.h"
#include "Payment.h"
#include "Services.h"
#include "Text.h"
#include "vanto/text/UrlText.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace vanto::sandbox::detail {

namespace {

using Json = nlohmann::ordered_json;
using Fields = std::vector<std::pair<std::string, std::string>>;

constexpr std::string_view kSignatureVersion = "HMAC_SHA256_V1";
constexpr std::string_view kRequestReference = "REQUIRED";
constexpr std::string_view kHtml = "text/html; charset=utf-8";
/// Ds_Response of a payment the cardholder cancelled, and of one the issuer could not handle.
constexpr std::string_view kCancelledByCardholder = "9915";
constexpr std::string_view kIssuerError = "0909";

void answerPage(Exchange& exchange, std::string html, int status = 200) {
    exchange.response.status = status;
    exchange.response.setContent(std::move(html), kHtml);
}

/// A page that takes card data or stands for a payment in progress: never stored by a cache,
/// never shown inside another site's frame, and its address never sent on as a referrer.
void answerCardPage(Exchange& exchange, std::string html) {
    answerPage(exchange, std::move(html));
    HttpResponse& response = exchange.response;
    response.setHeader("Cache-Control", "no-store");
    response.setHeader("Referrer-Policy", "no-referrer");
    response.setHeader("Content-Security-Policy", "frame-ancestors 'none'");
    response.setHeader("X-Frame-Options", "DENY");
}

/// The decoded Ds_MerchantParameters of the posted fields, when they decode to a JSON object.
std::optional<Json> decodeParameters(const std::string& merchantParameters) {
    const std::optional<std::string> decoded = base64Decode(merchantParameters);
    if (!decoded) {
        return std::nullopt;
    }
    Json parameters = parseJson(*decoded);
    return parameters.is_object() ? std::optional<Json>(std::move(parameters)) : std::nullopt;
}

/// A reference the order asks to pay with, or nullopt for "" and "REQUIRED".
std::optional<std::string> referenceOf(const Json& parameters) {
    std::string identifier = text(parameters, "Ds_Merchant_Identifier");
    if (identifier.empty() || identifier == kRequestReference) {
        return std::nullopt;
    }
    return identifier;
}

OrderSwitches switchesOf(const PageOrder& order) {
    return readOrderSwitches(text(order.parameters, "Ds_Merchant_Order"));
}

CardFormView formView(Exchange& exchange, const PageOrder& order, std::string pageId) {
    const Json& parameters = order.parameters;
    CardFormView view;
    view.merchantName = text(parameters, "Ds_Merchant_MerchantName");
    if (view.merchantName.empty()) {
        view.merchantName = "Comercio " + order.merchant.merchantCode;
    }
    view.orderNumber = text(parameters, "Ds_Merchant_Order");
    view.description = text(parameters, "Ds_Merchant_ProductDescription");
    view.amount = formatAmount(text(parameters, "Ds_Merchant_Amount"),
                               text(parameters, "Ds_Merchant_Currency"));
    view.pageId = std::move(pageId);
    if (const std::optional<std::string> reference = referenceOf(parameters)) {
        if (const std::optional<StoredCard> card =
                exchange.state.storedCard(order.merchant.merchantCode, *reference)) {
            view.storedCard = card->maskedNumber;
        }
    }
    return view;
}

/// The card data typed into the form: spaces and dashes left out of the number, the expiry
/// "MM/AA" (or "MMAA") turned into "AAMM" as the gateway keeps it.
CardData typedCard(const Fields& fields) {
    CardData card;
    for (const char c : formValue(fields, "numero")) {
        if (c != ' ' && c != '-') {
            card.number += c;
        }
    }
    std::string expiry;
    for (const char c : formValue(fields, "caducidad")) {
        if (c != '/' && c != ' ') {
            expiry += c;
        }
    }
    card.expiryDate = expiry.size() == 4 ? expiry.substr(2, 2) + expiry.substr(0, 2) : expiry;
    card.securityCode = std::string(trim(formValue(fields, "cvv")));
    return card;
}

std::pair<std::string, std::string> currentDateAndHour() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16] = {};
    char hour[8] = {};
    std::strftime(date, sizeof date, "%d/%m/%Y", &local);
    std::strftime(hour, sizeof hour, "%H:%M", &local);
    return {date, hour};
}

/// The payment result as the return address carries it.
Parameters resultParameters(const PageOrder& order, const PaymentOutcome& outcome) {
    const Json& parameters = order.parameters;
    const auto [date, hour] = currentDateAndHour();
    const std::string language = text(parameters, "Ds_Merchant_ConsumerLanguage");
    Parameters result;
    result.Ds_Date = date;
    result.Ds_Hour = hour;
    result.Ds_SecurePayment = "1";
    result.Ds_Amount = text(parameters, "Ds_Merchant_Amount");
    result.Ds_Currency = text(parameters, "Ds_Merchant_Currency");
    result.Ds_Order = text(parameters, "Ds_Merchant_Order");
    result.Ds_MerchantCode = order.merchant.merchantCode;
    result.Ds_Terminal = order.merchant.terminal;
    result.Ds_Response = outcome.response;
    result.Ds_TransactionType = text(parameters, "Ds_Merchant_TransactionType");
    result.Ds_MerchantData = text(parameters, "Ds_Merchant_MerchantData");
    result.Ds_AuthorisationCode = outcome.authorisationCode;
    result.Ds_ExpiryDate = outcome.expiryDate;
    result.Ds_Merchant_Identifier = outcome.reference;
    result.Ds_ConsumerLanguage = language.empty() ? "1" : language;
    result.Ds_Card_Country = std::string(outcome.profile.country);
    result.Ds_Card_Brand = std::string(outcome.profile.brand);
    result.Ds_Card_Number = outcome.maskedNumber;
    return result;
}

/// Ds_MerchantParameters written as a RESULT_ switch asks; nullopt when it is left out.
std::optional<std::string> encodedResult(std::string json, ResultShape::Encoding encoding) {
    switch (encoding) {
        case ResultShape::Encoding::standardBase64:
            return base64Encode(json);
        case ResultShape::Encoding::absent:
            return std::nullopt;
        case ResultShape::Encoding::notBase64:
            return "!" + base64Encode(json);  // "!" belongs to no Base64 alphabet
        case ResultShape::Encoding::urlSafeBase64: {
            // Five "?" in a row always fill one whole three-byte group, whose Base64 is "Pz8/":
            // the text is sure to hold a "/", which becomes "_".
            if (json.ends_with('}')) {
                json.insert(json.size() - 1, R"(,"Ds_Sandbox_Relleno":"?????")");
            }
            std::string encoded = base64Encode(json);
            std::replace(encoded.begin(), encoded.end(), '+', '-');
            std::replace(encoded.begin(), encoded.end(), '/', '_');
            return encoded;
        }
    }
    return std::nullopt;
}

/// "Ds_SignatureVersion=...&Ds_MerchantParameters=...&Ds_Signature=..." with the texts as they
/// are, the parameters first or left out when the shape says so.
std::string resultQuery(const std::optional<std::string>& merchantParameters,
                        const std::string& signature, const ResultShape& shape) {
    const std::string version = "Ds_SignatureVersion=" + std::string(kSignatureVersion);
    const std::string signatureField = "Ds_Signature=" + signature;
    if (!merchantParameters) {
        return version + "&" + signatureField;
    }
    const std::string parameters = "Ds_MerchantParameters=" + *merchantParameters;
    return shape.parametersFirst ? parameters + "&" + version + "&" + signatureField
                                 : version + "&" + parameters + "&" + signatureField;
}

bool isWebAddress(std::string_view address) {
    const bool httpScheme =
        (address.size() > 7 && equalsIgnoringCase(address.substr(0, 7), "http://")) ||
        (address.size() > 8 && equalsIgnoringCase(address.substr(0, 8), "https://"));
    // An address with spaces or control characters could not go into a Location field.
    const bool printable = std::all_of(address.begin(), address.end(), [](char c) {
        return static_cast<unsigned char>(c) > 0x20 && c != 0x7F;
    });
    return httpScheme && printable;
}

void redirectTo(Exchange& exchange, const std::string& location) {
    exchange.response.status = 303;
    exchange.response.setHeader("Location", location);
    exchange.response.setContent(
        "<!DOCTYPE html>\n<html lang=\"es\"><head><meta charset=\"utf-8\">"
        "<title>Redirigiendo</title></head><body><p>Redirigiendo al "
        "comercio…</p></body></html>\n",
        kHtml);
}

/// The order's URL OK (an accepted payment by the gateway's rule) or URL KO with the signed
/// result. A return address that is not a web address (the placeholders "REDIR_URL_OK" and
/// "REDIR_URL_KO") becomes a page of the sandbox whose address contains it.
std::string returnLocation(Exchange& exchange, const PageOrder& order,
                           const PaymentOutcome& outcome, const ResultShape& shape) {
    const std::string json = resultParameters(order, outcome).toJSON();
    const std::optional<std::string> merchantParameters = encodedResult(json, shape.encoding);
    const std::string signature = hmacSha256Base64(order.merchant.pageSecret,
                                                   merchantParameters.value_or(base64Encode(json)));
    const std::string query = resultQuery(merchantParameters, signature, shape);
    const bool toUrlOk = acceptedByGatewayRule(outcome.response, outcome.authorisationCode) &&
                         !shape.acceptedToUrlKo;
    const std::string returnAddress =
        text(order.parameters, toUrlOk ? "Ds_Merchant_UrlOK" : "Ds_Merchant_UrlKO");
    if (isWebAddress(returnAddress)) {
        return returnAddress + (returnAddress.find('?') == std::string::npos ? "?" : "&") + query;
    }
    // The parameters were JSON, hence UTF-8, so that the encoding cannot fail.
    return "https://" + exchange.authority + std::string(kReturnPagePrefix) +
           safeAddingPercentEncoding(returnAddress, rfc3986Unreserved()).value_or("") + "?" + query;
}

/// Settles the page and sends the browser back to the merchant. The page stays known, so that a
/// second post of it (a double click) is sent to the same place.
void finishPayment(Exchange& exchange, const std::string& pageId, const PageOrder& order,
                   const PaymentOutcome& outcome) {
    std::string location = returnLocation(exchange, order, outcome, switchesOf(order).result);
    exchange.state.settlePage(pageId, location);
    redirectTo(exchange, location);
}

/// An order the page can take: every parameter a text, an order number, an amount in
/// hundredths, both return addresses and, if it names a card reference, one that this merchant
/// holds.
bool acceptableOrder(Exchange& exchange, const Merchant& merchant, const Json& parameters) {
    const std::optional<std::string> reference = referenceOf(parameters);
    return allTexts(parameters, kPageParameterMembers) &&
           !text(parameters, "Ds_Merchant_Order").empty() &&
           isDigits(text(parameters, "Ds_Merchant_Amount")) &&
           !text(parameters, "Ds_Merchant_UrlOK").empty() &&
           !text(parameters, "Ds_Merchant_UrlKO").empty() &&
           (!reference || exchange.state.storedCard(merchant.merchantCode, *reference));
}

bool carriesPageCookie(const Exchange& exchange, const PageOrder& order) {
    return exchange.pageCookie && equalsInConstantTime(*exchange.pageCookie, order.cookie);
}

PaymentOutcome cancelledPayment() {
    PaymentOutcome outcome;
    outcome.response = std::string(kCancelledByCardholder);
    return outcome;
}

/// Whether the cardholder passes the authentication page before the return: always for the
/// authentication test card, and for any card accepted on its own when the order asks for it.
bool needsAuthentication(const PaymentOutcome& outcome, const OrderSwitches& switches) {
    return outcome.profile.outcome == CardOutcome::acceptedAfterAuthentication ||
           (switches.authenticationStep && acceptedByItsCard(outcome.profile.outcome));
}

/// The open page a post of the card form or of the authentication page names, once the post
/// has passed the checks every such post must pass; nullopt when it has been answered.
std::optional<std::pair<std::string, PageOrder>> postedPage(Exchange& exchange,
                                                            const Fields& fields) {
    if (!hasFormBody(exchange.request)) {
        answerPage(exchange, dataErrorPage());
        return std::nullopt;
    }
    std::string pageId = formValue(fields, "pagina");
    std::optional<PageOrder> order = exchange.state.openedPage(pageId);
    if (!order) {
        answerPage(exchange, expiredPage());
        return std::nullopt;
    }
    if (!carriesPageCookie(exchange, *order)) {
        answerPage(exchange, missingCookiePage(), 403);
        return std::nullopt;
    }
    return std::make_pair(std::move(pageId), std::move(*order));
}

/// Answers a post of a page whose payment is decided already as the post that decided it was
/// answered; false when the page still waits for a card.
bool answerDecided(Exchange& exchange, const std::string& pageId, const PageOrder& order) {
    if (order.decidedLocation) {
        redirectTo(exchange, *order.decidedLocation);
        return true;
    }
    if (order.authentication) {
        answerCardPage(
            exchange, authenticationPage(pageId, order.authentication->token, kAuthenticationPath));
        return true;
    }
    return false;
}

/// Answers the signed entry of an order the merchant has decided: the same parameters posted
/// again (Back, then Refresh, after paying) get the decision already taken, any other post the
/// refusal of a repeated order. False when the order is not decided.
bool answerDecidedOrder(Exchange& exchange, const Merchant& merchant, const Json& parameters) {
    // Read and answered under the lock of the decisions, as a post of the card form would be.
    const auto deciding = exchange.state.lockPageDecisions();
    const auto decided =
        exchange.state.decidedOrder(merchant, text(parameters, "Ds_Merchant_Order"));
    if (!decided) {
        return false;
    }
    if (!decided->pageId.empty() && decided->parameters == parameters) {
        if (const auto page = exchange.state.openedPage(decided->pageId);
            page && answerDecided(exchange, decided->pageId, *page)) {
            return true;
        }
    }
    answerPage(exchange, repeatedOrderPage());
    return true;
}

}  // namespace

void servePaymentPage(Exchange& exchange) {
    if (answerWithFaultForAll(exchange, FaultTarget::page)) {
        return;
    }
    const HttpRequest& request = exchange.request;
    const bool posted = request.method == "POST";
    if (posted && !hasFormBody(request)) {
        answerPage(exchange, dataErrorPage());
        return;
    }
    const Fields fields = parseForm(posted ? request.body : request.query);
    const std::string version = formValue(fields, "Ds_SignatureVersion");
    const std::string merchantParameters = formValue(fields, "Ds_MerchantParameters");
    const std::string signature = formValue(fields, "Ds_Signature");
    const std::optional<Json> parameters = decodeParameters(merchantParameters);
    if (parameters && answerWithFaultForOrder(exchange, text(*parameters, "Ds_Merchant_Order"),
                                              FaultTarget::page)) {
        return;
    }
    const std::optional<Merchant> merchant =
        parameters ? exchange.state.merchant(text(*parameters, "Ds_Merchant_MerchantCode"),
                                             text(*parameters, "Ds_Merchant_Terminal"))
                   : std::nullopt;
    if (!merchant || version != kSignatureVersion ||
        !equalsInConstantTime(signature,
                              hmacSha256Base64(merchant->pageSecret, merchantParameters)) ||
        !acceptableOrder(exchange, *merchant, *parameters)) {
        answerPage(exchange, dataErrorPage());
        return;
    }
    if (answerDecidedOrder(exchange, *merchant, *parameters)) {
        return;
    }
    // The page's own session: the card form's posts must bring this cookie back.
    const std::string cookie =
        exchange.pageCookie ? *exchange.pageCookie : exchange.state.issuePageCookie();
    exchange.response.addHeader("Set-Cookie", std::string(SandboxGateway::kPageCookieName) + "=" +
                                                  cookie + "; Path=/; Secure; HttpOnly");
    PageOrder order{*merchant, *parameters, cookie, std::nullopt, std::nullopt};
    const std::string pageId = exchange.state.openPage(order);
    answerCardPage(exchange, cardFormPage(formView(exchange, order, pageId), kCardFormPath));
}

void serveCardForm(Exchange& exchange) {
    const Fields fields = parseForm(exchange.request.body);
    // Two posts of one page (a double click) read and decide it one after the other.
    const auto deciding = exchange.state.lockPageDecisions();
    auto posted = postedPage(exchange, fields);
    if (!posted) {
        return;
    }
    const auto& [pageId, order] = *posted;
    const OrderSwitches switches = switchesOf(order);
    if (switches.pageFault && answerWithFault(exchange, *switches.pageFault, FaultTarget::page)) {
        return;
    }
    if (answerDecided(exchange, pageId, order)) {
        return;
    }
    if (formValue(fields, "accion") == "cancelar") {
        finishPayment(exchange, pageId, order, cancelledPayment());
        return;
    }
    // Another page of the same order (opened before either was paid) decided it already.
    const std::string orderNumber = text(order.parameters, "Ds_Merchant_Order");
    if (exchange.state.decidedOrder(order.merchant, orderNumber)) {
        answerPage(exchange, repeatedOrderPage());
        return;
    }
    const CardData card = typedCard(fields);
    // An order with a card reference pays with the stored card when the cardholder types no
    // number, and with the typed card otherwise.
    std::string identifier = text(order.parameters, "Ds_Merchant_Identifier");
    if (referenceOf(order.parameters) && !card.number.empty()) {
        identifier.clear();
    }
    PaymentOutcome outcome =
        decidePayment(exchange.state, order.merchant, card, identifier, switches.outcome);
    if (outcome.error && outcome.error->code == kIssuerUnavailable.code) {
        outcome.error.reset();
        outcome.response = std::string(kIssuerError);
    }
    if (outcome.error) {
        CardFormView view = formView(exchange, order, pageId);
        view.problem = std::string(outcome.error->desc);
        answerCardPage(exchange, cardFormPage(view, kCardFormPath));
        return;
    }
    notePayment(exchange.state, order.merchant, orderNumber,
                text(order.parameters, "Ds_Merchant_Amount"), outcome, {pageId, order.parameters});
    if (needsAuthentication(outcome, switches)) {
        const std::string token = randomHex(16);
        exchange.state.awaitAuthentication(pageId, {std::move(outcome), token});
        answerCardPage(exchange, authenticationPage(pageId, token, kAuthenticationPath));
        return;
    }
    finishPayment(exchange, pageId, order, outcome);
}

void serveAuthentication(Exchange& exchange) {
    const Fields fields = parseForm(exchange.request.body);
    const auto deciding = exchange.state.lockPageDecisions();
    auto posted = postedPage(exchange, fields);
    if (!posted) {
        return;
    }
    const auto& [pageId, order] = *posted;
    if (!order.authentication ||
        !equalsInConstantTime(formValue(fields, "autenticacion"), order.authentication->token)) {
        answerPage(exchange, expiredPage());
        return;
    }
    if (order.decidedLocation) {
        redirectTo(exchange, *order.decidedLocation);
        return;
    }
    finishPayment(exchange, pageId, order, order.authentication->outcome);
}

void serveReturnPage(Exchange& exchange) {
    const HttpRequest& request = exchange.request;
    const std::string returnName = request.path.substr(kReturnPagePrefix.size());
    // Read in either Base64 alphabet, so that the page also finds the order of a result written
    // the URL-safe way.
    std::string merchantParameters =
        formValue(splitRawQuery(request.query), "Ds_MerchantParameters");
    std::replace(merchantParameters.begin(), merchantParameters.end(), '-', '+');
    std::replace(merchantParameters.begin(), merchantParameters.end(), '_', '/');
    const std::optional<std::string> decoded = base64Decode(merchantParameters);
    const std::optional<Parameters> result = decoded && nestedWithin(*decoded, kMostJsonLevels)
                                                 ? Parameters::fromJSON(*decoded)
                                                 : std::nullopt;
    if (result && result->Ds_Order) {
        const std::optional<Fault> fault = readOrderSwitches(*result->Ds_Order).returnFault;
        if (fault && answerWithFault(exchange, *fault, FaultTarget::page)) {
            return;
        }
    }
    if (!result || !result->Ds_Response) {
        answerPage(exchange, returnPage(returnName, "Fin del pago", {}));
        return;
    }
    const std::string& response = *result->Ds_Response;
    const std::string title =
        acceptedByGatewayRule(result->Ds_Response, result->Ds_AuthorisationCode) ? "Pago autorizado"
        : response == kCancelledByCardholder                                     ? "Pago cancelado"
                                                                                 : "Pago denegado";
    std::vector<std::pair<std::string, std::string>> details = {
        {"Pedido", result->Ds_Order.value_or("")},
        {"Importe", formatAmount(result->Ds_Amount.value_or(""), result->Ds_Currency.value_or(""))},
        {"Respuesta", response},
    };
    if (!result->Ds_AuthorisationCode.value_or("").empty()) {
        details.emplace_back("Autorización", *result->Ds_AuthorisationCode);
    }
    if (!result->Ds_Card_Number.value_or("").empty()) {
        details.emplace_back("Tarjeta", *result->Ds_Card_Number);
    }
    answerPage(exchange, returnPage(returnName, title, details));
}

void serveNotFound(Exchange& exchange) {
    answerPage(exchange, notFoundPage(), 404);
}

}  // namespace vanto::sandbox::detail
