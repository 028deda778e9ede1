// The direct-payment service and the signature service: signed JSON in, signed JSON out.

#include <string>

#include "Crypto.h"
#include "Payment.h"
#include "Services.h"
#include "Text.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/encoding/Sha256.h"
#include "vanto/text/Base64.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace vanto::sandbox::detail {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kFormKey = "datoEntrada=";
constexpr std::string_view kSignatureVersion = "HMAC_SHA256_V1";

/// A request envelope taken apart: the message text, its signature and the parsed message.
struct SignedMessage {
    std::string mensaje;
    std::string firma;
    Json message;
};

/// Everything after the first "datoEntrada=" is the envelope, byte for byte: the library sends
/// it without percent-encoding, so "+" and "&" inside it are its own characters.
std::optional<SignedMessage> readSignedMessage(const std::string& body) {
    const std::size_t at = body.find(kFormKey);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const Json envelope =
        Json::parse(std::string_view(body).substr(at + kFormKey.size()), nullptr, false);
    if (!envelope.is_object()) {
        return std::nullopt;
    }
    const auto mensaje = envelope.find("mensaje");
    const auto firma = envelope.find("firma");
    if (mensaje == envelope.end() || !mensaje->is_string() || firma == envelope.end() ||
        !firma->is_string()) {
        return std::nullopt;
    }
    SignedMessage signedMessage{mensaje->get<std::string>(), firma->get<std::string>(), {}};
    signedMessage.message = Json::parse(signedMessage.mensaje, nullptr, false);
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

/// Reads text members, remembering whether any had another type.
class TextReader {
  public:
    explicit TextReader(const Json& object) : object_(object) {}
    std::string operator()(std::string_view key) {
        std::optional<std::string> text = textMember(object_, key);
        ok_ = ok_ && text.has_value();
        return text.value_or("");
    }
    bool ok() const { return ok_; }

  private:
    const Json& object_;
    bool ok_ = true;
};

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

/// The fields of a direct payment's "datosPeticion".
struct DirectOrder {
    std::string merchantCode, terminal, order, amount, currency, identifier, merchantData,
        transactionType, language;
    CardData card;
};

std::optional<DirectOrder> readDirectOrder(const Json& datosPeticion) {
    TextReader text(datosPeticion);
    DirectOrder order;
    order.merchantCode = text("DS_MERCHANT_MERCHANTCODE");
    order.terminal = text("DS_MERCHANT_TERMINAL");
    order.order = text("DS_MERCHANT_ORDER");
    order.amount = text("DS_MERCHANT_AMOUNT");
    order.currency = text("DS_MERCHANT_CURRENCY");
    order.card.number = text("DS_MERCHANT_PAN");
    order.card.securityCode = text("DS_MERCHANT_CVV2");
    order.card.expiryDate = text("DS_MERCHANT_EXPIRYDATE");
    order.identifier = text("DS_MERCHANT_IDENTIFIER");
    order.merchantData = text("DS_MERCHANT_MERCHANTDATA");
    order.transactionType = text("DS_MERCHANT_TRANSACTIONTYPE");
    order.language = text("DS_MERCHANT_CONSUMERLANGUAGE");
    return text.ok() ? std::optional<DirectOrder>(std::move(order)) : std::nullopt;
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
    const bool authorised = outcome.response == kAuthorised;
    return DirectPaymentResponse(std::move(details), 0,
                                 authorised ? "Operación autorizada" : "Operación denegada")
        .toJSON();
}

}  // namespace

void serveDirectPayment(Exchange& exchange) {
    setSessionCookie(exchange);
    if (answerWithFaultForAll(exchange, FaultTarget::jsonService)) {
        return;
    }
    const std::optional<SignedMessage> message = readSignedMessage(exchange.request.body);
    const Json* datosPeticion = message ? objectMember(message->message, "datosPeticion") : nullptr;
    std::optional<DirectOrder> order =
        datosPeticion != nullptr ? readDirectOrder(*datosPeticion) : std::nullopt;
    if (!order) {
        answerRefusal(exchange, kBadInput, "");
        return;
    }
    if (answerWithFaultForOrder(exchange, order->order, FaultTarget::jsonService)) {
        return;
    }
    const std::optional<Merchant> merchant =
        exchange.state.merchant(order->merchantCode, order->terminal);
    if (!merchant) {
        answerRefusal(exchange, kUnknownMerchant, "");
        return;
    }
    if (!signatureMatches(*message, *merchant)) {
        answerRefusal(exchange, kBadSignature, merchant->signingCredential);
        return;
    }
    if (order->order.empty()) {
        answerRefusal(exchange, kBadInput, merchant->signingCredential);
        return;
    }
    if (!isDigits(order->amount)) {
        answerRefusal(exchange, kBadAmount, merchant->signingCredential);
        return;
    }
    const PaymentOutcome outcome =
        decidePayment(exchange.state, *merchant, order->card, order->identifier);
    if (outcome.error) {
        answerRefusal(exchange, *outcome.error, merchant->signingCredential);
        return;
    }
    answer(exchange, directAnswer(*order, outcome), merchant->signingCredential);
}

void serveSignature(Exchange& exchange) {
    setSessionCookie(exchange);
    if (answerWithFaultForAll(exchange, FaultTarget::jsonService)) {
        return;
    }
    const std::optional<SignedMessage> message = readSignedMessage(exchange.request.body);
    const Json* parameters = message ? objectMember(message->message, "parametros") : nullptr;
    if (parameters == nullptr) {
        answerRefusal(exchange, kBadInput, "");
        return;
    }
    TextReader messageText(message->message);
    const std::string fuc = messageText("fuc");
    const std::string terminal = messageText("terminal");
    if (!messageText.ok()) {
        answerRefusal(exchange, kBadInput, "");
        return;
    }
    TextReader parameterText(*parameters);
    const std::string order = parameterText("Ds_Merchant_Order");
    const std::string amount = parameterText("Ds_Merchant_Amount");
    const std::string merchantCode = parameterText("Ds_Merchant_MerchantCode");
    const std::string merchantTerminal = parameterText("Ds_Merchant_Terminal");
    if (!parameterText.ok()) {
        answerRefusal(exchange, kBadInput, "");
        return;
    }
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
    // The payment page finds the merchant from the parameters, so they must name the same one.
    if (order.empty() || merchantCode != fuc || merchantTerminal != terminal) {
        answerRefusal(exchange, kBadInput, merchant->signingCredential);
        return;
    }
    if (!isDigits(amount)) {
        answerRefusal(exchange, kBadAmount, merchant->signingCredential);
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
