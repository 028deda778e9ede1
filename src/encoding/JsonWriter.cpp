#include "vanto/encoding/JsonWriter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <new>

#include "vanto/platform/SecureWipe.h"
#include "vanto/text/Utf8.h"

namespace vanto {
namespace {

// How each byte is written inside a JSON string: 0 copies it as it is, a letter is the short
// escape after a backslash, and 'u' asks for \u00xx.
constexpr std::array<char, 256> makeEscapeTable() {
    std::array<char, 256> table{};
    for (int c = 0; c < 0x20; ++c) {
        table[c] = 'u';
    }
    table['\b'] = 'b';
    table['\f'] = 'f';
    table['\n'] = 'n';
    table['\r'] = 'r';
    table['\t'] = 't';
    table['"'] = '"';
    table['\\'] = '\\';
    table['/'] = '/';
    return table;
}

constexpr std::array<char, 256> kEscape = makeEscapeTable();
constexpr char kHexDigits[] = "0123456789abcdef";

// The most bytes one input byte can become: \u00xx escaped once, and \\u00xx escaped twice.
constexpr std::size_t kMostOnce = 6;
constexpr std::size_t kMostTwice = 7;

// Whether any of the eight bytes in `word` needs attention: a control character, a quotation
// mark, a backslash, a solidus or a byte of a multi-byte UTF-8 sequence. Bit tricks on a whole
// word let plain text, by far the most common, pass eight bytes at a time. (A false alarm only
// sends the word down the bytewise path; a byte that needs care is never missed.)
[[gnu::always_inline]] inline bool wordNeedsEscaping(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const auto hasZeroByte = [](std::uint64_t x) { return (x - kOnes) & ~x & kHigh; };
    const std::uint64_t below0x20 = (word - 0x20 * kOnes) & ~word & kHigh;
    return ((word & kHigh) | below0x20 | hasZeroByte(word ^ ('"' * kOnes)) |
            hasZeroByte(word ^ ('\\' * kOnes)) | hasZeroByte(word ^ ('/' * kOnes))) != 0;
}

char* writeEscapeOnce(char* out, unsigned char byte, char how) {
    *out++ = '\\';
    if (how != 'u') {
        *out++ = how;
        return out;
    }
    const char unicode[] = {'u', '0', '0', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
    std::memcpy(out, unicode, sizeof unicode);
    return out + sizeof unicode;
}

// The escape of one byte escaped once more: its leading backslash becomes \\, and a quotation
// mark, backslash or solidus after it needs a backslash of its own again.
char* writeEscapeTwice(char* out, unsigned char byte, char how) {
    *out++ = '\\';
    if (how == '"' || how == '\\' || how == '/') {
        *out++ = '\\';
        *out++ = '\\';
        *out++ = how;
        return out;
    }
    return writeEscapeOnce(out, byte, how);
}

// Writes `text` escaped once at `once` and, when `Nested`, escaped twice at `twice`, in one pass.
// The caller has made room for the worst case. False at the first malformed UTF-8 sequence.
template <bool Nested>
bool writeEscaped(std::string_view text, char*& onceOut, char*& twiceOut) {
    // Work on local copies: a store through a char pointer may alias the pointers themselves,
    // which would make the compiler reload them after every byte.
    char* once = onceOut;
    char* twice = twiceOut;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        if (end - at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, at, sizeof word);
            if (!wordNeedsEscaping(word)) {
                std::memcpy(once, &word, sizeof word);
                once += sizeof word;
                if constexpr (Nested) {
                    std::memcpy(twice, &word, sizeof word);
                    twice += sizeof word;
                }
                at += sizeof word;
                continue;
            }
        }
        const auto byte = static_cast<unsigned char>(*at);
        if (byte >= 0x80) {
            const std::size_t length =
                utf8SequenceLength(text, static_cast<std::size_t>(at - text.data()));
            if (length == 0) {
                return false;
            }
            for (std::size_t i = 0; i < length; ++i) {
                *once++ = at[i];
                if constexpr (Nested) {
                    *twice++ = at[i];
                }
            }
            at += length;
            continue;
        }
        const char how = kEscape[byte];
        if (how == 0) {
            *once++ = *at;
            if constexpr (Nested) {
                *twice++ = *at;
            }
        } else {
            once = writeEscapeOnce(once, byte, how);
            if constexpr (Nested) {
                twice = writeEscapeTwice(twice, byte, how);
            }
        }
        ++at;
    }
    onceOut = once;
    twiceOut = twice;
    return true;
}

template <bool Nested>
void put(char c, char*& once, char*& twice) {
    *once++ = c;
    if constexpr (Nested) {
        *twice++ = c;
    }
}

// A quotation mark, which the nested copy escapes.
template <bool Nested>
void quote(char*& once, char*& twice) {
    *once++ = '"';
    if constexpr (Nested) {
        *twice++ = '\\';
        *twice++ = '"';
    }
}

template <bool Nested>
bool writeString(std::string_view text, char*& onceOut, char*& twiceOut) {
    // Local copies, for the same reason as in writeEscaped.
    char* once = onceOut;
    char* twice = twiceOut;
    quote<Nested>(once, twice);
    if (!writeEscaped<Nested>(text, once, twice)) {
        return false;
    }
    quote<Nested>(once, twice);
    onceOut = once;
    twiceOut = twice;
    return true;
}

// [,]"first"[:"second"] in the text and, when `Nested`, in the nested copy.
template <bool Nested>
bool writeMember(bool comma, std::string_view first, const std::string_view* second, char*& onceOut,
                 char*& twiceOut) {
    char* once = onceOut;
    char* twice = twiceOut;
    if (comma) {
        put<Nested>(',', once, twice);
    }
    if (!writeString<Nested>(first, once, twice)) {
        return false;
    }
    if (second != nullptr) {
        put<Nested>(':', once, twice);
        if (!writeString<Nested>(*second, once, twice)) {
            return false;
        }
    }
    onceOut = once;
    twiceOut = twice;
    return true;
}

}  // namespace

