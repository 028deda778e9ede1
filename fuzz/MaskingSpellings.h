#pragma once

// The spellings card data may travel in, and what a masked text must not show: one oracle for
// the masking's table test, its property test and its fuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "vanto/text/Base64.h"
#include "vanto/text/UrlText.h"

namespace vanto::masking {

/// A return address with a payment result, up to the result's Base64.
inline constexpr std::string_view kReturnAddress =
    "https://shop.example/ok?Ds_SignatureVersion=v1&Ds_MerchantParameters=";

/// Where the digits of the scripts the tests write start: fullwidth, Arabic-Indic, Devanagari.
inline constexpr std::uint32_t kDigitZeros[] = {0xFF10, 0x660, 0x966};
/// Spaces and dashes the tests write between groups: no-break, narrow, ideographic and
/// zero-width spaces, en dash and figure dash.
inline constexpr std::uint32_t kSeparators[] = {0xA0, 0x202F, 0x3000, 0x200B, 0x2013, 0x2012};

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

inline int hexValue(char c) {
    const char lower = static_cast<char>(c | 0x20);
    return isDigit(c) ? c - '0' : lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

inline std::string utf8(std::uint32_t code) {
    const int length = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    std::string out(1,
                    static_cast<char>((0xF00 >> length) * (length > 1) | code >> 6 * (length - 1)));
    for (int i = length - 2; i >= 0; --i) {
        out += static_cast<char>(0x80 | (code >> 6 * i & 0x3F));
    }
    return out;
}

/// `text` with one level of escapes undone (JSON backslash escapes, percent escapes, HTML
/// character references with or without their ";") and the digits and separators above read
/// as ASCII.
inline std::string decodedOnce(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"&quot", '"'}, {"&apos", '\''}, {"&amp", '&'}, {"&lt", '<'}, {"&gt", '>'}, {"&nbsp", ' '}};
    const auto number = [&](std::size_t at, int base, std::size_t& end) {
        std::uint32_t code = 0;
        for (end = at; end < text.size() && hexValue(text[end]) >= 0 && hexValue(text[end]) < base;
             ++end) {
            code = std::min<std::uint32_t>(code * static_cast<std::uint32_t>(base) +
                                               static_cast<std::uint32_t>(hexValue(text[end])),
                                           0x110000);
        }
        return code;
    };
    const auto hex4 = [&](std::size_t from) -> long {
        long value = from + 4 <= text.size() ? 0 : -1;
        for (std::size_t i = from; value >= 0 && i < from + 4; ++i) {
            value = hexValue(text[i]) < 0 ? -1 : value * 16 + hexValue(text[i]);
        }
        return value;
    };
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::string_view rest = text.substr(at);
        std::size_t end = at;
        if (rest.starts_with("\\u") && hex4(at + 2) >= 0) {
            auto code = static_cast<std::uint32_t>(hex4(at + 2));
            end = at + 6;
            const long low = text.substr(end, 2) == "\\u" ? hex4(end + 2) : -1;
            if (code >= 0xD800 && code < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + static_cast<std::uint32_t>(low - 0xDC00);
                end += 6;
            }
            out += utf8(code >= 0xD800 && code < 0xE000 ? 0xFFFD : code);
        } else if (rest.size() >= 2 && rest[0] == '\\' &&
                   std::string_view("\"\\/bfnrt").find(rest[1]) != std::string_view::npos) {
            out +=
                std::string_view("\"\\/\b\f\n\r\t")[std::string_view("\"\\/bfnrt").find(rest[1])];
            end = at + 2;
        } else if (rest.size() >= 3 && rest[0] == '%' && hexValue(rest[1]) >= 0 &&
                   hexValue(rest[2]) >= 0) {
            out += static_cast<char>(hexValue(rest[1]) * 16 + hexValue(rest[2]));
            end = at + 3;
        } else if (rest.starts_with("&#") && rest.size() > 2) {
            const bool hex = (rest[2] | 0x20) == 'x';
            std::uint32_t code = number(at + (hex ? 3 : 2), hex ? 16 : 10, end);
            if (end == at + (hex ? 3 : 2)) {
                out += '&';
                end = at + 1;
            } else {
                out += utf8(code >= 0x110000 || (code >= 0xD800 && code < 0xE000) ? 0xFFFD : code);
                end += end < text.size() && text[end] == ';';
            }
        } else if (const auto named = std::find_if(
                       std::begin(kNamed), std::end(kNamed),
                       [&](const auto& n) {
                           return rest.size() >= n.first.size() &&
                                  std::equal(n.first.begin(), n.first.end(), rest.begin(),
                                             [](char a, char b) { return a == (b | 0x20); });
                       });
                   named != std::end(kNamed)) {
            out += named->second;
            end = at + named->first.size();
            end += end < text.size() && text[end] == ';';
        } else {
            out += rest[0];
            end = at + 1;
        }
        at = end;
    }
    // The digits and separators of other scripts, as ASCII.
    std::string folded;
    for (std::size_t at = 0; at < out.size(); ++at) {
        const auto lead = static_cast<unsigned char>(out[at]);
        const std::size_t length = lead >= 0xE0 && lead < 0xF0   ? 3
                                   : lead >= 0xC0 && lead < 0xE0 ? 2
                                                                 : 0;
        std::uint32_t code = length == 3 ? lead & 0x0F : lead & 0x1F;
        for (std::size_t i = 1; length > 0 && i < length && at + i < out.size(); ++i) {
            const auto next = static_cast<unsigned char>(out[at + i]);
            code = (next & 0xC0) == 0x80 ? code << 6 | (next & 0x3F) : 0;
        }
        const auto zero = std::find_if(std::begin(kDigitZeros), std::end(kDigitZeros),
                                       [&](std::uint32_t z) { return code >= z && code < z + 10; });
        const bool separator = std::find(std::begin(kSeparators), std::end(kSeparators), code) !=
                               std::end(kSeparators);
        if (length > 0 && at + length <= out.size() &&
            (zero != std::end(kDigitZeros) || separator)) {
            folded += separator ? ' ' : static_cast<char>('0' + code - *zero);
            at += length - 1;
        } else {
            folded += out[at];
        }
    }
    return folded;
}

