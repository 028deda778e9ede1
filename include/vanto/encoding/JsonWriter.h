#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/platform/SecretText.h"

namespace vanto {

/// Appends `text` to `out` as the body of a JSON string (without the quotation marks), escaped
/// the way the gateway's reference writer does it: a backslash before each quotation mark and
/// backslash, the solidus as `\/`, `\b` `\f` `\n` `\r` `\t` for those controls and `\u00xx` for the
/// other control characters; every other character, non-ASCII included, is written as its UTF-8
/// bytes. Returns false, leaving `out` unchanged, when `text` is not well-formed UTF-8.
VANTO_EXPORT bool appendJsonEscaped(std::string& out, std::string_view text);

/// A compact JSON writer (no spaces, no line breaks) for objects of text and integer members,
/// written in the order they are given.
///
/// It can also keep, beside the JSON text, a nested copy: the same text escaped once more as the
/// body of a JSON string, as it stands when one JSON document carries another as a text member.
/// Both are written in one pass, which spares escaping the finished text a second time.
///
/// A writer made with `Sensitive::yes` holds card data: whenever a buffer must grow it moves to a
/// larger one and wipes the old, and it wipes what it still holds when destroyed.
class VANTO_EXPORT JsonWriter {
  public:
    enum class Sensitive { no, yes };

    explicit JsonWriter(std::size_t expectedSize = 256, Sensitive sensitive = Sensitive::no);
    ~JsonWriter();
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    /// Starts the nested copy with `prefix`, written as it is. Call before writing anything.
    void keepNestedCopy(std::string_view prefix);

    void beginObject();
    void endObject();
    /// Starts a member whose value is the next value written (an object, for nesting).
    void key(std::string_view name);
    void stringValue(std::string_view value);
    void member(std::string_view name, std::string_view value);
    void member(std::string_view name, std::int64_t value);

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
    // The text and the nested copy, growable byte buffers written through plain pointers.
    struct Output;

    bool takeSeparator();
    void appendStructure(std::string_view raw, bool separated);
    void appendStrings(std::string_view first, const std::string_view* second);

    // The output lives inside the writer, saving an allocation per message; its layout is the
    // writer's own business.
    static constexpr std::size_t kOutputSize = 80;
    Output& output() noexcept;
    const Output& output() const noexcept;
    alignas(std::max_align_t) unsigned char output_[kOutputSize];
    bool nesting_ = false;
    bool ok_ = true;
    // One bit per open object: set while the object has no member yet. Sixty-four levels of
    // nesting are far more than any message of the library has.
    std::uint64_t firstMember_ = 0;
    unsigned depth_ = 0;
    bool afterKey_ = false;
};

}  // namespace vanto
