#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vanto::sandbox::detail {

/// The text of the page that refuses data that fail the signature check or cannot be read.
inline constexpr std::string_view kDataErrorText =
    "Error en datos enviados. Contacte con su comercio";

/// What the card form shows.
struct CardFormView {
    std::string merchantName;
    std::string orderNumber;
    std::string description;
    std::string amount;  // already formatted, "19,99 €"
    std::string pageId;
    /// The masked number of the card that the order's reference stands for, if any.
    std::optional<std::string> storedCard;
    /// Why the last attempt was refused, if it was.
    std::optional<std::string> problem;
};

/// The payment page: order summary and card form. The form posts to `formAction` the fields
/// "pagina" (the page id), "numero", "caducidad" (MM/AA), "cvv" and "accion" ("pagar" or
/// "cancelar"); elements have the ids card-form, card-number, card-expiry, card-cvv,
/// pay-button and cancel-button. A script takes the buttons away once one has been pressed.
std::string cardFormPage(const CardFormView& view, std::string_view formAction);

/// The page that refuses the posted data; it contains kDataErrorText.
std::string dataErrorPage();

/// The page that refuses an order the merchant's terminal has already decided; it shows the
/// code and text of kRepeatedOrder.
std::string repeatedOrderPage();

/// The page for a card form whose page id is unknown or expired.
std::string expiredPage();

/// The page that refuses a post of the card form without the page's cookie.
std::string missingCookiePage();

/// The authentication page: a form that posts `pageId` and `token` to `formAction` and a script
/// that submits it as soon as the page has loaded. Ids: auth-form, auth-continue.
std::string authenticationPage(std::string_view pageId, std::string_view token,
                               std::string_view formAction);

/// The page of an HTTP status that a fault forces.
std::string statusPage(int status);

/// A page that says the payment is being processed; what a cut answer of a page promises.
std::string processingPage();

/// The page shown at a return address that is not a web address (a placeholder), with the
/// result read from the address: a title and label/value lines.
std::string returnPage(std::string_view returnName, std::string_view title,
                       const std::vector<std::pair<std::string, std::string>>& details);

/// The page for an unknown address.
std::string notFoundPage();

/// "1999" hundredths and currency "978" as "19,99 €".
std::string formatAmount(std::string_view hundredths, std::string_view currency);

}  // namespace vanto::sandbox::detail
