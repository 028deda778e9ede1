#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/platform/URLRequest.h"

namespace vanto {

/// Prints the trace of a request about to be sent on standard output, in one write: method, URL,
/// header fields and body, with card data masked.
VANTO_EXPORT void showLog(const platform::URLRequest& request);

/// Prints the trace of an HTTP reply on standard output, in one write: status, header fields and
/// body, with card data masked.
VANTO_EXPORT void showLog(const platform::HTTPURLResponse& response,
                          const std::optional<std::string>& data);

/// The text showLog(request) prints, without the final line break.
VANTO_EXPORT std::string requestTrace(const platform::URLRequest& request);
/// The text showLog(response, data) prints, without the final line break.
VANTO_EXPORT std::string responseTrace(const platform::HTTPURLResponse& response,
                                       const std::optional<std::string>& data);

/// `text` with card data masked: a card number becomes asterisks and its last four digits, a
/// security code or expiry date becomes asterisks. `text` may be a request or reply body, an
/// address, a form, a record's JSON or any other text that is printed.
///
/// The card members are found by their decoded names wherever they stand in the JSON (after the
/// form key "datoEntrada=" of a request), also inside JSON carried as a text member, after a
/// prefix too, and their values are masked whatever their JSON type. A card number found so is
/// masked wherever it is repeated, however its digits are escaped, and any text holding a card
/// number by the Luhn check (13 to 19 digits, also split by spaces, dashes or plus signs) has it
/// masked. A request echoed in another spelling (HTML character references, percent or form
/// encoding, XML elements or attributes, single quotes) is masked by the same names, and so are
/// the fields of the sandbox payment page's card form ("numero", "caducidad", "cvv"). A payment
/// result ("Ds_MerchantParameters", Base64 of JSON in either alphabet, percent-encoded or not) in
/// an address, a form or a member is decoded, masked and written again in standard Base64.
/// Text that does not parse is masked leniently: after any spelling of a card member's name,
/// every value up to the next member's name, however the first was closed, and every run of
/// twelve or more digits, as read or as written. An escape is never cut. Everything else is left
/// exactly as it stands, and a JSON text stays JSON.
VANTO_EXPORT std::string maskCardData(std::string_view text);

}  // namespace vanto
