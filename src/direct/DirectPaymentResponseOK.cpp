#include "vanto/direct/DirectPaymentResponse.h"

#include <array>
#include <cstddef>
#include <utility>

#include "encoding/CodeAndTexts.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/platform/SecureWipe.h"
#include "vanto/transport/Trace.h"

namespace vanto {
namespace {

// The text members' JSON keys, in declaration order after "code".
constexpr detail::TextFields<DirectPaymentResponseOK, 18> kTextFields{{
    {"desc", &DirectPaymentResponseOK::desc},
    {"Ds_Card_Country", &DirectPaymentResponseOK::Ds_Card_Country},
    {"Ds_Amount", &DirectPaymentResponseOK::Ds_Amount},
    {"Ds_MerchantData", &DirectPaymentResponseOK::Ds_MerchantData},
    {"Ds_Currency", &DirectPaymentResponseOK::Ds_Currency},
    {"Ds_Order", &DirectPaymentResponseOK::Ds_Order},
    {"Ds_MerchantCode", &DirectPaymentResponseOK::Ds_MerchantCode},
    {"Ds_Card_Type", &DirectPaymentResponseOK::Ds_Card_Type},
    {"Ds_Card_Brand", &DirectPaymentResponseOK::Ds_Card_Brand},
    {"Ds_AuthorisationCode", &DirectPaymentResponseOK::Ds_AuthorisationCode},
    {"Ds_Language", &DirectPaymentResponseOK::Ds_Language},
    {"Ds_SecurePayment", &DirectPaymentResponseOK::Ds_SecurePayment},
    {"Ds_Response", &DirectPaymentResponseOK::Ds_Response},
    {"Ds_TransactionType", &DirectPaymentResponseOK::Ds_TransactionType},
    {"Ds_Terminal", &DirectPaymentResponseOK::Ds_Terminal},
    {"Ds_ExpiryDate", &DirectPaymentResponseOK::Ds_ExpiryDate},
    {"Ds_Merchant_Identifier", &DirectPaymentResponseOK::Ds_Merchant_Identifier},
    {"Ds_CardNumber", &DirectPaymentResponseOK::Ds_CardNumber},
}};

// Room for a typical record, so that the writer rarely has to grow.
constexpr std::size_t kExpectedJsonSize = 768;

// A field of the answer's details, or "" when the details or the field are absent.
std::string detailOrEmpty(const DirectPaymentResponse& response,
                          const std::optional<std::string> DatosRespuesta::*field) {
    if (!response.datosRespuesta) {
        return {};
    }
    return ((*response.datosRespuesta).*field).value_or(std::string());
}

}  // namespace

DirectPaymentResponseOK::DirectPaymentResponseOK(
    std::int64_t code, std::string desc, std::string Ds_Card_Country, std::string Ds_Amount,
    std::string Ds_MerchantData, std::string Ds_Currency, std::string Ds_Order,
    std::string Ds_MerchantCode, std::string Ds_Card_Type, std::string Ds_Card_Brand,
    std::string Ds_AuthorisationCode, std::string Ds_Language, std::string Ds_SecurePayment,
    std::string Ds_Response, std::string Ds_TransactionType, std::string Ds_Terminal,
    std::string Ds_ExpiryDate, std::string Ds_Merchant_Identifier, std::string Ds_CardNumber)
    : code(code),
      desc(std::move(desc)),
      Ds_Card_Country(std::move(Ds_Card_Country)),
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

DirectPaymentResponseOK::DirectPaymentResponseOK(const DirectPaymentResponse& response)
    : code(response.code),
      desc(response.desc),
      Ds_Card_Country(detailOrEmpty(response, &DatosRespuesta::Ds_Card_Country)),
      Ds_Amount(detailOrEmpty(response, &DatosRespuesta::Ds_Amount)),
      Ds_MerchantData(detailOrEmpty(response, &DatosRespuesta::Ds_MerchantData)),
      Ds_Currency(detailOrEmpty(response, &DatosRespuesta::Ds_Currency)),
      Ds_Order(detailOrEmpty(response, &DatosRespuesta::Ds_Order)),
      Ds_MerchantCode(detailOrEmpty(response, &DatosRespuesta::Ds_MerchantCode)),
      Ds_Card_Type(detailOrEmpty(response, &DatosRespuesta::Ds_Card_Type)),
      Ds_Card_Brand(detailOrEmpty(response, &DatosRespuesta::Ds_Card_Brand)),
      Ds_AuthorisationCode(detailOrEmpty(response, &DatosRespuesta::Ds_AuthorisationCode)),
      Ds_Language(detailOrEmpty(response, &DatosRespuesta::Ds_Language)),
      Ds_SecurePayment(detailOrEmpty(response, &DatosRespuesta::Ds_SecurePayment)),
      Ds_Response(detailOrEmpty(response, &DatosRespuesta::Ds_Response)),
      Ds_TransactionType(detailOrEmpty(response, &DatosRespuesta::Ds_TransactionType)),
      Ds_Terminal(detailOrEmpty(response, &DatosRespuesta::Ds_Terminal)),
      Ds_ExpiryDate(detailOrEmpty(response, &DatosRespuesta::Ds_ExpiryDate)),
      Ds_Merchant_Identifier(detailOrEmpty(response, &DatosRespuesta::Ds_Merchant_Identifier)),
      Ds_CardNumber(detailOrEmpty(response, &DatosRespuesta::Ds_CardNumber)) {}

std::optional<DirectPaymentResponseOK> DirectPaymentResponseOK::fromJSON(std::string_view json) {
    return detail::decodeCodeAndTexts(json, DirectPaymentResponseOK(), kTextFields);
}

std::string DirectPaymentResponseOK::toJSON() const {
    // The record carries the card's expiry date and masked number: the writer wipes every buffer
    // it drops, the JSON it wrote is wiped once masked, and what an application prints of the
    // record shows the card data as the traces do.
    std::string json = detail::encodeCodeAndTexts(*this, kTextFields, kExpectedJsonSize,
                                                  JsonWriter::Sensitive::yes);
    std::string masked = maskCardData(json);
    platform::secureWipe(json);
    return masked;
}

}  // namespace vanto
