#include "vanto/text/UrlText.h"

#include "text/RemoveAll.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/text/Utf8.h"

namespace vanto {
namespace {}  // namespace

CharacterSet::CharacterSet(std::string_view members) {
    for (const char c : members) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < kSize) {
            members_.set(byte);
        }
    }
}

const CharacterSet& rfc3986Unreserved() {
    static const CharacterSet unreserved{
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~"};
    return unreserved;
}

std::optional<std::string> safeAddingPercentEncoding(std::string_view text,
                                                     const CharacterSet& allowed) {
    if (!isValidUtf8(text)) {
        return std::nullopt;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    // Room for the longest result at once: growing would free a partial copy of the text, which
    // may be card data, without wiping it.
    out.reserve(3 * text.size());
    // Non-ASCII characters are never members, so encoding byte by byte writes each of them as
    // the percent-escapes of all its UTF-8 bytes.
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (allowed.contains(byte)) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

std::map<std::string, std::string> getUrlParams(std::string_view url) {
    const std::string prefix = VantoConfiguration::shared().appURLKO() + "?";
    const std::string query = detail::removeAll(url, prefix);
    const std::string_view rest{query};

    std::map<std::string, std::string> params;
    std::size_t start = 0;
    while (true) {
        const std::size_t ampersand = rest.find('&', start);
        const std::string_view piece =
            rest.substr(start, ampersand == std::string_view::npos ? std::string_view::npos
                                                                   : ampersand - start);
        std::string key{piece.substr(0, piece.find('='))};
        std::string value = detail::removeAll(piece, key + "=");
        params.insert_or_assign(std::move(key), std::move(value));
        if (ampersand == std::string_view::npos) {
            break;
        }
        start = ampersand + 1;
    }
    return params;
}

std::optional<std::string> parseJsonString(std::string_view base64) {
    std::optional<std::string> bytes = base64Decode(base64);
    if (!bytes || !isValidUtf8(*bytes)) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace vanto
