#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/platform/SecretText.h"

namespace vanto {

/// Appends `text` to `out` as the body of a JSON string (without the quotation marks), escaped
/// as the gateway expects it (it signs these very bytes): a backslash before each quotation mark
/// and backslash, the solidus as `\/`, `\b` `\f` `\n` `\r` `\t` for those controls and `\u00xx` for
/// the other control characters; every other character, non-ASCII included, is written as its UTF-8
/// bytes. Returns false, leaving `out` unchanged, when `text` is not well-formed UTF-8.
VANTO_EXPORT bool appendJsonEscaped(std::string& out, std::string_view text);

/// A compact JSON writer (no spaces, no line breaks) for objects of text and integer members,
/// written in the order they are given.
///
/// It can also keep, beside the JSON text, a nested copy: the same text escaped once more as the
/// body of a JSON string, as it stands when one JSON document carries another as a text member.
/// Both are written in one pass, which spares escaping the finished text a second time.
///
/// Its buffers are secret texts: whenever one must grow it moves to a larger block and wipes the
/// old, and it wipes what it still holds when destroyed. (`Sensitive` says whether a writer holds
/// card data; both kinds wipe.)
class VANTO_EXPORT JsonWriter {
  public:
    enum class Sensitive { no, yes };

    /// A member name: plain ASCII that needs no escaping (no control character, quotation mark,
    /// backslash, solidus or byte above 0x7F), so that the writer copies it as it is. A literal
    /// is checked when the program is compiled, and one that would need escaping does not
    /// compile; a name made at run time goes through `checked`.
    class Name {
      public:
        template <std::size_t N>
        consteval Name(const char (&literal)[N]) : text_(literal, N - 1) {
            if (!isPlain(text_)) {
                throw "a JSON member name must need no escaping";
            }
        }
        /// The name, or none when it would need escaping.
        static constexpr std::optional<Name> checked(std::string_view text) {
            return isPlain(text) ? std::optional<Name>(Name(text, 0)) : std::nullopt;
        }
        constexpr std::string_view view() const { return text_; }
        constexpr operator std::string_view() const { return text_; }

      private:
        constexpr Name(std::string_view text, int) : text_(text) {}
        static constexpr bool isPlain(std::string_view text) {
            for (const char c : text) {
                const auto byte = static_cast<unsigned char>(c);
                if (byte < 0x20 || byte >= 0x80 || c == '"' || c == '\\' || c == '/') {
                    return false;
                }
            }
            return true;
        }

        std::string_view text_;
    };

    explicit JsonWriter(std::size_t expectedSize = 256, Sensitive sensitive = Sensitive::no);
    ~JsonWriter();
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    /// Starts the nested copy with `prefix`, written as it is. Call before writing anything.
    void keepNestedCopy(std::string_view prefix);

    void beginObject();
    void endObject();
    /// Starts a member whose value is the next value written (an object, for nesting).
    void key(Name name);
    void stringValue(std::string_view value);
    void member(Name name, std::string_view value);
    void member(Name name, std::int64_t value);

    /// False once any text given to the writer was not well-formed UTF-8.
    bool ok() const { return ok_; }
    std::string_view text() const;
    /// Moves the written text out; the writer's text is empty afterwards.
    std::string take();

    /// Appends `raw` to the nested copy as it is (for what follows the nested document).
    void appendToNestedCopy(std::string_view raw);
    /// Moves the nested copy out, prefix and appended text included.
    std::string takeNestedCopy();
    /// The same as secret text, without a copy: for a writer that holds card data.
    platform::SecretText takeNestedSecret();

  private:
    bool takeSeparator();
    void separateIfDue();
    void put(char c);
    void appendString(std::string_view value);

    // Both wipe what they held whenever they grow or go, whether or not the writer holds card
    // data: the cost is small beside the message's digest.
    platform::SecretText text_;
    platform::SecretText nested_;
    std::size_t expectedSize_;
    bool nesting_ = false;
    bool ok_ = true;
    // One entry per open object: whether it still has no member.
    std::string firstMember_;
    bool afterKey_ = false;
};

}  // namespace vanto
