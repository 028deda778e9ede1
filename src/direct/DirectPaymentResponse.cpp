// DatosRespuesta and DirectPaymentResponse are implemented together: the answer decodes and
// writes its nested details straight from and into the same JSON document.

#include "vanto/direct/DirectPaymentResponse.h"

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

// The details' JSON keys with their members, in declaration order.
constexpr std::array<detail::Field<DatosRespuesta, OptionalText>, 17> kDatosFields{{
    {"Ds_Card_Country", &DatosRespuesta::Ds_Card_Country},
    {"Ds_Amount", &DatosRespuesta::Ds_Amount},
    {"Ds_MerchantData", &DatosRespuesta::Ds_MerchantData},
    {"Ds_Currency", &DatosRespuesta::Ds_Currency},
    {"Ds_Order", &DatosRespuesta::Ds_Order},
    {"Ds_MerchantCode", &DatosRespuesta::Ds_MerchantCode},
    {"Ds_Card_Type", &DatosRespuesta::Ds_Card_Type},
    {"Ds_Card_Brand", &DatosRespuesta::Ds_Card_Brand},
    {"Ds_AuthorisationCode", &DatosRespuesta::Ds_AuthorisationCode},
    {"Ds_Language", &DatosRespuesta::Ds_Language},
    {"Ds_SecurePayment", &DatosRespuesta::Ds_SecurePayment},
    {"Ds_Response", &DatosRespuesta::Ds_Response},
    {"Ds_TransactionType", &DatosRespuesta::Ds_TransactionType},
    {"Ds_Terminal", &DatosRespuesta::Ds_Terminal},
    {"Ds_ExpiryDate", &DatosRespuesta::Ds_ExpiryDate},
    {"Ds_Merchant_Identifier", &DatosRespuesta::Ds_Merchant_Identifier},
    {"Ds_CardNumber", &DatosRespuesta::Ds_CardNumber},
}};

// Room for a typical answer, so that the writer rarely has to grow. The answer carries the card's
// expiry date and masked number, so it is written by a writer that wipes every buffer it drops.
constexpr std::size_t kExpectedJsonSize = 768;

// DatosRespuesta has no empty constructor of its own: decoding starts from every field absent.
DatosRespuesta allAbsent() {
    return std::apply([](auto... fields) { return DatosRespuesta(std::move(fields)...); },
                      std::array<OptionalText, kDatosFields.size()>{});
}

std::optional<DatosRespuesta> decodeDatos(const nlohmann::json& object) {
    if (!object.is_object()) {
        return std::nullopt;
    }
    DatosRespuesta datos = allAbsent();
    for (const auto& [key, member] : kDatosFields) {
        if (!detail::readOptionalText(object, key, datos.*member)) {
            return std::nullopt;
        }
    }
    return datos;
}

void writeDatos(JsonWriter& writer, const DatosRespuesta& datos) {
    writer.beginObject();
    for (const auto& [key, member] : kDatosFields) {
        if (const OptionalText& value = datos.*member) {
            writer.member(key, *value);
        }
    }
    writer.endObject();
}

// The written text, or the empty text when a value was not well-formed UTF-8.
std::string finish(JsonWriter& writer) {
    return writer.ok() ? writer.take() : std::string();
}

}  // namespace

DatosRespuesta::DatosRespuesta(OptionalText Ds_Card_Country, OptionalText Ds_Amount,
                               OptionalText Ds_MerchantData, OptionalText Ds_Currency,
                               OptionalText Ds_Order, OptionalText Ds_MerchantCode,
                               OptionalText Ds_Card_Type, OptionalText Ds_Card_Brand,
                               OptionalText Ds_AuthorisationCode, OptionalText Ds_Language,
                               OptionalText Ds_SecurePayment, OptionalText Ds_Response,
                               OptionalText Ds_TransactionType, OptionalText Ds_Terminal,
                               OptionalText Ds_ExpiryDate, OptionalText Ds_Merchant_Identifier,
                               OptionalText Ds_CardNumber)
    : Ds_Card_Country(std::move(Ds_Card_Country)),
      Ds_Amount(std::move(Ds_Amount)),
      Ds_MerchantData(std::move(Ds_MerchantData)),
      Ds_Currency(std::move(Ds_Currency)),
      Ds_Order(std::move(Ds_Order)),
      Ds_MerchantCode(std::move(Ds_MerchantCode)),
      Ds_Card_Type(std::move(Ds_Card_Type)),
      Ds_Card_Brand(std::move(Ds_Card_Brand)),
      Ds_AuthorisationCode(std::move(Ds_AuthorisationCode)),
      Ds_Language(std::move(Ds_Language)),
      Ds_SecurePayment(std::move(Ds_SecurePayment)),
      Ds_Response(std::move(Ds_Response)),
      Ds_TransactionType(std::move(Ds_TransactionType)),
      Ds_Terminal(std::move(Ds_Terminal)),
      Ds_ExpiryDate(std::move(Ds_ExpiryDate)),
      Ds_Merchant_Identifier(std::move(Ds_Merchant_Identifier)),
      Ds_CardNumber(std::move(Ds_CardNumber)) {}

DirectPaymentResponse::DirectPaymentResponse(std::optional<DatosRespuesta> datosRespuesta,
                                             std::int64_t code, std::string desc)
    : datosRespuesta(std::move(datosRespuesta)), code(code), desc(std::move(desc)) {}

std::optional<DatosRespuesta> DatosRespuesta::fromJSON(std::string_view json) {
    return detail::decodeObject<DatosRespuesta>(json, decodeDatos);
}

std::string DatosRespuesta::toJSON() const {
    JsonWriter writer(kExpectedJsonSize, JsonWriter::Sensitive::yes);
    writeDatos(writer, *this);
    return finish(writer);
}

std::optional<DirectPaymentResponse> DirectPaymentResponse::fromJSON(std::string_view json) {
    return detail::decodeObject<DirectPaymentResponse>(
        json, [](const nlohmann::json& object) -> std::optional<DirectPaymentResponse> {
            std::int64_t answerCode = 0;
            std::string answerDesc;
            std::optional<DatosRespuesta> datos;
            if (!detail::readInteger(object, "code", answerCode) ||
                !detail::readText(object, "desc", answerDesc) ||
                !detail::readOptionalRecord(object, "datosRespuesta", datos, decodeDatos)) {
                return std::nullopt;
            }
            return DirectPaymentResponse(std::move(datos), answerCode, std::move(answerDesc));
        });
}

std::string DirectPaymentResponse::toJSON() const {
    JsonWriter writer(kExpectedJsonSize, JsonWriter::Sensitive::yes);
    writer.beginObject();
    if (datosRespuesta) {
        writer.key("datosRespuesta");
        writeDatos(writer, *datosRespuesta);
    }
    writer.member("code", code);
    writer.member("desc", desc);
    writer.endObject();
    return finish(writer);
}

}  // namespace vanto
