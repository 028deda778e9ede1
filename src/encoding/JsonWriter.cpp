#include "vanto/encoding/JsonWriter.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "encoding/JsonEscape.h"

namespace vanto {
namespace {

using detail::appendEscaped;
using detail::plainUntil;

// The state of an open object, one character a level.
constexpr char kNoMemberYet = 'n';
constexpr char kHasMembers = 'm';

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
