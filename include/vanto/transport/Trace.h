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
/// security code or expiry date becomes asterisks. The card members are found by their decoded
/// names wherever they stand in the JSON (after the form key "datoEntrada=" of a request), also
/// inside JSON carried as a text member, and their values are masked whatever their JSON type; a
/// card number repeated in another text is masked there too. Text that does not parse is masked
/// leniently: the value after any spelling of a card member's name, and every run of twelve or
/// more digits. Everything else is left exactly as it stands.
VANTO_EXPORT std::string maskCardData(std::string_view text);

}  // namespace vanto
