#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vanto::sandbox::detail {

/// The error codes with which the sandbox refuses to process a request, and their texts.
struct GatewayError {
    std::int64_t code;
    std::string_view desc;
};
inline constexpr GatewayError kBadInput{9901, "Datos de entrada incorrectos"};
inline constexpr GatewayError kUnknownMerchant{9902, "Comercio desconocido"};
inline constexpr GatewayError kBadSignature{9903, "Firma incorrecta"};
inline constexpr GatewayError kUnknownReference{9904, "Referencia de tarjeta desconocida"};
inline constexpr GatewayError kBadCardNumber{9905, "Número de tarjeta incorrecto"};
inline constexpr GatewayError kBadExpiryDate{9906, "Fecha de caducidad incorrecta"};
inline constexpr GatewayError kBadAmount{9907, "Importe incorrecto"};
inline constexpr GatewayError kBadSecurityCode{9908, "Código de seguridad incorrecto"};
inline constexpr GatewayError kIssuerUnavailable{9909, "Emisor de la tarjeta no disponible"};
/// An order number the merchant's terminal has already decided (accepted or declined).
inline constexpr GatewayError kRepeatedOrder{9910, "Pedido repetido"};

/// Ds_Response values.
inline constexpr std::string_view kAuthorised = "0000";
inline constexpr std::string_view kDeclinedByIssuer = "0190";
inline constexpr std::string_view kCardUnknownToSandbox = "0180";

/// What the sandbox does with a card number that passes the Luhn test.
enum class CardOutcome {
    accepted,
    acceptedWithReference,
    /// Accepted once the cardholder has passed the authentication page (on the payment page;
    /// a direct payment is accepted at once).
    acceptedAfterAuthentication,
    declined,
    gatewayError,
    unknownCard,
};

/// Whether a card with this outcome is accepted when nothing else intervenes.
bool acceptedByItsCard(CardOutcome outcome);

/// How the sandbox sees a card.
struct CardProfile {
    CardOutcome outcome;
    std::string_view brand;    // Ds_Card_Brand: "1" VISA, "2" MasterCard
    std::string_view type;     // Ds_Card_Type: "C" credit, "D" debit
    std::string_view country;  // Ds_Card_Country, ISO 3166 numeric
};

/// The profile of a card number (digits only, Luhn-valid).
CardProfile cardProfile(std::string_view number);

/// The first six digits, an asterisk for each hidden digit, the last four; a number of ten
/// digits or fewer shows only its last four.
std::string maskCardNumber(std::string_view number);

/// Four digits, year then month, with a month from 01 to 12.
bool isExpiryDate(std::string_view yymm);

/// Three or four digits.
bool isSecurityCode(std::string_view code);

/// A new six-character authorisation code.
std::string newAuthorisationCode();

/// The gateway's rule for an accepted payment: Ds_Response is a whole number from 0 to 99 (an
/// optional sign, then decimal digits) and Ds_AuthorisationCode is present and not empty.
bool acceptedByGatewayRule(const std::optional<std::string>& response,
                           const std::optional<std::string>& authorisationCode);

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
    /// Ds_Response and Ds_AuthorisationCode; nullopt leaves the member out of the answer.
    std::optional<std::string> response = std::string();
    std::optional<std::string> authorisationCode = std::string();
    /// The card reference sent back in Ds_Merchant_Identifier, or "".
    std::string reference;
    std::string maskedNumber;
    std::string expiryDate;
    CardProfile profile{CardOutcome::unknownCard, "", "", ""};
};

}  // namespace vanto::sandbox::detail
