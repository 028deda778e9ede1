#include "vanto/web/WebViewPaymentResponse.h"

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
constexpr detail::TextFields<WebViewPaymentResponseOK, 20> kTextFields{{
    {"desc", &WebViewPaymentResponseOK::desc},
    {"Ds_Date", &WebViewPaymentResponseOK::Ds_Date},
    {"Ds_Hour", &WebViewPaymentResponseOK::Ds_Hour},
    {"Ds_SecurePayment", &WebViewPaymentResponseOK::Ds_SecurePayment},
    {"Ds_Amount", &WebViewPaymentResponseOK::Ds_Amount},
    {"Ds_Currency", &WebViewPaymentResponseOK::Ds_Currency},
    {"Ds_Order", &WebViewPaymentResponseOK::Ds_Order},
    {"Ds_MerchantCode", &WebViewPaymentResponseOK::Ds_MerchantCode},
    {"Ds_Terminal", &WebViewPaymentResponseOK::Ds_Terminal},
    {"Ds_Response", &WebViewPaymentResponseOK::Ds_Response},
    {"Ds_Signature", &WebViewPaymentResponseOK::Ds_Signature},
    {"Ds_TransactionType", &WebViewPaymentResponseOK::Ds_TransactionType},
    {"Ds_MerchantData", &WebViewPaymentResponseOK::Ds_MerchantData},
    {"Ds_AuthorisationCode", &WebViewPaymentResponseOK::Ds_AuthorisationCode},
    {"Ds_ExpiryDate", &WebViewPaymentResponseOK::Ds_ExpiryDate},
    {"Ds_Merchant_Identifier", &WebViewPaymentResponseOK::Ds_Merchant_Identifier},
    {"Ds_ConsumerLanguage", &WebViewPaymentResponseOK::Ds_ConsumerLanguage},
    {"Ds_Card_Country", &WebViewPaymentResponseOK::Ds_Card_Country},
    {"Ds_Card_Brand", &WebViewPaymentResponseOK::Ds_Card_Brand},
    {"Ds_Card_Number", &WebViewPaymentResponseOK::Ds_Card_Number},
}};

// Room for a typical record, so that the writer rarely has to grow.
constexpr std::size_t kExpectedJsonSize = 1024;

}  // namespace

WebViewPaymentResponseOK::WebViewPaymentResponseOK(
    std::int64_t code, std::string desc, std::string Ds_Date, std::string Ds_Hour,
    std::string Ds_SecurePayment, std::string Ds_Amount, std::string Ds_Currency,
    std::string Ds_Order, std::string Ds_MerchantCode, std::string Ds_Terminal,
    std::string Ds_Response, std::string Ds_Signature, std::string Ds_TransactionType,
    std::string Ds_MerchantData, std::string Ds_AuthorisationCode, std::string Ds_ExpiryDate,
    std::string Ds_Merchant_Identifier, std::string Ds_ConsumerLanguage,
    std::string Ds_Card_Country, std::string Ds_Card_Brand, std::string Ds_Card_Number)
    : code(code),
      desc(std::move(desc)),
      Ds_Date(std::move(Ds_Date)),
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

WebViewPaymentResponseOK::WebViewPaymentResponseOK(const Parameters& parameters, std::int64_t code)
    : code(code),
      Ds_Date(parameters.Ds_Date.value_or(std::string())),
      Ds_Hour(parameters.Ds_Hour.value_or(std::string())),
      Ds_SecurePayment(parameters.Ds_SecurePayment.value_or(std::string())),
      Ds_Amount(parameters.Ds_Amount.value_or(std::string())),
      Ds_Currency(parameters.Ds_Currency.value_or(std::string())),
      Ds_Order(parameters.Ds_Order.value_or(std::string())),
      Ds_MerchantCode(parameters.Ds_MerchantCode.value_or(std::string())),
      Ds_Terminal(parameters.Ds_Terminal.value_or(std::string())),
      Ds_Response(parameters.Ds_Response.value_or(std::string())),
      Ds_Signature(parameters.Ds_Signature.value_or(std::string())),
      Ds_TransactionType(parameters.Ds_TransactionType.value_or(std::string())),
      Ds_MerchantData(parameters.Ds_MerchantData.value_or(std::string())),
      Ds_AuthorisationCode(parameters.Ds_AuthorisationCode.value_or(std::string())),
      Ds_ExpiryDate(parameters.Ds_ExpiryDate.value_or(std::string())),
      Ds_Merchant_Identifier(parameters.Ds_Merchant_Identifier.value_or(std::string())),
      Ds_ConsumerLanguage(parameters.Ds_ConsumerLanguage.value_or(std::string())),
      Ds_Card_Country(parameters.Ds_Card_Country.value_or(std::string())),
      Ds_Card_Brand(parameters.Ds_Card_Brand.value_or(std::string())),
      Ds_Card_Number(parameters.Ds_Card_Number.value_or(std::string())) {}

std::optional<WebViewPaymentResponseOK> WebViewPaymentResponseOK::fromJSON(std::string_view json) {
    return detail::decodeCodeAndTexts(json, WebViewPaymentResponseOK(), kTextFields);
}

std::string WebViewPaymentResponseOK::toJSON() const {
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
