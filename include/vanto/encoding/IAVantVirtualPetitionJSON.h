#pragma once

#include <string>

#include "vanto/Export.h"

namespace vanto {

class JsonWriter;

/// The payment data of a direct-payment request, written to JSON under these member names and in
/// this order. It holds card data, so it wipes the card number, security code and expiry date when
/// it is destroyed.
struct VANTO_EXPORT IAVantVirtualPetitionJSON {
    IAVantVirtualPetitionJSON(
        std::string DS_MERCHANT_MERCHANTCODE, std::string DS_MERCHANT_TERMINAL,
        std::string DS_MERCHANT_ORDER, std::string DS_MERCHANT_AMOUNT,
        std::string DS_MERCHANT_CURRENCY, std::string DS_MERCHANT_PAN, std::string DS_MERCHANT_CVV2,
        std::string DS_MERCHANT_EXPIRYDATE, std::string DS_MERCHANT_IDENTIFIER,
        std::string DS_MERCHANT_MERCHANTURL, std::string DS_MERCHANT_PRODUCTDESCRIPTION,
        std::string DS_MERCHANT_MERCHANTDATA, std::string DS_MERCHANT_TRANSACTIONTYPE,
        std::string DS_MERCHANT_DIRECTPAYMENT, std::string DS_MERCHANT_CONSUMERLANGUAGE,
        std::string DS_MERCHANT_GROUP);
    ~IAVantVirtualPetitionJSON();
    IAVantVirtualPetitionJSON(const IAVantVirtualPetitionJSON&) = default;
    IAVantVirtualPetitionJSON& operator=(const IAVantVirtualPetitionJSON&) = default;
    IAVantVirtualPetitionJSON(IAVantVirtualPetitionJSON&&) = default;
    IAVantVirtualPetitionJSON& operator=(IAVantVirtualPetitionJSON&&) = default;

    /// Writes the record as a JSON object.
    void writeJson(JsonWriter& writer) const;

    std::string DS_MERCHANT_MODULE = "PZel_iOS";
    std::string DS_MERCHANT_MERCHANTCODE;
    std::string DS_MERCHANT_TERMINAL;
    std::string DS_MERCHANT_ORDER;
    std::string DS_MERCHANT_AMOUNT;
    std::string DS_MERCHANT_CURRENCY;
    std::string DS_MERCHANT_PAN;
    std::string DS_MERCHANT_CVV2;
    std::string DS_MERCHANT_EXPIRYDATE;
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
