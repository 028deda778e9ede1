#include "Cards.h"

#include <algorithm>
#include <array>

#include "Crypto.h"
#include "Text.h"
#include "vanto/sandbox/TestCards.h"

namespace vanto::sandbox {

namespace {

constexpr std::array<TestCard, 5> kTestCards{{
    {kAcceptedCard, "accepted: Ds_Response 0000 and an authorisation code"},
    {kDeclinedCard, "declined: Ds_Response 0190 and no authorisation code"},
    {kReferenceCard, "accepted, with a new card reference in Ds_Merchant_Identifier"},
    {kGatewayErrorCard, "the gateway answers code 9909 \"Emisor de la tarjeta no disponible\""},
    {kAuthenticationCard,
     "accepted after an authentication page on the payment page; accepted at once when paid "
     "directly"},
}};

}  // namespace

std::span<const TestCard> testCards() {
    return kTestCards;
}

namespace detail {

bool acceptedByItsCard(CardOutcome outcome) {
    return outcome == CardOutcome::accepted || outcome == CardOutcome::acceptedWithReference ||
           outcome == CardOutcome::acceptedAfterAuthentication;
}

CardProfile cardProfile(std::string_view number) {
    if (number == kAcceptedCard) {
        return {CardOutcome::accepted, "1", "C", "724"};
    }
    if (number == kDeclinedCard) {
        return {CardOutcome::declined, "1", "C", "724"};
    }
    if (number == kReferenceCard) {
        return {CardOutcome::acceptedWithReference, "1", "D", "724"};
    }
    if (number == kGatewayErrorCard) {
        return {CardOutcome::gatewayError, "1", "C", "724"};
    }
    if (number == kAuthenticationCard) {
        return {CardOutcome::acceptedAfterAuthentication, "1", "C", "724"};
    }
    const bool mastercard = !number.empty() && number.front() == '5';
    return {CardOutcome::unknownCard, mastercard ? "2" : "1", "C", "724"};
}

std::string maskCardNumber(std::string_view number) {
    if (number.size() <= 10) {
        return std::string(number.size() > 4 ? number.size() - 4 : 0, '*') +
               std::string(number.substr(number.size() > 4 ? number.size() - 4 : 0));
    }
    return std::string(number.substr(0, 6)) + std::string(number.size() - 10, '*') +
           std::string(number.substr(number.size() - 4));
}

bool isExpiryDate(std::string_view yymm) {
    if (yymm.size() != 4 || !isDigits(yymm)) {
        return false;
    }
    const int month = (yymm[2] - '0') * 10 + (yymm[3] - '0');
    return month >= 1 && month <= 12;
}

bool isSecurityCode(std::string_view code) {
    return (code.size() == 3 || code.size() == 4) && isDigits(code);
}

std::string newAuthorisationCode() {
    return randomText(6, "0123456789ABCDEFGHJKLMNPQRSTUVWXYZ");
}

bool acceptedByGatewayRule(const std::optional<std::string>& response,
                           const std::optional<std::string>& authorisationCode) {
    if (!response || !authorisationCode || authorisationCode->empty()) {
        return false;
    }
    std::string_view digits = *response;
    const bool negative = digits.starts_with('-');
    if (negative || digits.starts_with('+')) {
        digits.remove_prefix(1);
    }
    if (!isDigits(digits)) {
        return false;
    }
    // Leading zeros aside, a number of more than two digits is above 99.
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    return digits.size() <= 2 && (!negative || digits.empty());
}

}  // namespace detail

}  // namespace vanto::sandbox
