#pragma once

#include <optional>
#include <string>

#include "Cards.h"
#include "GatewayState.h"

namespace vanto::sandbox::detail {

/// The card data of a payment as the gateway receives them. All empty for a payment with a
/// card reference.
struct CardData {
    std::string number;        // digits only
    std::string securityCode;  // three or four digits
    std::string expiryDate;    // YYMM
};

/// How the sandbox decided a payment.
struct PaymentOutcome {
    /// Set when the payment was not processed at all.
    std::optional<GatewayError> error;
    std::string response;  // Ds_Response
    std::string authorisationCode;
    /// The card reference sent back in Ds_Merchant_Identifier, or "".
    std::string reference;
    std::string maskedNumber;
    std::string expiryDate;
    CardProfile profile{CardOutcome::unknownCard, "", "", ""};
};

/// Decides a payment of `merchant` by the test-card rules. `identifier` is "", "REQUIRED" (asks
/// for a reference to the card when the payment is accepted) or a reference obtained earlier,
/// which pays with the card kept under it whatever card data come along.
PaymentOutcome decidePayment(GatewayState& state, const Merchant& merchant, const CardData& card,
                             const std::string& identifier);

}  // namespace vanto::sandbox::detail
