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
    outcome.response = std::string(kAuthorised);
    outcome.authorisationCode = newAuthorisationCode();
    outcome.reference = reference;
    outcome.maskedNumber = card.maskedNumber;
    outcome.expiryDate = card.expiryDate;
    outcome.profile = card.profile;
    return outcome;
}

/// The outcome with the answer of an OUTCOME_ switch in place of the card's, if there is one.
PaymentOutcome withSwitch(PaymentOutcome outcome, std::optional<Outcome> forced) {
    if (!forced || forced == Outcome::noDatosRespuesta) {
        return outcome;
    }
    outcome.error.reset();
    outcome.authorisationCode = newAuthorisationCode();
    switch (forced.value_or(Outcome::noDatosRespuesta)) {
        case Outcome::response0099:
            outcome.response = "0099";
            break;
        case Outcome::response0100:
            outcome.response = "0100";
            break;
        case Outcome::responseMinus1:
            outcome.response = "-1";
            break;
        case Outcome::emptyAuthorisationCode:
            outcome.response = std::string(kAuthorised);
            outcome.authorisationCode = "";
            break;
        case Outcome::noAuthorisationCode:
            outcome.response = std::string(kAuthorised);
            outcome.authorisationCode.reset();
            break;
        case Outcome::notNumeric:
            outcome.response = "OK";
            break;
        case Outcome::noResponse:
            outcome.response.reset();
            break;
        case Outcome::noDatosRespuesta:
            break;
    }
    return outcome;
}

}  // namespace

PaymentOutcome decidePayment(GatewayState& state, const Merchant& merchant, const CardData& card,
                             const std::string& identifier, std::optional<Outcome> forced) {
    const bool switched = forced && forced != Outcome::noDatosRespuesta;
    if (!identifier.empty() && identifier != kRequestReference) {
        const std::optional<StoredCard> stored =
            state.storedCard(merchant.merchantCode, identifier);
        if (!stored) {
            return refused(kUnknownReference);
        }
        return withSwitch(payWithReference(*stored, identifier), forced);
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
    if (switched) {
        return withSwitch(std::move(outcome), forced);
    }
    switch (outcome.profile.outcome) {
        case CardOutcome::gatewayError:
            outcome.error = kIssuerUnavailable;
            return outcome;
        case CardOutcome::declined:
            outcome.response = std::string(kDeclinedByIssuer);
            return outcome;
        case CardOutcome::unknownCard:
            outcome.response = std::string(kCardUnknownToSandbox);
            return outcome;
        case CardOutcome::accepted:
        case CardOutcome::acceptedWithReference:
        case CardOutcome::acceptedAfterAuthentication:
            break;
    }
    outcome.response = std::string(kAuthorised);
    outcome.authorisationCode = newAuthorisationCode();
    if (outcome.profile.outcome == CardOutcome::acceptedWithReference ||
        identifier == kRequestReference) {
        outcome.reference = state.storeCard(
            {merchant.merchantCode, outcome.maskedNumber, outcome.expiryDate, outcome.profile});
    }
    return outcome;
}

void notePayment(GatewayState& state, const Merchant& merchant, const std::string& orderNumber,
                 const std::string& amount, const PaymentOutcome& outcome, DecidedOrder decided) {
    if (!outcome.error) {
        state.noteDecidedOrder(merchant, orderNumber, std::move(decided));
        state.notePayment({orderNumber, amount, outcome.response, outcome.authorisationCode,
                           acceptedByGatewayRule(outcome.response, outcome.authorisationCode)});
    }
}

}  // namespace vanto::sandbox::detail
