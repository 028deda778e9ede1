#include "vanto/encoding/JsonWriter.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

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

// The bytes the writer must look at: those it escapes and those that start or continue a
// multi-byte UTF-8 sequence (1 in the table). Every other byte is copied as it is.
constexpr std::array<std::uint8_t, 256> makeAttentionTable() {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[c] = c >= 0x80 || kEscape[c] != 0 ? 1 : 0;
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kAttention = makeAttentionTable();
constexpr char kHexDigits[] = "0123456789abcdef";

// The state of an open object, one character a level.
constexpr char kNoMemberYet = 'n';
constexpr char kHasMembers = 'm';

// Where the first byte from `at` on that the writer must look at stands in `text`, or its size.
// Plain text, by far the most common, goes by four bytes a step, then one at a time.
std::size_t plainUntil(std::string_view text, std::size_t at) {
    const auto attention = [&text](std::size_t i) {
        return kAttention[static_cast<unsigned char>(text[i])];
    };
    while (at + 4 <= text.size() &&
           !(attention(at) | attention(at + 1) | attention(at + 2) | attention(at + 3))) {
        at += 4;
    }
    while (at < text.size() && !attention(at)) {
        ++at;
    }
    return at;
}

// Writes `"name":`, and `"value"` after it when `kWithValue`, into `out` in one step, with
// `kQuote` for each quotation mark: " in the text, \" in the nested copy. The quotation marks are
// of a size known here, so only the name and the value are copied by a call.
template <const std::string_view& kQuote, bool kWithValue>
void putMember(platform::SecretText& out, std::string_view name, std::string_view value) {
    const std::size_t size =
        2 * kQuote.size() + name.size() + 1 + (kWithValue ? 2 * kQuote.size() + value.size() : 0);
    char* at = out.extend(size);
    const auto quote = [&at] {
        std::memcpy(at, kQuote.data(), kQuote.size());
        at += kQuote.size();
    };
    const auto copy = [&at](std::string_view piece) {
        at = std::char_traits<char>::copy(at, piece.data(), piece.size()) + piece.size();
    };
    quote();
    copy(name);
    quote();
    *at++ = ':';
    if constexpr (kWithValue) {
        quote();
        copy(value);
        quote();
    }
}

constexpr std::string_view kQuote = "\"";
constexpr std::string_view kNestedQuote = "\\\"";

// The escape of `byte` written the way `how` says, once: \" or \n or \u001f.
std::string_view escapedOnce(unsigned char byte, char how, char (&room)[6]) {
    room[0] = '\\';
    if (how != 'u') {
        room[1] = how;
        return {room, 2};
    }
    room[1] = 'u';
    room[2] = '0';
    room[3] = '0';
    room[4] = kHexDigits[byte >> 4];
    room[5] = kHexDigits[byte & 0xF];
    return {room, 6};
}

// The same escape escaped once more, as it stands inside a JSON text member: its backslash
// doubles, and a quotation mark, backslash or solidus after it needs one of its own again.
std::string_view escapedTwice(unsigned char byte, char how, char (&room)[7]) {
    room[0] = '\\';
    if (how == '"' || how == '\\' || how == '/') {
        room[1] = '\\';
        room[2] = '\\';
        room[3] = how;
        return {room, 4};
    }
    char once[6];
    const std::string_view single = escapedOnce(byte, how, once);
    single.copy(room + 1, single.size());
    return {room, single.size() + 1};
}

// Appends `text` escaped once to `once` and, when `twice` is given, escaped twice to it. Runs of
// bytes that need no escape go in one append. False at the first malformed UTF-8 sequence; what
// was appended until then stays, for the caller to drop.
template <typename Out>
bool appendEscaped(std::string_view text, Out& once, Out* twice) {
    std::size_t run = 0;
    std::size_t at = 0;
    const auto flush = [&](std::size_t end) {
        const std::string_view plain = text.substr(run, end - run);
        once.append(plain);
        if (twice != nullptr) {
            twice->append(plain);
        }
    };
    while (at < text.size()) {
        at = plainUntil(text, at);
        if (at == text.size()) {
            break;
        }
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x80) {
            const std::size_t length = utf8SequenceLength(text, at);
            if (length == 0) {
                return false;
            }
            at += length;
            continue;
        }
        const char how = kEscape[byte];
        flush(at);
        char single[6];
        once.append(escapedOnce(byte, how, single));
        if (twice != nullptr) {
            char doubled[7];
            twice->append(escapedTwice(byte, how, doubled));
        }
        run = ++at;
    }
    flush(at);
    return true;
}

}  // namespace