bool appendJsonEscaped(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    out.resize(start + kMostOnce * text.size());
    char* once = out.data() + start;
    char* unused = nullptr;
    const bool ok = writeEscaped<false>(text, once, unused);
    out.resize(ok ? static_cast<std::size_t>(once - out.data()) : start);
    return ok;
}

namespace {

// A growable byte buffer written through plain pointers. A sensitive one never grows in place: it
// moves to a larger block and wipes the old, and it wipes what it holds when it is emptied or
// destroyed.
class Buffer {
  public:
    Buffer(std::size_t capacity, JsonWriter::Sensitive sensitive);
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    // Makes room for at most `most` more bytes and returns where they go; commit() then says
    // where the written bytes end.
    char* prepare(std::size_t most);
    void commit(const char* end);
    // Wipes (when sensitive) up to `count` bytes from `from`, written after prepare() but never
    // committed.
    void discard(char* from, std::size_t count);
    void append(std::string_view bytes);
    std::size_t capacity() const { return capacity_; }
    void reserve(std::size_t capacity);
    std::string_view view() const { return {data_.get(), size_}; }
    // Copies the contents out and empties the buffer.
    std::string take();
    // Hands the block itself over as secret text and leaves the buffer empty.
    platform::SecretText takeSecret();

  private:
    void clear();

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    JsonWriter::Sensitive sensitive_;
};

}  // namespace

struct JsonWriter::Output {
    Output(std::size_t capacity, Sensitive sensitive)
        : text(capacity, sensitive), nested(0, sensitive) {}
    Buffer text;
    Buffer nested;
};

namespace {

Buffer::Buffer(std::size_t capacity, JsonWriter::Sensitive sensitive)
    : data_(capacity > 0 ? new char[capacity] : nullptr),
      capacity_(capacity),
      sensitive_(sensitive) {}

Buffer::~Buffer() {
    clear();
}

void Buffer::clear() {
    // Everything the buffer ever held lies within its size: it only grows, and grows by moving.
    if (sensitive_ == JsonWriter::Sensitive::yes && size_ > 0) {
        platform::secureWipe(data_.get(), size_);
    }
    size_ = 0;
}

void Buffer::reserve(std::size_t capacity) {
    if (capacity <= capacity_) {
        return;
    }
    std::unique_ptr<char[]> larger(new char[capacity]);
    if (size_ > 0) {
        std::memcpy(larger.get(), data_.get(), size_);
        if (sensitive_ == JsonWriter::Sensitive::yes) {
            platform::secureWipe(data_.get(), size_);
        }
    }
    data_ = std::move(larger);
    capacity_ = capacity;
}

char* Buffer::prepare(std::size_t most) {
    if (capacity_ - size_ < most) {
        reserve(std::max(size_ + most, capacity_ * 2));
    }
    return data_.get() + size_;
}

void Buffer::commit(const char* end) {
    size_ = static_cast<std::size_t>(end - data_.get());
}

void Buffer::discard(char* from, std::size_t count) {
    if (sensitive_ == JsonWriter::Sensitive::yes) {
        const auto offset = static_cast<std::size_t>(from - data_.get());
        platform::secureWipe(from, std::min(count, capacity_ - offset));
    }
}

void Buffer::append(std::string_view bytes) {
    char* at = prepare(bytes.size());
    if (!bytes.empty()) {
        std::memcpy(at, bytes.data(), bytes.size());
    }
    commit(at + bytes.size());
}

std::string Buffer::take() {
    std::string contents(view());
    clear();
    return contents;
}

platform::SecretText Buffer::takeSecret() {
    auto secret = platform::SecretText::adopt(std::move(data_), size_, capacity_);
    size_ = 0;
    capacity_ = 0;
    return secret;
}

}  // namespace

