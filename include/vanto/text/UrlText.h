#pragma once

#include <bitset>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// Decodes standard padded Base64 (the RFC 4648 alphabet with "+" and "/"). Strict: the length
/// must be a multiple of four, "=" may only be the last one or two characters, and any other
/// character outside the alphabet (line breaks, spaces, the URL-safe "-" and "_") makes the whole
/// decoding fail. The empty text decodes to no bytes.
VANTO_EXPORT std::optional<std::string> base64Decode(std::string_view text);

/// Encodes bytes as standard padded Base64.
VANTO_EXPORT std::string base64Encode(std::string_view bytes);

/// A set of ASCII characters, used to say which characters percent-encoding leaves as they are.
/// Characters outside ASCII are never members, deliberately: the sets the library needs are ASCII,
/// and an address keeps every other character percent-encoded.
class VANTO_EXPORT CharacterSet {
  public:
    /// The empty set.
    CharacterSet() = default;

    /// The set of the ASCII characters of `members`; bytes outside ASCII are ignored.
    explicit CharacterSet(std::string_view members);

    /// Whether the code point is a member.
    bool contains(char32_t codePoint) const {
        return codePoint < kSize && members_.test(static_cast<std::size_t>(codePoint));
    }

    /// The number of members.
    std::size_t size() const { return members_.count(); }

    friend bool operator==(const CharacterSet&, const CharacterSet&) = default;

  private:
    static constexpr std::size_t kSize = 128;
    std::bitset<kSize> members_;
};

/// The 66 unreserved characters of RFC 3986: letters, digits, "-", ".", "_" and "~". Built on
/// first use (safe under concurrent first use) and shared by every caller.
VANTO_EXPORT const CharacterSet& rfc3986Unreserved();

/// Percent-encodes `text`: members of `allowed` stay as they are, every other character becomes
/// its UTF-8 bytes, each written as "%" and two upper-case hexadecimal digits. No result when the
/// text is not well-formed UTF-8.
VANTO_EXPORT std::optional<std::string> safeAddingPercentEncoding(std::string_view text,
                                                                  const CharacterSet& allowed);

/// Splits the query of the address at which the payment page ends into keys and values, as the
/// gateway's return addresses are read: every occurrence of the configured failure address followed
/// by "?" is removed, the rest is split at each "&" (empty pieces included), the key of a piece is
/// the part before its first "=", and its value is the piece with every occurrence of key + "="
/// removed. A later piece replaces an earlier one with the same key. Nothing is percent-decoded or
/// trimmed. Reads VantoConfiguration::shared().appURLKO().
VANTO_EXPORT std::map<std::string, std::string> getUrlParams(std::string_view url);

/// Decodes the Base64 value of a payment-result parameter into its JSON text: strict Base64 (see
/// base64Decode), and the bytes must be well-formed UTF-8. No result otherwise.
VANTO_EXPORT std::optional<std::string> parseJsonString(std::string_view base64);

}  // namespace vanto