bool appendJsonEscaped(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    if (!appendEscaped<std::string>(text, out, nullptr)) {
        out.resize(start);
        return false;
    }
    return true;
}

JsonWriter::JsonWriter(std::size_t expectedSize, Sensitive) : expectedSize_(expectedSize) {
    text_.reserve(expectedSize);
}

JsonWriter::~JsonWriter() = default;

void JsonWriter::keepNestedCopy(std::string_view prefix) {
    nesting_ = true;
    // The nested copy is a little longer than the text: room for the prefix, a typical amount of
    // escaping and what usually follows, so that it rarely has to grow.
    nested_.reserve(prefix.size() + expectedSize_ + expectedSize_ / 4 + 96);
    nested_.append(prefix);
}

std::string_view JsonWriter::text() const {
    return text_.view();
}

std::string JsonWriter::take() {
    std::string text(text_.view());
    text_.clear();
    return text;
}

void JsonWriter::appendToNestedCopy(std::string_view raw) {
    nested_.append(raw);
}

std::string JsonWriter::takeNestedCopy() {
    std::string nested(nested_.view());
    nested_.clear();
    return nested;
}

platform::SecretText JsonWriter::takeNestedSecret() {
    return std::move(nested_);
}

bool JsonWriter::takeSeparator() {
    if (afterKey_) {
        afterKey_ = false;
        return false;
    }
    if (firstMember_.empty()) {
        return false;
    }
    if (firstMember_.back() == kNoMemberYet) {
        firstMember_.back() = kHasMembers;
        return false;
    }
    return true;
}

// A comma before a value, unless it is the first of its object or follows its key.
void JsonWriter::separateIfDue() {
    if (takeSeparator()) {
        put(',');
    }
}

// A character that reads the same in the text and in the nested copy.
void JsonWriter::put(char c) {
    text_.push_back(c);
    if (nesting_) {
        nested_.push_back(c);
    }
}

// A quoted string; the nested copy escapes its quotation marks too. Nothing of a text that is
// not UTF-8 is usable: the writer reports it, and its buffers wipe what they held when they go.
void JsonWriter::appendString(std::string_view value) {
    text_.push_back('"');
    if (nesting_) {
        nested_.append("\\\"");
    }
    if (!appendEscaped<platform::SecretText>(value, text_, nesting_ ? &nested_ : nullptr)) {
        ok_ = false;
    }
    text_.push_back('"');
    if (nesting_) {
        nested_.append("\\\"");
    }
}

void JsonWriter::beginObject() {
    separateIfDue();
    put('{');
    firstMember_.push_back(kNoMemberYet);
}

void JsonWriter::endObject() {
    afterKey_ = false;
    put('}');
    if (!firstMember_.empty()) {
        firstMember_.pop_back();
    }
}

// A name needs no escaping (its type sees to that): it goes in as it is, without the escaping pass.
void JsonWriter::key(Name name) {
    separateIfDue();
    putMember<kQuote, false>(text_, name.view(), {});
    if (nesting_) {
        putMember<kNestedQuote, false>(nested_, name.view(), {});
    }
    afterKey_ = true;
}

void JsonWriter::stringValue(std::string_view value) {
    separateIfDue();
    appendString(value);
}

void JsonWriter::member(Name name, std::string_view value) {
    if (plainUntil(value, 0) != value.size()) {
        key(name);
        appendString(value);
        afterKey_ = false;
        return;
    }
    // A value that needs no escaping, by far the most common: the whole member goes in one piece.
    separateIfDue();
    putMember<kQuote, true>(text_, name.view(), value);
    if (nesting_) {
        putMember<kNestedQuote, true>(nested_, name.view(), value);
    }
}

void JsonWriter::member(Name name, std::int64_t value) {
    key(name);
    afterKey_ = false;
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    const std::string_view written(digits, static_cast<std::size_t>(result.ptr - digits));
    text_.append(written);
    if (nesting_) {
        nested_.append(written);
    }
}

}  // namespace vanto
