#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "vanto/Export.h"

namespace vanto {

/// An amount in currency units converted to hundredths: times 100, to the nearest whole number
/// with halves away from zero (19.99 → 1999, 0.105 → 11, -1.5 → -150). None for a value that is
/// not finite or whose hundredths do not fit a signed 64-bit integer.
VANTO_EXPORT std::optional<std::int64_t> amountInHundredths(double amount);

/// The hundredths of amountInHundredths() as decimal digits, "-" first only when negative.
VANTO_EXPORT std::optional<std::string> amountText(double amount);

}  // namespace vanto
