#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// The SHA-256 digest of the text's bytes as 64 lowercase hexadecimal digits; "" only if the
/// digest engine fails.
VANTO_EXPORT std::string sha256(std::string_view text);

/// Options of hexEncodedString().
enum class HexEncodingOptions : unsigned {
    none = 0,
    upperCase = 1,
};

/// Two hexadecimal digits per byte, most significant first; lower case unless `upperCase`.
VANTO_EXPORT std::string hexEncodedString(std::span<const std::uint8_t> bytes,
                                          HexEncodingOptions options = HexEncodingOptions::none);

/// Writes the lowercase hexadecimal digits of `bytes` to `out`, which has room for two per byte.
VANTO_EXPORT void writeHex(std::span<const std::uint8_t> bytes, char* out);

}  // namespace vanto
