#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// The type rules by which the library decodes the gateway's JSON answers, kept in one place so
// that every record reads its members the same way. Nothing here throws.
namespace vanto::detail {

/// Parses `text` as one complete JSON document. Malformed JSON, trailing content, strings that
/// are not well-formed UTF-8 and any failure inside the parser give nullopt.
std::optional<nlohmann::json> parseJson(std::string_view text) noexcept;

/// Like parseJson, but only a JSON object is accepted at the top level.
std::optional<nlohmann::json> parseJsonObject(std::string_view text) noexcept;

/// The member `key` of `object` when it is present and not null, otherwise nullptr: for the
/// answers' optional members an absent key and a null value mean the same.
const nlohmann::json* presentMember(const nlohmann::json& object, std::string_view key) noexcept;

/// Reads an optional text member: absent or null gives an absent value, a string gives its text,
/// any other JSON type is a failure (false).
[[nodiscard]] bool readOptionalText(const nlohmann::json& object, std::string_view key,
                                    std::optional<std::string>& out);

/// Reads a required text member: it must be present and a string.
[[nodiscard]] bool readText(const nlohmann::json& object, std::string_view key, std::string& out);

/// Parses `text` as one JSON object to be decoded into a record. Its numbers are first read from
/// their text, exactly: a whole number in the signed 64-bit range becomes that integer whatever
/// its notation (1.0, 1e3 and 100e-2 as well as 1), and a number larger than a double can hold
/// (1e400, an integer of 400 digits) stands as a double of its sign (±1e308) instead of failing
/// the whole document, so that a member the record does not know is ignored whatever it holds.
std::optional<nlohmann::json> parseRecordObject(std::string_view text) noexcept;

/// Reads a required integer member of a document from parseRecordObject: it must be a JSON number
/// whose exact value is a whole number in the signed 64-bit range. The one rule for every
/// record's "code".
[[nodiscard]] bool readInteger(const nlohmann::json& object, std::string_view key,
                               std::int64_t& out) noexcept;

/// Parses `json` with parseRecordObject and decodes it with `decode`; none when the text is not an
/// object, when `decode` gives none, or when anything inside fails.
template <typename T, typename Decode>
std::optional<T> decodeObject(std::string_view json, Decode&& decode) noexcept {
    try {
        const std::optional<nlohmann::json> object = parseRecordObject(json);
        return object ? decode(*object) : std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

/// Reads an optional nested record with `decode`: absent or null leaves `out` empty, a member
/// that does not decode is a failure (false).
template <typename T, typename Decode>
[[nodiscard]] bool readOptionalRecord(const nlohmann::json& object, std::string_view key,
                                      std::optional<T>& out, Decode&& decode) {
    const nlohmann::json* nested = presentMember(object, key);
    if (nested == nullptr) {
        return true;
    }
    out = decode(*nested);
    return out.has_value();
}

}  // namespace vanto::detail
