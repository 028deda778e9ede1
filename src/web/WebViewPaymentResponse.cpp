// datosPeticion, Parameters and WebViewPaymentResponse are implemented together: the answer
// decodes and writes its nested records straight from and into the same JSON document.

#include "vanto/web/WebViewPaymentResponse.h"

#include <array>
#include <cstddef>
#include <tuple>
#include <utility>

#include "encoding/CodeAndTexts.h"
#include "encoding/JsonRead.h"
#include "vanto/encoding/JsonWriter.h"

namespace vanto {
namespace {

using OptionalText = std::optional<std::string>;

// The result's JSON keys with their members, in declaration order.
constexpr std::array<detail::Field<Parameters, OptionalText>, 19> kParameterFields{{
    {"Ds_Date", &Parameters::Ds_Date},
    {"Ds_Hour", &Parameters::Ds_Hour},
    {"Ds_SecurePayment", &Parameters::Ds_SecurePayment},
    {"Ds_Amount", &Parameters::Ds_Amount},
    {"Ds_Currency", &Parameters::Ds_Currency},
    {"Ds_Order", &Parameters::Ds_Order},
    {"Ds_MerchantCode", &Parameters::Ds_MerchantCode},
    {"Ds_Terminal", &Parameters::Ds_Terminal},
    {"Ds_Response", &Parameters::Ds_Response},
    {"Ds_Signature", &Parameters::Ds_Signature},
    {"Ds_TransactionType", &Parameters::Ds_TransactionType},
    {"Ds_MerchantData", &Parameters::Ds_MerchantData},
    {"Ds_AuthorisationCode", &Parameters::Ds_AuthorisationCode},
    {"Ds_ExpiryDate", &Parameters::Ds_ExpiryDate},
    {"Ds_Merchant_Identifier", &Parameters::Ds_Merchant_Identifier},
    {"Ds_ConsumerLanguage", &Parameters::Ds_ConsumerLanguage},
    {"Ds_Card_Country", &Parameters::Ds_Card_Country},
    {"Ds_Card_Brand", &Parameters::Ds_Card_Brand},
    {"Ds_Card_Number", &Parameters::Ds_Card_Number},
}};

constexpr std::array<detail::Field<datosPeticion, std::string>, 3> kSignedFields{{
    {"Ds_Signature", &datosPeticion::Ds_Signature},
    {"Ds_MerchantParameters", &datosPeticion::Ds_MerchantParameters},
    {"Ds_SignatureVersion", &datosPeticion::Ds_SignatureVersion},
}};

// Room for a typical answer, so that the writer rarely has to grow. The payment result carries
// the card's expiry date and masked number, so it is written by a writer that wipes every buffer
// it drops.
constexpr std::size_t kExpectedJsonSize = 1024;

std::optional<Parameters> decodeParameters(const nlohmann::json& object) {
    if (!object.is_object()) {
        return std::nullopt;
    }
    Parameters parameters;
    for (const auto& [key, member] : kParameterFields) {
        if (!detail::readOptionalText(object, key, parameters.*member)) {
            return std::nullopt;
        }
    }
    return parameters;
}

std::optional<datosPeticion> decodeSigned(const nlohmann::json& object) {
    if (!object.is_object()) {
        return std::nullopt;
    }
    std::array<std::string, kSignedFields.size()> values;
    for (std::size_t i = 0; i < kSignedFields.size(); ++i) {
        if (!detail::readText(object, kSignedFields[i].key, values[i])) {
            return std::nullopt;
        }
    }
    return std::apply([](auto... texts) { return datosPeticion(std::move(texts)...); },
                      std::move(values));
}

void writeParameters(JsonWriter& writer, const Parameters& parameters) {
    writer.beginObject();
    for (const auto& [key, member] : kParameterFields) {
        if (const OptionalText& value = parameters.*member) {
            writer.member(key, *value);
        }
    }
    writer.endObject();
}

void writeSigned(JsonWriter& writer, const datosPeticion& values) {
    writer.beginObject();
    for (const auto& [key, member] : kSignedFields) {
        writer.member(key, values.*member);
    }
    writer.endObject();
}

// The written text, or the empty text when a value was not well-formed UTF-8.
std::string finish(JsonWriter& writer) {
    return writer.ok() ? writer.take() : std::string();
}

}  // namespace

datosPeticion::datosPeticion(std::string Ds_Signature, std::string Ds_MerchantParameters,
                             std::string Ds_SignatureVersion)
    : Ds_Signature(std::move(Ds_Signature)),
      Ds_MerchantParameters(std::move(Ds_MerchantParameters)),
      Ds_SignatureVersion(std::move(Ds_SignatureVersion)) {}

Parameters::Parameters(OptionalText Ds_Date, OptionalText Ds_Hour, OptionalText Ds_SecurePayment,
                       OptionalText Ds_Amount, OptionalText Ds_Currency, OptionalText Ds_Order,
                       OptionalText Ds_MerchantCode, OptionalText Ds_Terminal,
                       OptionalText Ds_Response, OptionalText Ds_Signature,
                       OptionalText Ds_TransactionType, OptionalText Ds_MerchantData,
                       OptionalText Ds_AuthorisationCode, OptionalText Ds_ExpiryDate,
                       OptionalText Ds_Merchant_Identifier, OptionalText Ds_ConsumerLanguage,
                       OptionalText Ds_Card_Country, OptionalText Ds_Card_Brand,
                       OptionalText Ds_Card_Number)
    : Ds_Date(std::move(Ds_Date)),
      Ds_Hour(std::move(Ds_Hour)),
      Ds_SecurePayment(std::move(Ds_SecurePayment)),
      Ds_Amount(std::move(Ds_Amount)),
      Ds_Currency(std::move(Ds_Currency)),
      Ds_Order(std::move(Ds_Order)),
      Ds_MerchantCode(std::move(Ds_MerchantCode)),
      Ds_Terminal(std::move(Ds_Terminal)),
      Ds_Response(std::move(Ds_Response)),
      Ds_Signature(std::move(Ds_Signature)),
      Ds_TransactionType(std::move(Ds_TransactionType)),
      Ds_MerchantData(std::move(Ds_MerchantData)),
      Ds_AuthorisationCode(std::move(Ds_AuthorisationCode)),
      Ds_ExpiryDate(std::move(Ds_ExpiryDate)),
      Ds_Merchant_Identifier(std::move(Ds_Merchant_Identifier)),
      Ds_ConsumerLanguage(std::move(Ds_ConsumerLanguage)),
      Ds_Card_Country(std::move(Ds_Card_Country)),
      Ds_Card_Brand(std::move(Ds_Card_Brand)),
      Ds_Card_Number(std::move(Ds_Card_Number)) {}

WebViewPaymentResponse::WebViewPaymentResponse(std::optional<vanto::datosPeticion> datosPeticion,
                                               std::int64_t code, std::string desc,
                                               std::optional<Parameters> parameters)
    : datosPeticion(std::move(datosPeticion)),
      code(code),
      desc(std::move(desc)),
      parameters(std::move(parameters)) {}

std::optional<datosPeticion> datosPeticion::fromJSON(std::string_view json) {
    return detail::decodeObject<datosPeticion>(json, decodeSigned);
}

std::string datosPeticion::toJSON() const {
    JsonWriter writer;
    writeSigned(writer, *this);
    return finish(writer);
}

std::optional<Parameters> Parameters::fromJSON(std::string_view json) {
    return detail::decodeObject<Parameters>(json, decodeParameters);
}

std::string Parameters::toJSON() const {
    JsonWriter writer(kExpectedJsonSize, JsonWriter::Sensitive::yes);
    writeParameters(writer, *this);
    return finish(writer);
}

std::optional<WebViewPaymentResponse> WebViewPaymentResponse::fromJSON(std::string_view json) {
    return detail::decodeObject<WebViewPaymentResponse>(
        json, [](const nlohmann::json& object) -> std::optional<WebViewPaymentResponse> {
            std::int64_t answerCode = 0;
            std::string answerDesc;
            std::optional<vanto::datosPeticion> signedValues;
            std::optional<Parameters> result;
            if (!detail::readInteger(object, "code", answerCode) ||
                !detail::readText(object, "desc", answerDesc) ||
                !detail::readOptionalRecord(object, "datosPeticion", signedValues, decodeSigned) ||
                !detail::readOptionalRecord(object, "parameters", result, decodeParameters)) {
                return std::nullopt;
            }
            return WebViewPaymentResponse(std::move(signedValues), answerCode,
                                          std::move(answerDesc), std::move(result));
        });
}

std::string WebViewPaymentResponse::toJSON() const {
    JsonWriter writer(kExpectedJsonSize, JsonWriter::Sensitive::yes);
    writer.beginObject();
    if (datosPeticion) {
        writer.key("datosPeticion");
        writeSigned(writer, *datosPeticion);
    }
    writer.member("code", code);
    writer.member("desc", desc);
    if (parameters) {
        writer.key("parameters");
        writeParameters(writer, *parameters);
    }
    writer.endObject();
    return finish(writer);
}

}  // namespace vanto
