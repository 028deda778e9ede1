// The hosted payment page: the signed entry, the card form, the return to the merchant.

#include <algorithm>
#include <ctime>
#include <string>

#include "Crypto.h"
#include "Pages.h"
#include "Payment.h"
#include "Services.h"
#include "Text.h"
#include "vanto/text/Base64.h"
#include "vanto/web/Parameters.h"

namespace vanto::sandbox::detail {

namespace {

using Json = nlohmann::ordered_json;
using Fields = std::vector<std::pair<std::string, std::string>>;

constexpr std::string_view kSignatureVersion = "HMAC_SHA256_V1";
constexpr std::string_view kRequestReference = "REQUIRED";
/// Ds_Response of a payment the cardholder cancelled, and of one the issuer could not handle.
constexpr std::string_view kCancelledByCardholder = "9915";
constexpr std::string_view kIssuerError = "0909";

std::string text(const Json& parameters, std::string_view key) {
    return textMember(parameters, key).value_or("");
}

void answerPage(Exchange& exchange, std::string html) {
    exchange.response.status = 200;
    exchange.response.setContent(std::move(html), "text/html; charset=utf-8");
}

/// The decoded Ds_MerchantParameters of the posted fields, when they decode to a JSON object.
std::optional<Json> decodeParameters(const std::string& merchantParameters) {
    const std::optional<std::string> decoded = base64Decode(merchantParameters);
    if (!decoded) {
        return std::nullopt;
    }
    Json parameters = Json::parse(*decoded, nullptr, false);
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

/// Sends the browser to the order's URL OK or URL KO with the signed result. The query is
/// written exactly as "Ds_SignatureVersion=...&Ds_MerchantParameters=...&Ds_Signature=..."
/// with the Base64 texts as they are. A return address that is not a web address (the
/// placeholders "REDIR_URL_OK" and "REDIR_URL_KO") becomes a page of the sandbox whose address
/// contains it.
void redirectWithResult(Exchange& exchange, const PageOrder& order, const PaymentOutcome& outcome) {
    const std::string merchantParameters = base64Encode(resultParameters(order, outcome).toJSON());
    const std::string signature = hmacSha256Base64(order.merchant.pageSecret, merchantParameters);
    const std::string query = "Ds_SignatureVersion=" + std::string(kSignatureVersion) +
                              "&Ds_MerchantParameters=" + merchantParameters +
                              "&Ds_Signature=" + signature;
    const bool authorised = outcome.response == kAuthorised;
    const std::string returnAddress =
        text(order.parameters, authorised ? "Ds_Merchant_UrlOK" : "Ds_Merchant_UrlKO");
    std::string location;
    if (isWebAddress(returnAddress)) {
        location =
            returnAddress + (returnAddress.find('?') == std::string::npos ? "?" : "&") + query;
    } else {
        location = "https://" + exchange.authority + std::string(kReturnPagePrefix) +
                   percentEncode(returnAddress) + "?" + query;
    }
    exchange.response.status = 303;
    exchange.response.setHeader("Location", location);
    exchange.response.setContent(
        "<!DOCTYPE html>\n<html lang=\"es\"><head><meta charset=\"utf-8\">"
        "<title>Redirigiendo</title></head><body><p>Redirigiendo al "
        "comercio…</p></body></html>\n",
        "text/html; charset=utf-8");
}

/// An order the page can take: an order number, an amount in hundredths and, if it names a
/// card reference, one that this merchant holds.
bool acceptableOrder(Exchange& exchange, const Merchant& merchant, const Json& parameters) {
    const std::optional<std::string> reference = referenceOf(parameters);
    return !text(parameters, "Ds_Merchant_Order").empty() &&
           isDigits(text(parameters, "Ds_Merchant_Amount")) &&
           (!reference || exchange.state.storedCard(merchant.merchantCode, *reference));
}

PaymentOutcome cancelledPayment() {
    PaymentOutcome outcome;
    outcome.response = kCancelledByCardholder;
    return outcome;
}

}  // namespace

void servePaymentPage(Exchange& exchange) {
    if (answerWithFaultForAll(exchange, FaultTarget::paymentPage)) {
        return;
    }
    const HttpRequest& request = exchange.request;
    const Fields fields = parseForm(request.method == "POST" ? request.body : request.query);
    const std::string version = formValue(fields, "Ds_SignatureVersion");
    const std::string merchantParameters = formValue(fields, "Ds_MerchantParameters");
    const std::string signature = formValue(fields, "Ds_Signature");
    const std::optional<Json> parameters = decodeParameters(merchantParameters);
    if (parameters && answerWithFaultForOrder(exchange, text(*parameters, "Ds_Merchant_Order"),
                                              FaultTarget::paymentPage)) {
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
    PageOrder order{*merchant, *parameters, std::chrono::steady_clock::now()};
    const std::string pageId = exchange.state.openPage(order);
    answerPage(exchange, cardFormPage(formView(exchange, order, pageId), kCardFormPath));
}

void serveCardForm(Exchange& exchange) {
    const Fields fields = parseForm(exchange.request.body);
    const std::string pageId = formValue(fields, "pagina");
    const std::optional<PageOrder> order = exchange.state.openedPage(pageId);
    if (!order) {
        answerPage(exchange, expiredPage());
        return;
    }
    if (formValue(fields, "accion") == "cancelar") {
        exchange.state.closePage(pageId);
        redirectWithResult(exchange, *order, cancelledPayment());
        return;
    }
    const CardData card = typedCard(fields);
    // An order with a card reference pays with the stored card when the cardholder types no
    // number, and with the typed card otherwise.
    std::string identifier = text(order->parameters, "Ds_Merchant_Identifier");
    if (referenceOf(order->parameters) && !card.number.empty()) {
        identifier.clear();
    }
    PaymentOutcome outcome = decidePayment(exchange.state, order->merchant, card, identifier);
    if (outcome.error && outcome.error->code == kIssuerUnavailable.code) {
        outcome.error.reset();
        outcome.response = kIssuerError;
    }
    if (outcome.error) {
        CardFormView view = formView(exchange, *order, pageId);
        view.problem = std::string(outcome.error->desc);
        answerPage(exchange, cardFormPage(view, kCardFormPath));
        return;
    }
    exchange.state.closePage(pageId);
    redirectWithResult(exchange, *order, outcome);
}

void serveReturnPage(Exchange& exchange) {
    const HttpRequest& request = exchange.request;
    const std::string returnName = request.path.substr(kReturnPagePrefix.size());
    const Fields query = splitRawQuery(request.query);
    const std::optional<std::string> decoded =
        base64Decode(formValue(query, "Ds_MerchantParameters"));
    const std::optional<Parameters> result =
        decoded ? Parameters::fromJSON(*decoded) : std::nullopt;
    if (!result || !result->Ds_Response) {
        answerPage(exchange, returnPage(returnName, "Fin del pago", {}));
        return;
    }
    const std::string& response = *result->Ds_Response;
    const std::string title = response == kAuthorised              ? "Pago autorizado"
                              : response == kCancelledByCardholder ? "Pago cancelado"
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
    exchange.response.status = 404;
    exchange.response.setContent(notFoundPage(), "text/html; charset=utf-8");
}

}  // namespace vanto::sandbox::detail
