#include "encoding/JsonRead.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>

#include "vanto/platform/SecureWipe.h"

namespace vanto::detail {
namespace {

// A JSON number literal in its parts: value = digits × 10^(exponent − fraction length), where
// digits are the integer digits followed by the fraction digits.
struct NumberLiteral {
    bool negative = false;
    std::string_view integerDigits;
    std::string_view fractionDigits;
    // Saturated at ±kExponentLimit, far beyond the length of any text: a number that large or
    // small is beyond every range here whatever its digits.
    std::int64_t exponent = 0;

    std::size_t digitCount() const { return integerDigits.size() + fractionDigits.size(); }
    char digit(std::size_t index) const {
        return index < integerDigits.size() ? integerDigits[index]
                                            : fractionDigits[index - integerDigits.size()];
    }
};

constexpr std::int64_t kExponentLimit = std::int64_t{1} << 50;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t digitsEnd(std::string_view text, std::size_t from) {
    while (from < text.size() && isDigit(text[from])) {
        ++from;
    }
    return from;
}

// The parts of `text` when it is exactly one JSON number: an optional minus, an integer part
// without leading zeros, an optional fraction and an optional exponent.
std::optional<NumberLiteral> splitNumber(std::string_view text) {
    NumberLiteral literal;
    std::size_t at = 0;
    if (text.starts_with('-')) {
        literal.negative = true;
        ++at;
    }
    std::size_t end = digitsEnd(text, at);
    if (end == at || (text[at] == '0' && end - at > 1)) {
        return std::nullopt;
    }
    literal.integerDigits = text.substr(at, end - at);
    at = end;
    if (at < text.size() && text[at] == '.') {
        end = digitsEnd(text, ++at);
        if (end == at) {
            return std::nullopt;
        }
        literal.fractionDigits = text.substr(at, end - at);
        at = end;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        const bool negativeExponent = at < text.size() && text[at] == '-';
        if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
            ++at;
        }
        end = digitsEnd(text, at);
        if (end == at) {
            return std::nullopt;
        }
        for (; at < end; ++at) {
            literal.exponent = std::min(literal.exponent * 10 + (text[at] - '0'), kExponentLimit);
        }
        if (negativeExponent) {
            literal.exponent = -literal.exponent;
        }
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    return literal;
}

// The significant digits of a literal: the first and the last that are not 0, none for zero.
std::optional<std::pair<std::size_t, std::size_t>> significantDigits(const NumberLiteral& literal) {
    std::size_t first = 0;
    while (first < literal.digitCount() && literal.digit(first) == '0') {
        ++first;
    }
    if (first == literal.digitCount()) {
        return std::nullopt;
    }
    std::size_t last = literal.digitCount() - 1;
    while (literal.digit(last) == '0') {
        --last;
    }
    return std::pair(first, last);
}

// The power of ten of the leading digit of a non-zero literal (2 for 123.4, -1 for 0.5).
std::int64_t leadingPower(const NumberLiteral& literal, std::size_t firstSignificant) {
    return static_cast<std::int64_t>(literal.integerDigits.size()) -
           static_cast<std::int64_t>(firstSignificant) - 1 + literal.exponent;
}

// The exact value of a literal that is a whole number in the signed 64-bit range.
std::optional<std::int64_t> wholeInt64(const NumberLiteral& literal) {
    const auto significant = significantDigits(literal);
    if (!significant) {
        return 0;  // -0 included
    }
    const auto [first, last] = *significant;
    // The value is the significant digits times 10^scale; it is whole when the scale is not
    // negative, and has at most 19 digits when it fits 64 bits.
    const std::int64_t scale = static_cast<std::int64_t>(literal.integerDigits.size()) -
                               static_cast<std::int64_t>(last) - 1 + literal.exponent;
    const std::int64_t length = static_cast<std::int64_t>(last - first) + 1 + scale;
    if (scale < 0 || length > 19) {
        return std::nullopt;
    }
    std::uint64_t magnitude = 0;  // below 10^19, which fits
    for (std::size_t index = first; index <= last; ++index) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(literal.digit(index) - '0');
    }
    for (std::int64_t zeros = 0; zeros < scale; ++zeros) {
        magnitude *= 10;
    }
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (magnitude > kMax + (literal.negative ? 1 : 0)) {
        return std::nullopt;
    }
    if (!literal.negative) {
        return static_cast<std::int64_t>(magnitude);
    }
    return magnitude == kMax + 1 ? std::numeric_limits<std::int64_t>::min()
                                 : -static_cast<std::int64_t>(magnitude);
}

// What a number literal of the text is to be read as, when not as it stands: the integer for a
// whole number in range written otherwise, ±1e308 for a number beyond a double (the largest
// double is about 1.8e308; a leading power of 308 may already be beyond it).
std::optional<std::string> replacementFor(std::string_view text) {
    const std::optional<NumberLiteral> literal = splitNumber(text);
    if (!literal) {
        return std::nullopt;
    }
    if (const std::optional<std::int64_t> whole = wholeInt64(*literal)) {
        std::string integer = std::to_string(*whole);
        return integer == text ? std::nullopt : std::optional(std::move(integer));
    }
    const auto significant = significantDigits(*literal);
    if (significant && leadingPower(*literal, significant->first) >= 308) {
        return std::string(literal->negative ? "-1e308" : "1e308");
    }
    return std::nullopt;
}

bool mayBeInNumber(char c) {
    return isDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// `text` with its number literals replaced as replacementFor says, or none when no literal needs
// it. Outside strings, a run of the characters numbers are written with is a number literal
// whenever it has the form of one; everything else is left for the parser to judge, and since a
// literal is only ever replaced by another, what was not JSON does not become JSON.
std::optional<std::string> withNumbersReadFromText(std::string_view text) {
    std::optional<std::string> rewritten;
    std::size_t copied = 0;
    bool inString = false;
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (inString) {
            at += c == '\\' ? 2 : 1;
            inString = c != '"';
            continue;
        }
        if (!mayBeInNumber(c)) {
            inString = c == '"';
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && mayBeInNumber(text[end])) {
            ++end;
        }
        if (std::optional<std::string> replacement = replacementFor(text.substr(at, end - at))) {
            if (!rewritten) {
                rewritten.emplace();
                rewritten->reserve(text.size() + 32);
            }
            rewritten->append(text.substr(copied, at - copied));
            rewritten->append(*replacement);
            copied = end;
        }
        at = end;
    }
    if (rewritten) {
        rewritten->append(text.substr(copied));
    }
    return rewritten;
}

}  // namespace

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

