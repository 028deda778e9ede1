#pragma once

#include <span>
#include <string_view>

namespace vanto::sandbox {

/// A card number that the sandbox knows, with what it does. The numbers pass the Luhn test but
/// belong to no issuer. Any expiry date "YYMM" with a month 01-12 and any security code of three
/// or four digits go with them.
struct TestCard {
    std::string_view number;
    /// What the sandbox answers, in a few words.
    std::string_view behaviour;
};

/// Accepted: Ds_Response "0000" and a six-character authorisation code.
inline constexpr std::string_view kAcceptedCard = "4000000000000002";
/// Declined by the issuer: Ds_Response "0190" and an empty authorisation code.
inline constexpr std::string_view kDeclinedCard = "4000000000000010";
/// Accepted, and the answer carries a new card reference in Ds_Merchant_Identifier.
inline constexpr std::string_view kReferenceCard = "4000000000000028";
/// The gateway fails: a non-zero code with a Spanish text, no payment details.
inline constexpr std::string_view kGatewayErrorCard = "4000000000000036";
/// Accepted like kAcceptedCard, but on the payment page only after an authentication page that
/// submits itself; a direct payment is accepted at once.
inline constexpr std::string_view kAuthenticationCard = "4000000000000044";

/// The five cards above, in that order.
std::span<const TestCard> testCards();

}  // namespace vanto::sandbox
