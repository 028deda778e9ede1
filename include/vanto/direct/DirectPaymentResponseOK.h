#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/direct/DirectPaymentResponse.h"

namespace vanto {

/// What the merchant application receives for an accepted direct payment: the gateway's code and
/// text followed by the card and transaction details, each the gateway's text or "" when the
/// gateway did not send it.
struct VANTO_EXPORT DirectPaymentResponseOK {
    DirectPaymentResponseOK(std::int64_t code, std::string desc, std::string Ds_Card_Country,
                            std::string Ds_Amount, std::string Ds_MerchantData,
                            std::string Ds_Currency, std::string Ds_Order,
                            std::string Ds_MerchantCode, std::string Ds_Card_Type,
                            std::string Ds_Card_Brand, std::string Ds_AuthorisationCode,
                            std::string Ds_Language, std::string Ds_SecurePayment,
                            std::string Ds_Response, std::string Ds_TransactionType,
                            std::string Ds_Terminal, std::string Ds_ExpiryDate,
                            std::string Ds_Merchant_Identifier, std::string Ds_CardNumber);

    /// Takes `code` and `desc` of the answer and every field of its `datosRespuesta`, with ""
    /// standing in for an absent field or an absent `datosRespuesta`.
    explicit DirectPaymentResponseOK(const DirectPaymentResponse& response);

    /// Decodes a JSON object that must hold all nineteen keys: "code" a JSON number with a whole
    /// value in the signed 64-bit range, every other key a string. Anything else gives nullopt;
    /// unknown keys are ignored.
    static std::optional<DirectPaymentResponseOK> fromJSON(std::string_view json);

    /// Compact JSON of all nineteen members in declaration order, as an application prints the
    /// record: the card number and the expiry date, and card data anywhere else in it, are masked
    /// as maskCardData() masks a trace. The record's own members keep what the gateway sent.
    /// Returns the empty text when a text is not well-formed UTF-8.
    std::string toJSON() const;

    friend bool operator==(const DirectPaymentResponseOK&,
                           const DirectPaymentResponseOK&) = default;

    std::int64_t code = 0;
    std::string desc;
    std::string Ds_Card_Country;
    std::string Ds_Amount;
    std::string Ds_MerchantData;
    std::string Ds_Currency;
    std::string Ds_Order;
    std::string Ds_MerchantCode;
    std::string Ds_Card_Type;
    std::string Ds_Card_Brand;
    std::string Ds_AuthorisationCode;
    std::string Ds_Language;
    std::string Ds_SecurePayment;
    std::string Ds_Response;
    std::string Ds_TransactionType;
    std::string Ds_Terminal;
    std::string Ds_ExpiryDate;
    std::string Ds_Merchant_Identifier;
    std::string Ds_CardNumber;

  private:
    // Decoding starts from an empty record and fills it; there is no public empty record.
    DirectPaymentResponseOK() = default;
};

}  // namespace vanto
