#include "encoding/RequestMessages.h"

#include <array>

#include "encoding/MessageLayout.h"

namespace vanto::detail {
namespace {

// The direct-payment message's members, in the order they are written. The module names this
// client to the gateway.
using Direct = DirectPaymentTexts;
constexpr std::array kDirectPaymentSteps = {
    textMember("version", &Direct::version),
    textMember("bundle", &Direct::bundle),
    objectMember<Direct>("datosPeticion"),
    constantMember<Direct>("DS_MERCHANT_MODULE", "PZel_iOS"),
    textMember("DS_MERCHANT_MERCHANTCODE", &Direct::merchantCode),
    textMember("DS_MERCHANT_TERMINAL", &Direct::terminal),
    textMember("DS_MERCHANT_ORDER", &Direct::order),
    textMember("DS_MERCHANT_AMOUNT", &Direct::amount),
    textMember("DS_MERCHANT_CURRENCY", &Direct::currency),
    textMember("DS_MERCHANT_PAN", &Direct::pan),
    textMember("DS_MERCHANT_CVV2", &Direct::cvv2),
    textMember("DS_MERCHANT_EXPIRYDATE", &Direct::expiryDate),
    textMember("DS_MERCHANT_IDENTIFIER", &Direct::identifier),
    textMember("DS_MERCHANT_MERCHANTURL", &Direct::merchantURL),
    textMember("DS_MERCHANT_PRODUCTDESCRIPTION", &Direct::productDescription),
    textMember("DS_MERCHANT_MERCHANTDATA", &Direct::merchantData),
    textMember("DS_MERCHANT_TRANSACTIONTYPE", &Direct::transactionType),
    textMember("DS_MERCHANT_DIRECTPAYMENT", &Direct::directPayment),
    textMember("DS_MERCHANT_CONSUMERLANGUAGE", &Direct::consumerLanguage),
    textMember("DS_MERCHANT_GROUP", &Direct::group),
    objectEnd<Direct>(),
    textMember("so", &Direct::operatingSystem),
};
constexpr auto kDirectPayment =
    makeLayout<textCount(kDirectPaymentSteps), fixedSize(kDirectPaymentSteps)>(kDirectPaymentSteps);

// The web-payment request's members, in the order they are written. Note the lower-case "m" of
// Ds_merchant_MerchantDescriptor and the module "PZel_IOS": the gateway expects them so.
using Web = WebPaymentTexts;
constexpr std::array kWebPaymentSteps = {
    textMember("bundle", &Web::bundle),
    textMember("fuc", &Web::merchantCode),
    textMember("so", &Web::operatingSystem),
    textMember("terminal", &Web::terminal),
    textMember("version", &Web::version),
    objectMember<Web>("parametros"),
    textMember("Ds_Merchant_Order", &Web::order),
    textMember("Ds_Merchant_Amount", &Web::amount),
    textMember("Ds_Merchant_ProductDescription", &Web::productDescription),
    textMember("Ds_Merchant_Identifier", &Web::identifier),
    textMember("Ds_Merchant_TransactionType", &Web::transactionType),
    textMember("Ds_Merchant_DirectPayment", &Web::directPayment),
    textMember("Ds_Merchant_UrlKO", &Web::urlKO),
    textMember("Ds_Merchant_UrlOK", &Web::urlOK),
    textMember("Ds_Merchant_Terminal", &Web::terminal),
    textMember("Ds_Merchant_MerchantCode", &Web::merchantCode),
    textMember("Ds_Merchant_Currency", &Web::currency),
    textMember("Ds_Merchant_MerchantURL", &Web::merchantURL),
    textMember("Ds_Merchant_MerchantData", &Web::merchantData),
    textMember("Ds_Merchant_Group", &Web::group),
    textMember("Ds_Merchant_PayMethods", &Web::payMethods),
    textMember("Ds_Merchant_MerchantName", &Web::merchantName),
    textMember("Ds_Merchant_Titular", &Web::titular),
    textMember("Ds_Merchant_ConsumerLanguage", &Web::consumerLanguage),
    constantMember<Web>("Ds_Merchant_Module", "PZel_IOS"),
    textMember("Ds_merchant_MerchantDescriptor", &Web::merchantDescriptor),
    objectEnd<Web>(),
};
constexpr auto kWebPayment =
    makeLayout<textCount(kWebPaymentSteps), fixedSize(kWebPaymentSteps)>(kWebPaymentSteps);

}  // namespace

bool writeMessage(const DirectPaymentTexts& texts, platform::SecretText& text,
                  platform::SecretText& nested, std::size_t nestedTail) {
    return writeMessage<kDirectPayment>(texts, text, nested, nestedTail);
}

bool writeMessage(const WebPaymentTexts& texts, std::string& text, std::string& nested,
                  std::size_t nestedTail) {
    return writeMessage<kWebPayment>(texts, text, nested, nestedTail);
}

}  // namespace vanto::detail
