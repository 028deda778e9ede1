#pragma once

// The spellings card data may travel in, as the masking of traces must see through them, for the
// masking's checks (TraceMaskingOracle.h).
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "vanto/text/UrlText.h"

namespace vanto::masking {

/// A return address with a payment result, up to the result's Base64.
inline constexpr std::string_view kReturnAddress =
    "https://shop.example/ok?Ds_SignatureVersion=v1&Ds_MerchantParameters=";

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

inline bool isHex(char c) {
    return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

/// `text` as a reader sees it: percent escapes and HTML character references undone however many
/// times they were applied (one to a character outside ASCII as "?").
inline std::string readersView(std::string text) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}};
    const auto hex = [](std::string_view two) {
        return static_cast<char>(std::stoi(std::string(two.substr(0, 2)), nullptr, 16));
    };
    for (int pass = 0; pass < 6; ++pass) {
        std::string out;
        for (std::size_t at = 0; at < text.size(); ++at) {
            const std::string_view rest = std::string_view(text).substr(at);
            const auto named =
                std::find_if(std::begin(kNamed), std::end(kNamed),
                             [&](const auto& entry) { return rest.starts_with(entry.first); });
            const bool hexReference = rest.starts_with("&#x") || rest.starts_with("&#X");
            std::size_t digits = rest.starts_with("&#") ? (hexReference ? 3 : 2) : 0;
            const std::size_t first = digits;
            while (digits > 0 && digits < rest.size() &&
                   (hexReference ? isHex(rest[digits]) : isDigit(rest[digits]))) {
                ++digits;
            }
            if (rest[0] == '%' && rest.size() >= 3 && isHex(rest[1]) && isHex(rest[2])) {
                out += hex(rest.substr(1));
                at += 2;
            } else if (named != std::end(kNamed)) {
                out += named->second;
                at += named->first.size() - 1;
            } else if (digits > first && digits < rest.size() && rest[digits] == ';') {
                const std::string number(
                    rest.substr(first, std::min<std::size_t>(digits - first, 7)));
                const long code = std::stol(number, nullptr, hexReference ? 16 : 10);
                out += code < 0x80 && digits - first <= 7 ? static_cast<char>(code) : '?';
                at += digits;
            } else {
                out += rest[0];
            }
        }
        if (out == text) {
            break;
        }
        text = std::move(out);
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

/// Escapes that do not read as one: a percent sign without two hexadecimal digits, a \u without
/// four, a numeric character reference without digits or its ";".
inline std::size_t brokenEscapes(std::string_view text) {
    std::size_t broken = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const std::string_view rest = text.substr(at);
        if (rest[0] == '%') {
            broken += rest.size() < 3 || !isHex(rest[1]) || !isHex(rest[2]);
        } else if (rest.starts_with("\\u")) {
            broken += rest.size() < 6 || !std::all_of(rest.begin() + 2, rest.begin() + 6, isHex);
        } else if (rest.starts_with("&#")) {
            std::size_t end = 2 + (rest.size() > 2 && (rest[2] | 0x20) == 'x');
            const std::size_t digits = end;
            while (end < rest.size() && isHex(rest[end])) {
                ++end;
            }
            broken += end == digits || end >= rest.size() || rest[end] != ';';
        }
    }
    return broken;
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
