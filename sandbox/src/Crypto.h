#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vanto::sandbox::detail {

/// `bytes` random bytes from OpenSSL's generator as lowercase hexadecimal digits.
std::string randomHex(std::size_t bytes);

/// `length` random characters from `alphabet`.
std::string randomText(std::size_t length, std::string_view alphabet);

/// Standard padded Base64 of the HMAC-SHA256 of `data` under `key`.
std::string hmacSha256Base64(std::string_view key, std::string_view data);

/// Compares two texts in time that depends only on their lengths.
bool equalsInConstantTime(std::string_view a, std::string_view b);

}  // namespace vanto::sandbox::detail
