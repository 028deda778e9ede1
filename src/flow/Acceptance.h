#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vanto::acceptance {

// The texts of the refusals the library makes itself.
inline constexpr std::int64_t kRefused = 78;
inline constexpr std::int64_t kLibraryError = 5548;
inline constexpr std::string_view kCancelled = "Operación cancelada por el usuario.";
inline constexpr std::string_view kInvalidAmountText =
    "El importe tiene que ser igual o mayor de 0,00";

// A payment response code as the gateway writes it: an optional "+" or "-", then one or more
// decimal digits (leading zeros allowed), nothing else, within the signed 64-bit range.
std::optional<std::int64_t> responseNumber(std::string_view text);

// The gateway's rule for an accepted payment: a response from 0 to 99 with an authorisation code
// that is not empty; an absent authorisation code counts as not empty.
bool accepted(std::int64_t response, const std::optional<std::string>& authorisationCode);

// The amount in hundredths as sent, or none for an amount that cannot be sent: negative, not
// finite, or whose hundredths do not fit a signed 64-bit integer.
std::optional<std::string> payableAmount(double amount);

}  // namespace vanto::acceptance
