#include "vanto/text/CardText.h"

#include <cmath>
#include <string>

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

std::optional<Amount> Amount::fromHundredths(std::int64_t hundredths) {
    // The calls that take a double turn it back into hundredths by amountInHundredths(): only
    // hundredths that come back unchanged are an amount.
    constexpr std::int64_t kExact = std::int64_t{1} << 51;
    if (hundredths > kExact || hundredths < -kExact ||
        amountInHundredths(static_cast<double>(hundredths) / 100.0) != hundredths) {
        return std::nullopt;
    }
    return Amount(hundredths);
}

std::optional<Amount> Amount::fromText(std::string_view text, Problem* problem) {
    const auto refuse = [problem](Problem why) {
        if (problem != nullptr) {
            *problem = why;
        }
        return std::nullopt;
    };
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+')) {
        text.remove_prefix(1);
    }
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    std::string_view decimals =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if ((whole.empty() && decimals.empty()) || !digits(whole) || !digits(decimals)) {
        return refuse(Problem::notPlainDigits);
    }
    while (decimals.size() > 2 && decimals.back() == '0') {
        decimals.remove_suffix(1);
    }
    if (decimals.size() > 2) {
        return refuse(Problem::tooManyDecimals);
    }
    // Digit by digit, stopping well before an overflow: 2^51 has 16 digits.
    std::int64_t hundredths = 0;
    const std::string cents = std::string(decimals) + std::string(2 - decimals.size(), '0');
    for (const char c : std::string(whole) + cents) {
        hundredths = hundredths * 10 + (c - '0');
        if (hundredths > (std::int64_t{1} << 52)) {
            return refuse(Problem::tooLarge);
        }
    }
    auto amount = fromHundredths(negative ? -hundredths : hundredths);
    return amount ? amount : refuse(Problem::tooLarge);
}

}  // namespace vanto
