#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vanto {

/// Appends `text` to `out` as the body of a JSON string (without the quotation marks), escaped
/// the way the gateway's reference writer does it: a backslash before each quotation mark and
/// backslash, the solidus as "\/", \b \f \n \r \t for those controls and \u00xx for the other
/// control characters; every other character, non-ASCII included, is written as its UTF-8 bytes.
/// Returns false, leaving `out` partly written, when `text` is not well-formed UTF-8.
bool appendJsonEscaped(std::string& out, std::string_view text);

/// A compact JSON writer (no spaces, no line breaks) for objects of text and integer members,
/// written in the order they are given.
///
/// A writer made with `Sensitive::yes` holds card data: whenever its buffer must grow it moves to
/// a larger one and wipes the old, and it wipes its buffer when destroyed unless the text was
/// taken out.
class JsonWriter {
public:
    enum class Sensitive { no, yes };

    explicit JsonWriter(std::size_t expectedSize = 256, Sensitive sensitive = Sensitive::no);
    ~JsonWriter();
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    void beginObject();
    void endObject();
    /// Starts a member whose value is the next value written (an object, for nesting).
    void key(std::string_view name);
    void stringValue(std::string_view value);
    void member(std::string_view name, std::string_view value);
    void member(std::string_view name, std::int64_t value);

    /// False once any text given to the writer was not well-formed UTF-8.
    bool ok() const { return ok_; }
    const std::string& text() const { return out_; }
    /// Moves the written text out; the writer is empty afterwards.
    std::string take();

private:
    void separate();
    void reserveFor(std::size_t extra);
    void appendString(std::string_view value);

    std::string out_;
    Sensitive sensitive_;
    bool ok_ = true;
    // One bit per open object: set while the object has no member yet. Sixty-four levels of
    // nesting are far more than any message of the library has.
    std::uint64_t firstMember_ = 0;
    unsigned depth_ = 0;
    bool afterKey_ = false;
};

}  // namespace vanto
