#include "vanto/text/CardText.h"

#include <cmath>

namespace vanto {

std::optional<std::int64_t> amountInHundredths(double amount) {
    // std::round takes halves away from zero. The bounds are the exact doubles -2^63 and 2^63:
    // every rounded value in [-2^63, 2^63) converts to int64 without overflow.
    const double hundredths = std::round(amount * 100.0);
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(hundredths) || hundredths < -kLimit || hundredths >= kLimit) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(hundredths);
}

std::optional<std::string> amountText(double amount) {
    const auto hundredths = amountInHundredths(amount);
    if (!hundredths) {
        return std::nullopt;
    }
    return std::to_string(*hundredths);
}

}  // namespace vanto
