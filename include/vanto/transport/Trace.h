#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/platform/HTTPURLResponse.h"
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
/// security code or expiry date becomes asterisks. `text` may be a request or reply body, a
/// header value, an address, a form, a record's JSON or any other text that is printed.
///
/// The text is read as a reader finally sees it, however many times it was escaped (JSON
/// backslash escapes, percent escapes, HTML character references with or without ";"), with
/// Unicode decimal digits read as ASCII digits and Unicode spaces and dashes as separators. A card
/// number is 13 to 19 digits that pass the Luhn check, in consecutive groups that up to two
/// separators (blanks, dots, slashes, hyphens, dashes, plus signs, zero-width spaces) may part, or
/// the digits of a card number found after a name. After a card member's name, in any notation
/// (JSON or single-quoted members, namespaced too, form fields, XML elements with their CDATA,
/// attributes, input tags, multipart parts, name/value pairs, table columns), the value is masked
/// whatever it holds; after the card form's field names, which are ordinary words too ("numero",
/// "pan", "cvv", "caducidad"), only a value shaped as that card datum is. A payment result
/// ("Ds_MerchantParameters", Base64 of JSON in either alphabet) is decoded, masked and, where that
/// changed it, written again in standard Base64. Numbers that are no card number, and words, stay
/// as they are. An escape is never cut, and a JSON text stays JSON: a number or literal masked
/// outside a string becomes a string.
VANTO_EXPORT std::string maskCardData(std::string_view text);

}  // namespace vanto
