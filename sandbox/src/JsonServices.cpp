// The direct-payment service and the signature service: signed JSON in, signed JSON out.

#include <string>

#include "Crypto.h"
#include "Payment.h"
#include "Services.h"
#include "Text.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/encoding/Sha256.h"
#include "vanto/text/UrlText.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace vanto::sandbox::detail {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kFormKey = "datoEntrada=";
constexpr std::string_view kSignatureVersion = "HMAC_SHA256_V1";

// Every member of the two request messages must be there and be a text, as the library always
// sends them; the gateway refuses a message that lacks one.
constexpr std::string_view kDirectMessageTexts[] = {"version", "bundle", "so"};
constexpr std::string_view kDirectMembers[] = {
    "DS_MERCHANT_MODULE",        "DS_MERCHANT_MERCHANTCODE",
    "DS_MERCHANT_TERMINAL",      "DS_MERCHANT_ORDER",
    "DS_MERCHANT_AMOUNT",        "DS_MERCHANT_CURRENCY",
    "DS_MERCHANT_PAN",           "DS_MERCHANT_CVV2",
    "DS_MERCHANT_EXPIRYDATE",    "DS_MERCHANT_IDENTIFIER",
    "DS_MERCHANT_MERCHANTURL",   "DS_MERCHANT_PRODUCTDESCRIPTION",
    "DS_MERCHANT_MERCHANTDATA",  "DS_MERCHANT_TRANSACTIONTYPE",
    "DS_MERCHANT_DIRECTPAYMENT", "DS_MERCHANT_CONSUMERLANGUAGE",
    "DS_MERCHANT_GROUP",
};
constexpr std::string_view kWebMessageTexts[] = {"bundle", "fuc", "so", "terminal", "version"};
constexpr std::string_view kEnvelopeTexts[] = {"mensaje", "firma"};

/// A request envelope taken apart: the message text, its signature and the parsed message.
struct SignedMessage {
    std::string mensaje;
    std::string firma;
    Json message;
};

/// The signed message of a form body. Everything after the first "datoEntrada=" is the
/// envelope, byte for byte: the library sends it without percent-encoding, so "+" and "&"
/// inside it are its own characters.
std::optional<SignedMessage> readSignedMessage(const HttpRequest& request) {
    const std::size_t at = request.body.find(kFormKey);
    if (!hasFormBody(request) || at == std::string::npos) {
        return std::nullopt;
    }
    const Json envelope = parseJson(std::string_view(request.body).substr(at + kFormKey.size()));
    if (!envelope.is_object() || !allTexts(envelope, kEnvelopeTexts)) {
        return std::nullopt;
    }
    SignedMessage signedMessage{
        envelope["mensaje"].get<std::string>(), envelope["firma"].get<std::string>(), {}};
    signedMessage.message = parseJson(signedMessage.mensaje);
    if (!signedMessage.message.is_object()) {
        return std::nullopt;
    }
    return signedMessage;
}

/// The nested object `key` of `object`, or nullptr.
const Json* objectMember(const Json& object, std::string_view key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_object() ? &*found : nullptr;
}

bool signatureMatches(const SignedMessage& message, const Merchant& merchant) {
    return equalsInConstantTime(message.firma,
                                sha256(message.mensaje + merchant.signingCredential));
}

/// Answers 200 with the reply envelope around `mensaje`, signed with `signingCredential`.
void answer(Exchange& exchange, std::string_view mensaje, std::string_view signingCredential) {
    JsonWriter envelope;
    envelope.beginObject();
    envelope.member("mensaje", mensaje);
    envelope.member("firma", sha256(std::string(mensaje) + std::string(signingCredential)));
    envelope.endObject();
    exchange.response.status = 200;
    exchange.response.setContent(envelope.take(), "application/json");
}

void answerRefusal(Exchange& exchange, GatewayError error, std::string_view signingCredential) {
    answer(exchange,
           DirectPaymentResponse(std::nullopt, error.code, std::string(error.desc)).toJSON(),
           signingCredential);
}

