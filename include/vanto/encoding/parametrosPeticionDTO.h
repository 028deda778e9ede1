#pragma once

#include <string>

#include "vanto/Export.h"

namespace vanto {

class JsonWriter;

/// The payment parameters of a web-payment signature request, written to JSON under these member
/// names and in this order. Note the lower-case "m" of Ds_merchant_MerchantDescriptor and the
/// module "PZel_IOS": the gateway expects them so.
struct VANTO_EXPORT parametrosPeticionDTO {
    parametrosPeticionDTO(std::string Ds_Merchant_Order, std::string Ds_Merchant_Amount,
                          std::string Ds_Merchant_ProductDescription,
                          std::string Ds_Merchant_Identifier,
                          std::string Ds_Merchant_TransactionType,
                          std::string Ds_Merchant_DirectPayment, std::string Ds_Merchant_UrlKO,
                          std::string Ds_Merchant_UrlOK, std::string Ds_Merchant_Terminal,
                          std::string Ds_Merchant_MerchantCode, std::string Ds_Merchant_Currency,
                          std::string Ds_Merchant_MerchantURL, std::string Ds_Merchant_MerchantData,
                          std::string Ds_Merchant_Group, std::string Ds_Merchant_PayMethods,
                          std::string Ds_Merchant_MerchantName, std::string Ds_Merchant_Titular,
                          std::string Ds_Merchant_ConsumerLanguage, std::string Ds_Merchant_Module,
                          std::string Ds_merchant_MerchantDescriptor);

    /// Writes the record as a JSON object.
    void writeJson(JsonWriter& writer) const;

    std::string Ds_Merchant_Order;
    std::string Ds_Merchant_Amount;
    std::string Ds_Merchant_ProductDescription;
    std::string Ds_Merchant_Identifier;
    std::string Ds_Merchant_TransactionType;
    std::string Ds_Merchant_DirectPayment;
    std::string Ds_Merchant_UrlKO;
    std::string Ds_Merchant_UrlOK;
    std::string Ds_Merchant_Terminal;
    std::string Ds_Merchant_MerchantCode;
    std::string Ds_Merchant_Currency;
    std::string Ds_Merchant_MerchantURL;
    std::string Ds_Merchant_MerchantData;
    std::string Ds_Merchant_Group;
    std::string Ds_Merchant_PayMethods;
    std::string Ds_Merchant_MerchantName;
    std::string Ds_Merchant_Titular;
    std::string Ds_Merchant_ConsumerLanguage;
    std::string Ds_Merchant_Module;
    std::string Ds_merchant_MerchantDescriptor;
};

}  // namespace vanto
