#include "vanto/encoding/Sha256.h"

#include <array>
#include <cstring>

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

namespace {

// Each byte's two lowercase digits, looked up rather than worked out: every request's signature
// is written with them.
constexpr std::array<std::array<char, 2>, 256> makeLowerHexPairs() {
    constexpr char kDigits[] = "0123456789abcdef";
    std::array<std::array<char, 2>, 256> pairs{};
    for (std::size_t byte = 0; byte < pairs.size(); ++byte) {
        pairs[byte] = {kDigits[byte >> 4], kDigits[byte & 0x0F]};
    }
    return pairs;
}

constexpr std::array<std::array<char, 2>, 256> kLowerHexPairs = makeLowerHexPairs();

}  // namespace

void writeHex(std::span<const std::uint8_t> bytes, char* out) {
    for (const std::uint8_t byte : bytes) {
        std::memcpy(out, kLowerHexPairs[byte].data(), 2);
        out += 2;
    }
}

}  // namespace vanto
