#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// The payment result that the gateway's payment page puts, as Base64 of a JSON object, into the
/// query of the merchant's return address (the signature service's answer may carry one too).
/// Each field is the gateway's text exactly as sent (dates, amounts and codes too) and may be
/// absent; the JSON keys are the member names.
struct VANTO_EXPORT Parameters {
    /// A result with every field absent.
    Parameters() = default;
    Parameters(std::optional<std::string> Ds_Date, std::optional<std::string> Ds_Hour,
               std::optional<std::string> Ds_SecurePayment, std::optional<std::string> Ds_Amount,
               std::optional<std::string> Ds_Currency, std::optional<std::string> Ds_Order,
               std::optional<std::string> Ds_MerchantCode, std::optional<std::string> Ds_Terminal,
               std::optional<std::string> Ds_Response, std::optional<std::string> Ds_Signature,
               std::optional<std::string> Ds_TransactionType,
               std::optional<std::string> Ds_MerchantData,
               std::optional<std::string> Ds_AuthorisationCode,
               std::optional<std::string> Ds_ExpiryDate,
               std::optional<std::string> Ds_Merchant_Identifier,
               std::optional<std::string> Ds_ConsumerLanguage,
               std::optional<std::string> Ds_Card_Country, std::optional<std::string> Ds_Card_Brand,
               std::optional<std::string> Ds_Card_Number);

    /// Decodes a JSON object. Each member may be absent or null (an absent field) or a string;
    /// a member of any other type, malformed JSON or a top level that is not an object gives
    /// nullopt. Unknown keys are ignored.
    static std::optional<Parameters> fromJSON(std::string_view json);

    /// Compact JSON of the present fields in declaration order, absent ones left out. Returns the
    /// empty text when a field is not well-formed UTF-8. This is the payment result as the gateway
    /// writes it, card data as they are: pass it through maskCardData() before printing it.
    std::string toJSON() const;

    friend bool operator==(const Parameters&, const Parameters&) = default;

    std::optional<std::string> Ds_Date;
    std::optional<std::string> Ds_Hour;
    std::optional<std::string> Ds_SecurePayment;
    std::optional<std::string> Ds_Amount;
    std::optional<std::string> Ds_Currency;
    std::optional<std::string> Ds_Order;
    std::optional<std::string> Ds_MerchantCode;
    std::optional<std::string> Ds_Terminal;
    std::optional<std::string> Ds_Response;
    std::optional<std::string> Ds_Signature;
    std::optional<std::string> Ds_TransactionType;
    std::optional<std::string> Ds_MerchantData;
    std::optional<std::string> Ds_AuthorisationCode;
    std::optional<std::string> Ds_ExpiryDate;
    std::optional<std::string> Ds_Merchant_Identifier;
    std::optional<std::string> Ds_ConsumerLanguage;
    std::optional<std::string> Ds_Card_Country;
    std::optional<std::string> Ds_Card_Brand;
    std::optional<std::string> Ds_Card_Number;
};

}  // namespace vanto