/// The session cookie goes on every answer of the JSON services: the one the request carried,
/// or a new one.
void setSessionCookie(Exchange& exchange) {
    const std::string value =
        exchange.sessionCookie ? *exchange.sessionCookie : exchange.state.issueSessionCookie();
    exchange.response.addHeader("Set-Cookie", std::string(SandboxGateway::kSessionCookieName) +
                                                  "=" + value + "; Path=/; Secure; HttpOnly");
}

/// The fields of a direct payment's "datosPeticion", every one of them a text.
struct DirectOrder {
    std::string merchantCode, terminal, order, amount, currency, identifier, merchantData,
        transactionType, language;
    CardData card;
};

DirectOrder readDirectOrder(const Json& datosPeticion) {
    DirectOrder order;
    order.merchantCode = text(datosPeticion, "DS_MERCHANT_MERCHANTCODE");
    order.terminal = text(datosPeticion, "DS_MERCHANT_TERMINAL");
    order.order = text(datosPeticion, "DS_MERCHANT_ORDER");
    order.amount = text(datosPeticion, "DS_MERCHANT_AMOUNT");
    order.currency = text(datosPeticion, "DS_MERCHANT_CURRENCY");
    order.card.number = text(datosPeticion, "DS_MERCHANT_PAN");
    order.card.securityCode = text(datosPeticion, "DS_MERCHANT_CVV2");
    order.card.expiryDate = text(datosPeticion, "DS_MERCHANT_EXPIRYDATE");
    order.identifier = text(datosPeticion, "DS_MERCHANT_IDENTIFIER");
    order.merchantData = text(datosPeticion, "DS_MERCHANT_MERCHANTDATA");
    order.transactionType = text(datosPeticion, "DS_MERCHANT_TRANSACTIONTYPE");
    order.language = text(datosPeticion, "DS_MERCHANT_CONSUMERLANGUAGE");
    return order;
}

std::string_view decisionText(const PaymentOutcome& outcome) {
    return acceptedByGatewayRule(outcome.response, outcome.authorisationCode)
               ? "Operación autorizada"
               : "Operación denegada";
}

std::string directAnswer(const DirectOrder& order, const PaymentOutcome& outcome) {
    DatosRespuesta details(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           std::nullopt, std::nullopt);
    details.Ds_Amount = order.amount;
    details.Ds_Currency = order.currency;
    details.Ds_Order = order.order;
    details.Ds_MerchantCode = order.merchantCode;
    details.Ds_Terminal = order.terminal;
    details.Ds_Response = outcome.response;
    details.Ds_AuthorisationCode = outcome.authorisationCode;
    details.Ds_TransactionType = order.transactionType;
    details.Ds_SecurePayment = "0";
    details.Ds_Language = order.language.empty() ? "1" : order.language;
    details.Ds_Card_Country = std::string(outcome.profile.country);
    details.Ds_Card_Brand = std::string(outcome.profile.brand);
    details.Ds_Card_Type = std::string(outcome.profile.type);
    details.Ds_CardNumber = outcome.maskedNumber;
    details.Ds_ExpiryDate = outcome.expiryDate;
    details.Ds_MerchantData = order.merchantData;
    details.Ds_Merchant_Identifier = outcome.reference;
    return DirectPaymentResponse(std::move(details), 0, std::string(decisionText(outcome)))
        .toJSON();
}

}  // namespace

