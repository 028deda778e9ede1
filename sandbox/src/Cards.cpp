#include "Cards.h"

#include <array>

#include "Crypto.h"
#include "Text.h"
#include "vanto/sandbox/TestCards.h"

namespace vanto::sandbox {

namespace {

constexpr std::array<TestCard, 4> kTestCards{{
    {kAcceptedCard, "accepted: Ds_Response 0000 and an authorisation code"},
    {kDeclinedCard, "declined: Ds_Response 0190 and no authorisation code"},
    {kReferenceCard, "accepted, with a new card reference in Ds_Merchant_Identifier"},
    {kGatewayErrorCard, "the gateway answers code 9909 \"Emisor de la tarjeta no disponible\""},
}};

}  // namespace

std::span<const TestCard> testCards() {
    return kTestCards;
}

namespace detail {

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

}  // namespace detail

}  // namespace vanto::sandbox
