#include "encoding/JsonRead.h"

#include <cmath>
#include <limits>

namespace vanto::detail {

std::optional<nlohmann::json> parseJson(std::string_view text) noexcept {
    try {
        // Parsing without exceptions reports a syntax error as a discarded value; the handler
        // still guards against anything else the parser may throw, such as running out of memory.
        nlohmann::json value = nlohmann::json::parse(text.data(), text.data() + text.size(),
                                                     nullptr, /*allow_exceptions=*/false);
        if (value.is_discarded()) {
            return std::nullopt;
        }
        return value;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<nlohmann::json> parseJsonObject(std::string_view text) noexcept {
    std::optional<nlohmann::json> value = parseJson(text);
    if (!value || !value->is_object()) {
        return std::nullopt;
    }
    return value;
}

const nlohmann::json* presentMember(const nlohmann::json& object, std::string_view key) noexcept {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

bool readOptionalText(const nlohmann::json& object, std::string_view key,
                      std::optional<std::string>& out) {
    const nlohmann::json* value = presentMember(object, key);
    if (value == nullptr) {
        out.reset();
        return true;
    }
    const auto* text = value->get_ptr<const nlohmann::json::string_t*>();
    if (text == nullptr) {
        return false;
    }
    out = *text;
    return true;
}

bool readText(const nlohmann::json& object, std::string_view key, std::string& out) {
    const nlohmann::json* value = presentMember(object, key);
    if (value == nullptr) {
        return false;
    }
    const auto* text = value->get_ptr<const nlohmann::json::string_t*>();
    if (text == nullptr) {
        return false;
    }
    out = *text;
    return true;
}

std::optional<std::int64_t> wholeInt64(const nlohmann::json& value) noexcept {
    // The parser keeps a number as a signed integer when it fits, as an unsigned one when only
    // that fits, and as a double otherwise (fractions and exponents included).
    switch (value.type()) {
        case nlohmann::json::value_t::number_integer:
            return *value.get_ptr<const nlohmann::json::number_integer_t*>();
        case nlohmann::json::value_t::number_unsigned: {
            const std::uint64_t number = *value.get_ptr<const nlohmann::json::number_unsigned_t*>();
            if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return std::nullopt;
            }
            return static_cast<std::int64_t>(number);
        }
        case nlohmann::json::value_t::number_float: {
            // -2^63 and 2^63 are exact doubles: the range is the half-open interval between
            // them. NaN fails both comparisons.
            constexpr double kTwoToThe63 = 9223372036854775808.0;
            const double number = *value.get_ptr<const nlohmann::json::number_float_t*>();
            if (!(number >= -kTwoToThe63 && number < kTwoToThe63) || std::trunc(number) != number) {
                return std::nullopt;
            }
            return static_cast<std::int64_t>(number);
        }
        default:
            return std::nullopt;
    }
}

bool readInteger(const nlohmann::json& object, std::string_view key, std::int64_t& out) noexcept {
    const nlohmann::json* value = presentMember(object, key);
    if (value == nullptr) {
        return false;
    }
    const std::optional<std::int64_t> number = wholeInt64(*value);
    if (!number) {
        return false;
    }
    out = *number;
    return true;
}

}  // namespace vanto::detail