JsonWriter::JsonWriter(std::size_t expectedSize, Sensitive sensitive) {
    static_assert(sizeof(Output) <= kOutputSize && alignof(Output) <= alignof(std::max_align_t));
    new (output_) Output(expectedSize, sensitive);
}

JsonWriter::Output& JsonWriter::output() noexcept {
    return *std::launder(reinterpret_cast<Output*>(output_));
}

const JsonWriter::Output& JsonWriter::output() const noexcept {
    return *std::launder(reinterpret_cast<const Output*>(output_));
}

JsonWriter::~JsonWriter() {
    output().~Output();
}

void JsonWriter::keepNestedCopy(std::string_view prefix) {
    nesting_ = true;
    // The nested copy is a little longer than the text: room for the prefix, a typical amount of
    // escaping and what usually follows, so that it rarely has to grow.
    output().nested.reserve(prefix.size() + output().text.capacity() +
                            output().text.capacity() / 4 + 96);
    output().nested.append(prefix);
}

std::string_view JsonWriter::text() const {
    return output().text.view();
}

std::string JsonWriter::take() {
    return output().text.take();
}

void JsonWriter::appendToNestedCopy(std::string_view raw) {
    output().nested.append(raw);
}

std::string JsonWriter::takeNestedCopy() {
    return output().nested.take();
}

platform::SecretText JsonWriter::takeNestedSecret() {
    return output().nested.takeSecret();
}

bool JsonWriter::takeSeparator() {
    if (afterKey_) {
        afterKey_ = false;
        return false;
    }
    if (depth_ == 0) {
        return false;
    }
    const std::uint64_t bit = std::uint64_t{1} << (depth_ - 1);
    if ((firstMember_ & bit) != 0) {
        firstMember_ &= ~bit;
        return false;
    }
    return true;
}

// Appends a separator if one is due (`separated`), then `raw`, which reads the same in the
// nested copy.
void JsonWriter::appendStructure(std::string_view raw, bool separated) {
    const bool comma = separated && takeSeparator();
    for (Buffer* buffer : {&output().text, nesting_ ? &output().nested : nullptr}) {
        if (buffer == nullptr) {
            continue;
        }
        char* at = buffer->prepare(raw.size() + 1);
        if (comma) {
            *at++ = ',';
        }
        std::memcpy(at, raw.data(), raw.size());
        buffer->commit(at + raw.size());
    }
}

void JsonWriter::beginObject() {
    appendStructure("{", true);
    if (depth_ < 64) {
        ++depth_;
        firstMember_ |= std::uint64_t{1} << (depth_ - 1);
    } else {
        ok_ = false;
    }
}

void JsonWriter::endObject() {
    afterKey_ = false;
    appendStructure("}", false);
    if (depth_ > 0) {
        --depth_;
    }
}

// Writes an optional separator, the string `first`, and when `second` is given a colon and the
// string `second`: a whole member in one step, its room made once for the worst case.
void JsonWriter::appendStrings(std::string_view first, const std::string_view* second) {
    const bool comma = takeSeparator();
    const std::size_t length = first.size() + (second != nullptr ? second->size() : 0);
    // A separator, a colon, and quotation marks: 2 bytes a string, 4 in the nested copy (\").
    char* once = output().text.prepare(kMostOnce * length + 6);
    char* twice = nesting_ ? output().nested.prepare(kMostTwice * length + 10) : nullptr;
    char* const onceStart = once;
    char* const twiceStart = twice;
    const bool written = nesting_ ? writeMember<true>(comma, first, second, once, twice)
                                  : writeMember<false>(comma, first, second, once, twice);
    if (!written) {
        // Nothing is kept of a text that is not UTF-8, and what was written of it is wiped; the
        // writer reports the failure.
        ok_ = false;
        output().text.discard(onceStart, kMostOnce * length + 6);
        if (nesting_) {
            output().nested.discard(twiceStart, kMostTwice * length + 10);
        }
        return;
    }
    output().text.commit(once);
    if (nesting_) {
        output().nested.commit(twice);
    }
}

void JsonWriter::key(std::string_view name) {
    appendStrings(name, nullptr);
    appendStructure(":", false);
    afterKey_ = true;
}

void JsonWriter::stringValue(std::string_view value) {
    appendStrings(value, nullptr);
}

void JsonWriter::member(std::string_view name, std::string_view value) {
    appendStrings(name, &value);
}

void JsonWriter::member(std::string_view name, std::int64_t value) {
    key(name);
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    appendStructure(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)), true);
}

}  // namespace vanto
