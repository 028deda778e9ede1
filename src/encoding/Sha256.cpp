#include "vanto/encoding/Sha256.h"

#include "platform/Digest.h"

namespace vanto {

std::string sha256(std::string_view text) {
    platform::Sha256Digest digest;
    platform::Sha256Digest::Value value{};
    if (!digest.update(text) || !digest.finish(value)) {
        return "";
    }
    return hexEncodedString(value);
}

namespace {

void writeDigits(std::span<const std::uint8_t> bytes, const char* digits, char* out) {
    for (const std::uint8_t byte : bytes) {
        *out++ = digits[byte >> 4];
        *out++ = digits[byte & 0x0F];
    }
}

}  // namespace

std::string hexEncodedString(std::span<const std::uint8_t> bytes, HexEncodingOptions options) {
    const char* digits =
        options == HexEncodingOptions::upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string hex(bytes.size() * 2, '\0');
    writeDigits(bytes, digits, hex.data());
    return hex;
}

void writeHex(std::span<const std::uint8_t> bytes, char* out) {
    writeDigits(bytes, "0123456789abcdef", out);
}

}  // namespace vanto
