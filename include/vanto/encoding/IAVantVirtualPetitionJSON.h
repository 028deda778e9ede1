#pragma once

#include <string>

#include "vanto/Export.h"
#include "vanto/platform/SecretText.h"

namespace vanto {

class JsonWriter;

/// The payment data of a direct-payment request, written to JSON under these member names and in
/// this order. The card number, security code and expiry date are secret text: moved, never
/// copied, and wiped when they go.
struct VANTO_EXPORT IAVantVirtualPetitionJSON {
    IAVantVirtualPetitionJSON(
        std::string DS_MERCHANT_MERCHANTCODE, std::string DS_MERCHANT_TERMINAL,
        std::string DS_MERCHANT_ORDER, std::string DS_MERCHANT_AMOUNT,
        std::string DS_MERCHANT_CURRENCY, platform::SecretText DS_MERCHANT_PAN,
        platform::SecretText DS_MERCHANT_CVV2, platform::SecretText DS_MERCHANT_EXPIRYDATE,
        std::string DS_MERCHANT_IDENTIFIER, std::string DS_MERCHANT_MERCHANTURL,
        std::string DS_MERCHANT_PRODUCTDESCRIPTION, std::string DS_MERCHANT_MERCHANTDATA,
        std::string DS_MERCHANT_TRANSACTIONTYPE, std::string DS_MERCHANT_DIRECTPAYMENT,
        std::string DS_MERCHANT_CONSUMERLANGUAGE, std::string DS_MERCHANT_GROUP);
    IAVantVirtualPetitionJSON(IAVantVirtualPetitionJSON&&) noexcept = default;
    IAVantVirtualPetitionJSON& operator=(IAVantVirtualPetitionJSON&&) noexcept = default;

    /// Writes the record as a JSON object.
    void writeJson(JsonWriter& writer) const;

    std::string DS_MERCHANT_MODULE = "PZel_iOS";
    std::string DS_MERCHANT_MERCHANTCODE;
    std::string DS_MERCHANT_TERMINAL;
    std::string DS_MERCHANT_ORDER;
    std::string DS_MERCHANT_AMOUNT;
    std::string DS_MERCHANT_CURRENCY;
    platform::SecretText DS_MERCHANT_PAN;
    platform::SecretText DS_MERCHANT_CVV2;
    platform::SecretText DS_MERCHANT_EXPIRYDATE;
    std::string DS_MERCHANT_IDENTIFIER;
    std::string DS_MERCHANT_MERCHANTURL;
    std::string DS_MERCHANT_PRODUCTDESCRIPTION;
    std::string DS_MERCHANT_MERCHANTDATA;
    std::string DS_MERCHANT_TRANSACTIONTYPE;
    std::string DS_MERCHANT_DIRECTPAYMENT;
    std::string DS_MERCHANT_CONSUMERLANGUAGE;
    std::string DS_MERCHANT_GROUP;
};

}  // namespace vanto
