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

class JsonWriter;

/// The direct-payment request message: client identification around the payment data.
struct VANTO_EXPORT objetoPeticionJSONDTO {
    objetoPeticionJSONDTO(std::string version, std::string bundle,
                          IAVantVirtualPetitionJSON datosPeticion, std::string so);

    /// Writes the message as a JSON object, the payment data nested as an object.
    void writeJson(JsonWriter& writer) const;

    std::string version;
    std::string bundle;
    IAVantVirtualPetitionJSON datosPeticion;
    std::string so;
};

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

class JsonWriter;

/// The web-payment signature request message: client identification around the parameters.
struct VANTO_EXPORT pedirURLDTO {
    pedirURLDTO(std::string bundle, std::string fuc, std::string so, std::string terminal,
                std::string version, parametrosPeticionDTO parametros);

    /// Writes the message as a JSON object, the parameters nested as an object.
    void writeJson(JsonWriter& writer) const;

    std::string bundle;
    std::string fuc;
    std::string so;
    std::string terminal;
    std::string version;
    parametrosPeticionDTO parametros;
};

}  // namespace vanto
