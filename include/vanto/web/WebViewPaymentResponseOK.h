#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/web/Parameters.h"

namespace vanto {

/// What the merchant application receives for an accepted web payment: the numeric payment
/// response and a text, followed by the payment result's fields, each the gateway's text or ""
/// when the gateway did not send it.
struct VANTO_EXPORT WebViewPaymentResponseOK {
    WebViewPaymentResponseOK(std::int64_t code, std::string desc, std::string Ds_Date,
                             std::string Ds_Hour, std::string Ds_SecurePayment,
                             std::string Ds_Amount, std::string Ds_Currency, std::string Ds_Order,
                             std::string Ds_MerchantCode, std::string Ds_Terminal,
                             std::string Ds_Response, std::string Ds_Signature,
                             std::string Ds_TransactionType, std::string Ds_MerchantData,
                             std::string Ds_AuthorisationCode, std::string Ds_ExpiryDate,
                             std::string Ds_Merchant_Identifier, std::string Ds_ConsumerLanguage,
                             std::string Ds_Card_Country, std::string Ds_Card_Brand,
                             std::string Ds_Card_Number);

    /// The accepted result read from the return address: `code` is the number read from its
    /// "Ds_Response", `desc` is "", and every field is copied from `parameters` with "" standing
    /// in for an absent one.
    WebViewPaymentResponseOK(const Parameters& parameters, std::int64_t code);

    /// Decodes a JSON object that must hold all twenty-one keys: "code" a JSON number with a
    /// whole value in the signed 64-bit range, every other key a string. Anything else gives
    /// nullopt; unknown keys are ignored.
    static std::optional<WebViewPaymentResponseOK> fromJSON(std::string_view json);

    /// Compact JSON of all twenty-one members in declaration order, as an application prints the
    /// record: the card number and the expiry date, and card data anywhere else in it, are masked
    /// as maskCardData() masks a trace. The record's own members keep what the gateway sent.
    /// Returns the empty text when a text is not well-formed UTF-8.
    std::string toJSON() const;

    friend bool operator==(const WebViewPaymentResponseOK&,
                           const WebViewPaymentResponseOK&) = default;

    std::int64_t code = 0;
    std::string desc;
    std::string Ds_Date;
    std::string Ds_Hour;
    std::string Ds_SecurePayment;
    std::string Ds_Amount;
    std::string Ds_Currency;
    std::string Ds_Order;
    std::string Ds_MerchantCode;
    std::string Ds_Terminal;
    std::string Ds_Response;
    std::string Ds_Signature;
    std::string Ds_TransactionType;
    std::string Ds_MerchantData;
    std::string Ds_AuthorisationCode;
    std::string Ds_ExpiryDate;
    std::string Ds_Merchant_Identifier;
    std::string Ds_ConsumerLanguage;
    std::string Ds_Card_Country;
    std::string Ds_Card_Brand;
    std::string Ds_Card_Number;

  private:
    // Decoding starts from an empty record and fills it; there is no public empty record.
    WebViewPaymentResponseOK() = default;
};

}  // namespace vanto
