#pragma once

#include <string>
#include <string_view>

#include "vanto/platform/SecretText.h"

#include "vanto/Export.h"

namespace vanto {

/// The two signed requests the library sends to the gateway.
///
/// Each builds its message from the arguments and the shared configuration, writes it as compact
/// JSON, signs it with SHA-256 over the message text followed by the configuration's appLicense,
/// and returns the request envelope `{"mensaje":<message text>,"firma":<64 hex digits>}`.
/// Failures give "" instead of an envelope.
struct VANTO_EXPORT Encode {
    /// The direct-payment request. The arguments are copied into the message as they are; the
    /// amount is already in hundredths. The request carries the card data, so it is secret text,
    /// and so is every copy made on the way. Empty when a text is not well-formed UTF-8.
    static platform::SecretText encodeStringDirectPayment(
        std::string_view pan, std::string_view cvv2, std::string_view expiryDate,
        std::string_view amount, std::string_view orden, std::string_view identifier,
        std::string_view directPayment, std::string_view transactionType,
        std::string_view productDescription);

    /// The request for the payment page's signed parameters. `amount` is in currency units. Empty
    /// return addresses of the shared configuration are first set back to their placeholders.
    /// "" when the amount is not finite or its hundredths do not fit a signed 64-bit integer
    /// (the configuration is then left unchanged), or when a text is not well-formed UTF-8.
    static std::string encodeStringWebViewPayment(std::string_view orderNumber,
                                                  std::string_view identifier, double amount,
                                                  std::string_view directPayment,
                                                  std::string_view transactionType,
                                                  std::string_view productDescription);
};

}  // namespace vanto
