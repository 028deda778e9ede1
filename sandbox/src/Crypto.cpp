#include "Crypto.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include "vanto/encoding/Sha256.h"
#include "vanto/text/UrlText.h"

namespace vanto::sandbox::detail {

namespace {

std::vector<std::uint8_t> randomBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    // The generator fails only when the system gives it no entropy; the sandbox cannot make
    // sessions or references without it, so that ends the request.
    if (count > 0 && RAND_bytes(bytes.data(), static_cast<int>(count)) != 1) {
        throw std::runtime_error("the random generator failed");
    }
    return bytes;
}

}  // namespace

std::string randomHex(std::size_t bytes) {
    return hexEncodedString(randomBytes(bytes));
}

std::string randomText(std::size_t length, std::string_view alphabet) {
    std::string text;
    text.reserve(length);
    // 256 is a multiple of neither alphabet in use, so bytes above the last whole multiple are
    // drawn again to keep every character equally likely.
    const std::size_t limit = 256 - 256 % alphabet.size();
    while (text.size() < length) {
        for (const std::uint8_t byte : randomBytes(length)) {
            if (byte < limit && text.size() < length) {
                text += alphabet[byte % alphabet.size()];
            }
        }
    }
    return text;
}

std::string hmacSha256Base64(std::string_view key, std::string_view data) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest.data(),
             &length) == nullptr) {
        return "";
    }
    return base64Encode(std::string_view(reinterpret_cast<const char*>(digest.data()), length));
}

bool equalsInConstantTime(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace vanto::sandbox::detail
