#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "vanto/platform/SecretText.h"

// The two request messages, written straight from the texts they carry.
namespace vanto::detail {

/// The texts of a direct-payment message: client identification around the payment data.
struct DirectPaymentTexts {
    std::string_view version;
    std::string_view bundle;
    std::string_view merchantCode;
    std::string_view terminal;
    std::string_view order;
    std::string_view amount;
    std::string_view currency;
    std::string_view pan;
    std::string_view cvv2;
    std::string_view expiryDate;
    std::string_view identifier;
    std::string_view merchantURL;
    std::string_view productDescription;
    std::string_view merchantData;
    std::string_view transactionType;
    std::string_view directPayment;
    std::string_view consumerLanguage;
    std::string_view group;
    std::string_view operatingSystem;
};

/// The texts of a web-payment signature request: client identification around the parameters.
struct WebPaymentTexts {
    std::string_view bundle;
    std::string_view merchantCode;
    std::string_view operatingSystem;
    std::string_view terminal;
    std::string_view version;
    std::string_view order;
    std::string_view amount;
    std::string_view productDescription;
    std::string_view identifier;
    std::string_view transactionType;
    std::string_view directPayment;
    std::string_view urlKO;
    std::string_view urlOK;
    std::string_view currency;
    std::string_view merchantURL;
    std::string_view merchantData;
    std::string_view group;
    std::string_view payMethods;
    std::string_view merchantName;
    std::string_view titular;
    std::string_view consumerLanguage;
    std::string_view merchantDescriptor;
};

/// Appends the message as compact JSON to `text`, and the same text escaped as the body of a JSON
/// string to `nested`, which keeps room for `nestedTail` more bytes. False when a text is not
/// well-formed UTF-8. The direct payment's buffers are secret text: they hold the card data.
bool writeMessage(const DirectPaymentTexts& texts, platform::SecretText& text,
                  platform::SecretText& nested, std::size_t nestedTail);
bool writeMessage(const WebPaymentTexts& texts, std::string& text, std::string& nested,
                  std::size_t nestedTail);

}  // namespace vanto::detail
