#include <utility>

#include "encoding/RequestMessages.h"
#include "vanto/encoding/JsonWriter.h"

namespace vanto {

IAVantVirtualPetitionJSON::IAVantVirtualPetitionJSON(
    std::string DS_MERCHANT_MERCHANTCODE, std::string DS_MERCHANT_TERMINAL,
    std::string DS_MERCHANT_ORDER, std::string DS_MERCHANT_AMOUNT, std::string DS_MERCHANT_CURRENCY,
    platform::SecretText DS_MERCHANT_PAN, platform::SecretText DS_MERCHANT_CVV2,
    platform::SecretText DS_MERCHANT_EXPIRYDATE, std::string DS_MERCHANT_IDENTIFIER,
    std::string DS_MERCHANT_MERCHANTURL, std::string DS_MERCHANT_PRODUCTDESCRIPTION,
    std::string DS_MERCHANT_MERCHANTDATA, std::string DS_MERCHANT_TRANSACTIONTYPE,
    std::string DS_MERCHANT_DIRECTPAYMENT, std::string DS_MERCHANT_CONSUMERLANGUAGE,
    std::string DS_MERCHANT_GROUP)
    : DS_MERCHANT_MERCHANTCODE(std::move(DS_MERCHANT_MERCHANTCODE)),
      DS_MERCHANT_TERMINAL(std::move(DS_MERCHANT_TERMINAL)),
      DS_MERCHANT_ORDER(std::move(DS_MERCHANT_ORDER)),
      DS_MERCHANT_AMOUNT(std::move(DS_MERCHANT_AMOUNT)),
      DS_MERCHANT_CURRENCY(std::move(DS_MERCHANT_CURRENCY)),
      DS_MERCHANT_PAN(std::move(DS_MERCHANT_PAN)),
      DS_MERCHANT_CVV2(std::move(DS_MERCHANT_CVV2)),
      DS_MERCHANT_EXPIRYDATE(std::move(DS_MERCHANT_EXPIRYDATE)),
      DS_MERCHANT_IDENTIFIER(std::move(DS_MERCHANT_IDENTIFIER)),
      DS_MERCHANT_MERCHANTURL(std::move(DS_MERCHANT_MERCHANTURL)),
      DS_MERCHANT_PRODUCTDESCRIPTION(std::move(DS_MERCHANT_PRODUCTDESCRIPTION)),
      DS_MERCHANT_MERCHANTDATA(std::move(DS_MERCHANT_MERCHANTDATA)),
      DS_MERCHANT_TRANSACTIONTYPE(std::move(DS_MERCHANT_TRANSACTIONTYPE)),
      DS_MERCHANT_DIRECTPAYMENT(std::move(DS_MERCHANT_DIRECTPAYMENT)),
      DS_MERCHANT_CONSUMERLANGUAGE(std::move(DS_MERCHANT_CONSUMERLANGUAGE)),
      DS_MERCHANT_GROUP(std::move(DS_MERCHANT_GROUP)) {}

void IAVantVirtualPetitionJSON::writeJson(JsonWriter& writer) const {
    writer.beginObject();
    writer.member("DS_MERCHANT_MODULE", DS_MERCHANT_MODULE);
    writer.member("DS_MERCHANT_MERCHANTCODE", DS_MERCHANT_MERCHANTCODE);
    writer.member("DS_MERCHANT_TERMINAL", DS_MERCHANT_TERMINAL);
    writer.member("DS_MERCHANT_ORDER", DS_MERCHANT_ORDER);
    writer.member("DS_MERCHANT_AMOUNT", DS_MERCHANT_AMOUNT);
    writer.member("DS_MERCHANT_CURRENCY", DS_MERCHANT_CURRENCY);
    writer.member("DS_MERCHANT_PAN", DS_MERCHANT_PAN.view());
    writer.member("DS_MERCHANT_CVV2", DS_MERCHANT_CVV2.view());
    writer.member("DS_MERCHANT_EXPIRYDATE", DS_MERCHANT_EXPIRYDATE.view());
    writer.member("DS_MERCHANT_IDENTIFIER", DS_MERCHANT_IDENTIFIER);
    writer.member("DS_MERCHANT_MERCHANTURL", DS_MERCHANT_MERCHANTURL);
    writer.member("DS_MERCHANT_PRODUCTDESCRIPTION", DS_MERCHANT_PRODUCTDESCRIPTION);
    writer.member("DS_MERCHANT_MERCHANTDATA", DS_MERCHANT_MERCHANTDATA);
    writer.member("DS_MERCHANT_TRANSACTIONTYPE", DS_MERCHANT_TRANSACTIONTYPE);
    writer.member("DS_MERCHANT_DIRECTPAYMENT", DS_MERCHANT_DIRECTPAYMENT);
    writer.member("DS_MERCHANT_CONSUMERLANGUAGE", DS_MERCHANT_CONSUMERLANGUAGE);
    writer.member("DS_MERCHANT_GROUP", DS_MERCHANT_GROUP);
    writer.endObject();
}

objetoPeticionJSONDTO::objetoPeticionJSONDTO(std::string version, std::string bundle,
                                             IAVantVirtualPetitionJSON datosPeticion,
                                             std::string so)
    : version(std::move(version)),
      bundle(std::move(bundle)),
      datosPeticion(std::move(datosPeticion)),
      so(std::move(so)) {}

void objetoPeticionJSONDTO::writeJson(JsonWriter& writer) const {
    writer.beginObject();
    writer.member("version", version);
    writer.member("bundle", bundle);
    writer.key("datosPeticion");
    datosPeticion.writeJson(writer);
    writer.member("so", so);
    writer.endObject();
}

parametrosPeticionDTO::parametrosPeticionDTO(
    std::string Ds_Merchant_Order, std::string Ds_Merchant_Amount,
    std::string Ds_Merchant_ProductDescription, std::string Ds_Merchant_Identifier,
    std::string Ds_Merchant_TransactionType, std::string Ds_Merchant_DirectPayment,
    std::string Ds_Merchant_UrlKO, std::string Ds_Merchant_UrlOK, std::string Ds_Merchant_Terminal,
    std::string Ds_Merchant_MerchantCode, std::string Ds_Merchant_Currency,
    std::string Ds_Merchant_MerchantURL, std::string Ds_Merchant_MerchantData,
    std::string Ds_Merchant_Group, std::string Ds_Merchant_PayMethods,
    std::string Ds_Merchant_MerchantName, std::string Ds_Merchant_Titular,
    std::string Ds_Merchant_ConsumerLanguage, std::string Ds_Merchant_Module,
    std::string Ds_merchant_MerchantDescriptor)
    : Ds_Merchant_Order(std::move(Ds_Merchant_Order)),
      Ds_Merchant_Amount(std::move(Ds_Merchant_Amount)),
      Ds_Merchant_ProductDescription(std::move(Ds_Merchant_ProductDescription)),
      Ds_Merchant_Identifier(std::move(Ds_Merchant_Identifier)),
      Ds_Merchant_TransactionType(std::move(Ds_Merchant_TransactionType)),
      Ds_Merchant_DirectPayment(std::move(Ds_Merchant_DirectPayment)),
      Ds_Merchant_UrlKO(std::move(Ds_Merchant_UrlKO)),
      Ds_Merchant_UrlOK(std::move(Ds_Merchant_UrlOK)),
      Ds_Merchant_Terminal(std::move(Ds_Merchant_Terminal)),
      Ds_Merchant_MerchantCode(std::move(Ds_Merchant_MerchantCode)),
      Ds_Merchant_Currency(std::move(Ds_Merchant_Currency)),
      Ds_Merchant_MerchantURL(std::move(Ds_Merchant_MerchantURL)),
      Ds_Merchant_MerchantData(std::move(Ds_Merchant_MerchantData)),
      Ds_Merchant_Group(std::move(Ds_Merchant_Group)),
      Ds_Merchant_PayMethods(std::move(Ds_Merchant_PayMethods)),
      Ds_Merchant_MerchantName(std::move(Ds_Merchant_MerchantName)),
      Ds_Merchant_Titular(std::move(Ds_Merchant_Titular)),
      Ds_Merchant_ConsumerLanguage(std::move(Ds_Merchant_ConsumerLanguage)),
      Ds_Merchant_Module(std::move(Ds_Merchant_Module)),
      Ds_merchant_MerchantDescriptor(std::move(Ds_merchant_MerchantDescriptor)) {}

void parametrosPeticionDTO::writeJson(JsonWriter& writer) const {
    writer.beginObject();
    writer.member("Ds_Merchant_Order", Ds_Merchant_Order);
    writer.member("Ds_Merchant_Amount", Ds_Merchant_Amount);
    writer.member("Ds_Merchant_ProductDescription", Ds_Merchant_ProductDescription);
    writer.member("Ds_Merchant_Identifier", Ds_Merchant_Identifier);
    writer.member("Ds_Merchant_TransactionType", Ds_Merchant_TransactionType);
    writer.member("Ds_Merchant_DirectPayment", Ds_Merchant_DirectPayment);
    writer.member("Ds_Merchant_UrlKO", Ds_Merchant_UrlKO);
    writer.member("Ds_Merchant_UrlOK", Ds_Merchant_UrlOK);
    writer.member("Ds_Merchant_Terminal", Ds_Merchant_Terminal);
    writer.member("Ds_Merchant_MerchantCode", Ds_Merchant_MerchantCode);
    writer.member("Ds_Merchant_Currency", Ds_Merchant_Currency);
    writer.member("Ds_Merchant_MerchantURL", Ds_Merchant_MerchantURL);
    writer.member("Ds_Merchant_MerchantData", Ds_Merchant_MerchantData);
    writer.member("Ds_Merchant_Group", Ds_Merchant_Group);
    writer.member("Ds_Merchant_PayMethods", Ds_Merchant_PayMethods);
    writer.member("Ds_Merchant_MerchantName", Ds_Merchant_MerchantName);
    writer.member("Ds_Merchant_Titular", Ds_Merchant_Titular);
    writer.member("Ds_Merchant_ConsumerLanguage", Ds_Merchant_ConsumerLanguage);
    writer.member("Ds_Merchant_Module", Ds_Merchant_Module);
    writer.member("Ds_merchant_MerchantDescriptor", Ds_merchant_MerchantDescriptor);
    writer.endObject();
}

pedirURLDTO::pedirURLDTO(std::string bundle, std::string fuc, std::string so, std::string terminal,
                         std::string version, parametrosPeticionDTO parametros)
    : bundle(std::move(bundle)),
      fuc(std::move(fuc)),
      so(std::move(so)),
      terminal(std::move(terminal)),
      version(std::move(version)),
      parametros(std::move(parametros)) {}

void pedirURLDTO::writeJson(JsonWriter& writer) const {
    writer.beginObject();
    writer.member("bundle", bundle);
    writer.member("fuc", fuc);
    writer.member("so", so);
    writer.member("terminal", terminal);
    writer.member("version", version);
    writer.key("parametros");
    parametros.writeJson(writer);
    writer.endObject();
}

}  // namespace vanto