bool readInteger(const nlohmann::json& object, std::string_view key, std::int64_t& out) noexcept {
    const nlohmann::json* value = presentMember(object, key);
    if (value == nullptr) {
        return false;
    }
    // parseRecordObject has turned every whole number in range into an integer: the parser keeps
    // those as signed integers, or as unsigned ones when not negative. A double, or an unsigned
    // integer above the signed range, is never one.
    switch (value->type()) {
        case nlohmann::json::value_t::number_integer:
            out = value->get<nlohmann::json::number_integer_t>();
            return true;
        case nlohmann::json::value_t::number_unsigned: {
            const auto number = value->get<nlohmann::json::number_unsigned_t>();
            if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return false;
            }
            out = static_cast<std::int64_t>(number);
            return true;
        }
        default:
            return false;
    }
}

std::optional<nlohmann::json> parseRecordObject(std::string_view text) noexcept {
    try {
        std::optional<std::string> rewritten = withNumbersReadFromText(text);
        if (!rewritten) {
            return parseJsonObject(text);
        }
        std::optional<nlohmann::json> object = parseJsonObject(*rewritten);
        // The answers carry card data (the expiry date, the masked number): the copy goes the way
        // of every buffer that held some.
        platform::secureWipe(*rewritten);
        return object;
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace vanto::detail
