#pragma once

#include <optional>
#include <string>

#include "Cards.h"
#include "GatewayState.h"
#include "vanto/sandbox/Switches.h"

namespace vanto::sandbox::detail {

/// Decides a payment of `merchant` by the test-card rules. `identifier` is "", "REQUIRED" (asks
/// for a reference to the card when the payment is accepted) or a reference obtained earlier,
/// which pays with the card kept under it whatever card data come along.
///
/// `forced`, an OUTCOME_ switch, replaces the answer of any valid card data (a Luhn-valid number
/// with a valid expiry and security code, or a known reference): Ds_Response and the
/// authorisation code become the switch's, the rest stays the card's, and no new reference is
/// made. Outcome::noDatosRespuesta is left to the direct-payment service and changes nothing
/// here.
PaymentOutcome decidePayment(GatewayState& state, const Merchant& merchant, const CardData& card,
                             const std::string& identifier, std::optional<Outcome> forced);

/// Adds a decided payment to the sandbox's list, and its order to the merchant's decided orders
/// (`decided` says how it was decided); one refused before it was processed (an outcome with an
/// error) is none.
void notePayment(GatewayState& state, const Merchant& merchant, const std::string& orderNumber,
                 const std::string& amount, const PaymentOutcome& outcome,
                 DecidedOrder decided = {});

}  // namespace vanto::sandbox::detail
