#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "vanto/config/VantoConfiguration.h"

namespace vanto::cli {

/// The arguments of Encode::encodeStringDirectPayment, in its order.
struct DirectPaymentInput {
    std::string pan, cvv2, expiryDate, amount, orden, identifier, directPayment, transactionType,
        productDescription;
};

/// The arguments of Encode::encodeStringWebViewPayment, in its order.
struct WebPaymentInput {
    std::string orderNumber, identifier;
    double amount = 0;
    std::string directPayment, transactionType, productDescription;
};

/// What `vanto encode` reads from standard input: the configuration, the client identification
/// when given, and the arguments of one of the two encoders.
struct EncodeInput {
    VantoConfiguration configuration{};
    std::optional<std::string> version{};
    std::optional<std::string> bundle{};
    std::variant<DirectPaymentInput, WebPaymentInput> arguments{};
};

/// Reads the input of `vanto encode direct` (kind "direct") or `vanto encode web` (any other
/// kind): one JSON object. Bad input gives the message to show instead, which names members and
/// never repeats their values (the input may hold a card number).
std::variant<EncodeInput, std::string> readEncodeInput(const std::string& kind,
                                                       std::string_view source);

/// The signed request envelope for `input`, once its configuration and client identification are
/// in place (the shared configuration is replaced); "" when the encoder refuses it.
std::string encode(const EncodeInput& input);

}  // namespace vanto::cli