void serveDirectPayment(Exchange& exchange) {
    setSessionCookie(exchange);
    if (answerWithFaultForAll(exchange, FaultTarget::jsonService)) {
        return;
    }
    const std::optional<SignedMessage> message = readSignedMessage(exchange.request);
    const Json* datosPeticion = message ? objectMember(message->message, "datosPeticion") : nullptr;
    if (datosPeticion == nullptr || !allTexts(message->message, kDirectMessageTexts) ||
        !allTexts(*datosPeticion, kDirectMembers)) {
        answerRefusal(exchange, kBadInput, "");
        return;
    }
    const DirectOrder order = readDirectOrder(*datosPeticion);
    if (answerWithFaultForOrder(exchange, order.order, FaultTarget::jsonService)) {
        return;
    }
    const std::optional<Merchant> merchant =
        exchange.state.merchant(order.merchantCode, order.terminal);
    if (!merchant) {
        answerRefusal(exchange, kUnknownMerchant, "");
        return;
    }
    if (!signatureMatches(*message, *merchant)) {
        answerRefusal(exchange, kBadSignature, merchant->signingCredential);
        return;
    }
    if (order.order.empty()) {
        answerRefusal(exchange, kBadInput, merchant->signingCredential);
        return;
    }
    if (!isDigits(order.amount)) {
        answerRefusal(exchange, kBadAmount, merchant->signingCredential);
        return;
    }
    // The order is looked up and decided under one lock: two payments of it decide it once.
    const auto deciding = exchange.state.lockPageDecisions();
    if (exchange.state.decidedOrder(*merchant, order.order)) {
        answerRefusal(exchange, kRepeatedOrder, merchant->signingCredential);
        return;
    }
    const std::optional<Outcome> forced = readOrderSwitches(order.order).outcome;
    const PaymentOutcome outcome =
        decidePayment(exchange.state, *merchant, order.card, order.identifier, forced);
    notePayment(exchange.state, *merchant, order.order, order.amount, outcome);
    if (outcome.error) {
        answerRefusal(exchange, *outcome.error, merchant->signingCredential);
    } else if (forced == Outcome::noDatosRespuesta) {
        answer(exchange,
               DirectPaymentResponse(std::nullopt, 0, std::string(decisionText(outcome))).toJSON(),
               merchant->signingCredential);
    } else {
        answer(exchange, directAnswer(order, outcome), merchant->signingCredential);
    }
}

void serveSignature(Exchange& exchange) {
    setSessionCookie(exchange);
    if (answerWithFaultForAll(exchange, FaultTarget::jsonService)) {
        return;
    }
    const std::optional<SignedMessage> message = readSignedMessage(exchange.request);
    const Json* parameters = message ? objectMember(message->message, "parametros") : nullptr;
    if (parameters == nullptr || !allTexts(message->message, kWebMessageTexts) ||
        !allTexts(*parameters, kPageParameterMembers)) {
        answerRefusal(exchange, kBadInput, "");
        return;
    }
    const std::string fuc = text(message->message, "fuc");
    const std::string terminal = text(message->message, "terminal");
    const std::string order = text(*parameters, "Ds_Merchant_Order");
    if (answerWithFaultForOrder(exchange, order, FaultTarget::jsonService)) {
        return;
    }
    const std::optional<Merchant> merchant = exchange.state.merchant(fuc, terminal);
    if (!merchant) {
        answerRefusal(exchange, kUnknownMerchant, "");
        return;
    }
    if (!signatureMatches(*message, *merchant)) {
        answerRefusal(exchange, kBadSignature, merchant->signingCredential);
        return;
    }
    // The payment page finds the merchant from the parameters, so they must name the same one,
    // and it needs both return addresses.
    if (order.empty() || text(*parameters, "Ds_Merchant_MerchantCode") != fuc ||
        text(*parameters, "Ds_Merchant_Terminal") != terminal ||
        text(*parameters, "Ds_Merchant_UrlOK").empty() ||
        text(*parameters, "Ds_Merchant_UrlKO").empty()) {
        answerRefusal(exchange, kBadInput, merchant->signingCredential);
        return;
    }
    if (!isDigits(text(*parameters, "Ds_Merchant_Amount"))) {
        answerRefusal(exchange, kBadAmount, merchant->signingCredential);
        return;
    }
    // No page opens for an order that can no longer be paid.
    if (exchange.state.decidedOrder(*merchant, order)) {
        answerRefusal(exchange, kRepeatedOrder, merchant->signingCredential);
        return;
    }
    const std::string merchantParameters = base64Encode(compactJson(*parameters));
    const std::string signature = hmacSha256Base64(merchant->pageSecret, merchantParameters);
    const WebViewPaymentResponse signedParameters(
        vanto::datosPeticion(signature, merchantParameters, std::string(kSignatureVersion)), 0,
        "Parámetros firmados", std::nullopt);
    answer(exchange, signedParameters.toJSON(), merchant->signingCredential);
}

}  // namespace vanto::sandbox::detail
