#include "flow/Acceptance.h"

#include <charconv>

#include "vanto/text/CardText.h"

namespace vanto::acceptance {

std::optional<std::int64_t> responseNumber(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);  // from_chars takes "-" but not "+"
        if (!digits.empty() && digits.front() == '-') {
            return std::nullopt;
        }
    }
    const std::string_view rest =
        !digits.empty() && digits.front() == '-' ? digits.substr(1) : digits;
    if (rest.empty() || rest.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

bool accepted(std::int64_t response, const std::optional<std::string>& authorisationCode) {
    return response >= 0 && response <= 99 && (!authorisationCode || !authorisationCode->empty());
}

std::optional<std::string> payableAmount(double amount) {
    if (amount < 0) {
        return std::nullopt;
    }
    return amountText(amount);
}

}  // namespace vanto::acceptance
