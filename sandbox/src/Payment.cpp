#include "Payment.h"

#include "Text.h"
#include "vanto/text/CardText.h"

namespace vanto::sandbox::detail {

namespace {

constexpr std::string_view kRequestReference = "REQUIRED";

PaymentOutcome refused(GatewayError error) {
    PaymentOutcome outcome;
    outcome.error = error;
    return outcome;
}

PaymentOutcome payWithReference(const StoredCard& card, const std::string& reference) {
    PaymentOutcome outcome;
    outcome.response = kAuthorised;
    outcome.authorisationCode = newAuthorisationCode();
    outcome.reference = reference;
    outcome.maskedNumber = card.maskedNumber;
    outcome.expiryDate = card.expiryDate;
    outcome.profile = card.profile;
    return outcome;
}

}  // namespace

PaymentOutcome decidePayment(GatewayState& state, const Merchant& merchant, const CardData& card,
                             const std::string& identifier) {
    if (!identifier.empty() && identifier != kRequestReference) {
        const std::optional<StoredCard> stored =
            state.storedCard(merchant.merchantCode, identifier);
        return stored ? payWithReference(*stored, identifier) : refused(kUnknownReference);
    }
    if (card.number.size() < 12 || card.number.size() > 19 || !lunhsTest(card.number)) {
        return refused(kBadCardNumber);
    }
    if (!isExpiryDate(card.expiryDate)) {
        return refused(kBadExpiryDate);
    }
    if (!isSecurityCode(card.securityCode)) {
        return refused(kBadSecurityCode);
    }
    PaymentOutcome outcome;
    outcome.profile = cardProfile(card.number);
    outcome.maskedNumber = maskCardNumber(card.number);
    outcome.expiryDate = card.expiryDate;
    switch (outcome.profile.outcome) {
        case CardOutcome::gatewayError:
            return refused(kIssuerUnavailable);
        case CardOutcome::declined:
            outcome.response = kDeclinedByIssuer;
            return outcome;
        case CardOutcome::unknownCard:
            outcome.response = kCardUnknownToSandbox;
            return outcome;
        case CardOutcome::accepted:
        case CardOutcome::acceptedWithReference:
            break;
    }
    outcome.response = kAuthorised;
    outcome.authorisationCode = newAuthorisationCode();
    if (outcome.profile.outcome == CardOutcome::acceptedWithReference ||
        identifier == kRequestReference) {
        outcome.reference = state.storeCard(
            {merchant.merchantCode, outcome.maskedNumber, outcome.expiryDate, outcome.profile});
    }
    return outcome;
}

}  // namespace vanto::sandbox::detail