/// `text` as a reader finally sees it, every escape undone however many times it was applied.
inline std::string readersView(std::string text) {
    for (int pass = 0; pass < 8; ++pass) {
        std::string next = decodedOnce(text);
        if (next == text) {
            break;
        }
        text = std::move(next);
    }
    return text;
}

inline bool passesLuhn(std::string_view digits) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        unsigned digit = static_cast<unsigned>(digits[digits.size() - 1 - i] - '0');
        digit = i % 2 == 1 ? (digit * 2 > 9 ? digit * 2 - 9 : digit * 2) : digit;
        sum += digit;
    }
    return sum % 10 == 0;
}

/// A card number `view` shows: 13 to 19 digits that pass the Luhn check, in consecutive groups of
/// a run where up to two separators (blanks, dots, slashes, dashes, plus signs) stand between
/// groups; "" when there is none.
inline std::string luhnNumberIn(std::string_view view) {
    std::vector<std::string> groups;
    std::size_t separators = 0;
    for (std::size_t at = 0; at <= view.size(); ++at) {
        const char c = at < view.size() ? view[at] : '\0';
        if (isDigit(c)) {
            if (groups.empty() || separators > 0) {
                groups.emplace_back();
            }
            groups.back() += c;
            separators = 0;
            continue;
        }
        if (!groups.empty() &&
            std::string_view(" \t\r\n\f\b./-+").find(c) != std::string_view::npos &&
            ++separators <= 2) {
            continue;
        }
        for (std::size_t first = 0; first < groups.size(); ++first) {
            std::string digits;
            for (std::size_t last = first; last < groups.size() && digits.size() <= 19; ++last) {
                digits += groups[last];
                if (digits.size() >= 13 && digits.size() <= 19 && passesLuhn(digits)) {
                    return digits;
                }
            }
        }
        groups.clear();
        separators = 0;
    }
    return "";
}

/// Escapes that do not read as one: a percent sign without two hexadecimal digits, a \u without
/// four, a numeric character reference without digits.
inline std::size_t brokenEscapes(std::string_view text) {
    std::size_t broken = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const std::string_view rest = text.substr(at);
        if (rest[0] == '%') {
            broken += rest.size() < 3 || hexValue(rest[1]) < 0 || hexValue(rest[2]) < 0;
        } else if (rest.starts_with("\\u")) {
            broken += rest.size() < 6 || !std::all_of(rest.begin() + 2, rest.begin() + 6,
                                                      [](char c) { return hexValue(c) >= 0; });
        } else if (rest.starts_with("&#")) {
            const std::size_t digits = 2 + (rest.size() > 2 && (rest[2] | 0x20) == 'x');
            broken += digits >= rest.size() || hexValue(rest[digits]) < 0;
        }
    }
    return broken;
}

/// What is wrong with `output` as the masking of `input`, or "": an escape cut, JSON that no
/// longer reads as JSON, a card number a reader still sees.
inline std::string maskingFault(std::string_view input, std::string_view output) {
    const auto body = [](std::string_view text) {
        return text.starts_with("datoEntrada=") ? text.substr(12) : text;
    };
    if (brokenEscapes(output) > brokenEscapes(input)) {
        return "an escape is cut";
    }
    if (input.find('\0') == std::string_view::npos && nlohmann::json::accept(body(input)) &&
        !nlohmann::json::accept(body(output))) {
        return "JSON no longer reads as JSON";
    }
    const std::string shown = luhnNumberIn(readersView(std::string(output)));
    return shown.empty() ? "" : "a card number shows: " + shown;
}

inline std::string percentEncoded(std::string_view text) {
    return *safeAddingPercentEncoding(text, rfc3986Unreserved());
}

/// A form's spelling: percent escapes, and spaces as plus signs.
inline std::string formEncoded(std::string_view text) {
    std::string out = percentEncoded(text);
    for (auto at = out.find("%20"); at != std::string::npos; at = out.find("%20")) {
        out.replace(at, 3, "+");
    }
    return out;
}

/// `bytes` in Base64 as a return address may carry them, by `variant`: the standard alphabet,
/// the URL-safe one without padding, or the standard one percent-encoded.
inline std::string resultSpelling(std::string_view bytes, std::size_t variant) {
    std::string value = base64Encode(bytes);
    if (variant % 3 == 1) {
        std::replace(value.begin(), value.end(), '+', '-');
        std::replace(value.begin(), value.end(), '/', '_');
        value.erase(value.find_last_not_of('=') + 1);
    } else if (variant % 3 == 2) {
        value = percentEncoded(value);
    }
    return value;
}

/// The bytes of Base64 in either alphabet, with or without padding, whatever else passed over,
/// as a reader would try.
inline std::string base64Bytes(std::string_view text) {
    constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        c = c == '-' ? '+' : c == '_' ? '/' : c;
        if (const std::size_t value = kAlphabet.find(c); value != std::string_view::npos) {
            bits = (bits << 6 | static_cast<unsigned>(value)) & 0xFFFFFF;
            if ((count += 6) >= 8) {
                bytes += static_cast<char>(bits >> (count -= 8) & 0xFF);
            }
        }
    }
    return bytes;
}

}  // namespace vanto::masking
