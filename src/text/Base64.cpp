#include "vanto/text/UrlText.h"

#include <array>
#include <cstdint>

namespace vanto {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::int8_t kInvalid = -1;

/// The six-bit value of each byte, or kInvalid for bytes outside the alphabet ("=" included).
constexpr std::array<std::int8_t, 256> makeDecodeTable() {
    std::array<std::int8_t, 256> table{};
    table.fill(kInvalid);
    for (int i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    }
    return table;
}

constexpr std::array<std::int8_t, 256> kDecode = makeDecodeTable();

std::int8_t sextet(char c) {
    return kDecode[static_cast<unsigned char>(c)];
}

}  // namespace

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') {
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool lastQuantum = i + 4 == text.size();
        const std::size_t dataChars = lastQuantum ? 4 - padding : 4;
        std::uint32_t bits = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            std::int8_t value = 0;
            if (j < dataChars) {
                value = sextet(text[i + j]);
                if (value == kInvalid) {
                    return std::nullopt;
                }
            }
            bits = (bits << 6) | static_cast<std::uint32_t>(value);
        }
        // Four characters carry 24 bits; with padding only the leading whole bytes are data.
        const std::size_t bytes = dataChars - 1;
        for (std::size_t k = 0; k < bytes; ++k) {
            out.push_back(static_cast<char>((bits >> (16 - 8 * k)) & 0xFF));
        }
    }
    return out;
}

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t available = bytes.size() - i < 3 ? bytes.size() - i : 3;
        std::uint32_t bits = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            const auto byte = k < available ? static_cast<unsigned char>(bytes[i + k]) : 0U;
            bits = (bits << 8) | byte;
        }
        for (std::size_t k = 0; k < 4; ++k) {
            out.push_back(k <= available ? kAlphabet[(bits >> (18 - 6 * k)) & 0x3F] : '=');
        }
    }
    return out;
}

}  // namespace vanto
