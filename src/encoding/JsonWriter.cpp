#include "vanto/encoding/JsonWriter.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "vanto/platform/SecureWipe.h"
#include "vanto/text/Utf8.h"

namespace vanto {
namespace {

// How each byte is written inside a JSON string: 0 copies it as it is, a letter is the short
// escape after a backslash, 'u' asks for \u00xx, and 'U' marks the start of a multi-byte
// UTF-8 sequence that must be checked.
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
    for (int c = 0x80; c < 0x100; ++c) {
        table[c] = 'U';
    }
    return table;
}

constexpr std::array<char, 256> kEscape = makeEscapeTable();
constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

bool appendJsonEscaped(std::string& out, std::string_view text) {
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char how = kEscape[static_cast<unsigned char>(text[i])];
        if (how == 0) {
            ++i;
            continue;
        }
        if (how == 'U') {
            const std::size_t length = utf8SequenceLength(text, i);
            if (length == 0) {
                return false;
            }
            i += length;
            continue;
        }
        out.append(text.data() + runStart, i - runStart);
        if (how == 'u') {
            const auto byte = static_cast<unsigned char>(text[i]);
            const char escaped[] = {'\\', 'u', '0', '0', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
            out.append(escaped, sizeof escaped);
        } else {
            const char escaped[] = {'\\', how};
            out.append(escaped, sizeof escaped);
        }
        ++i;
        runStart = i;
    }
    out.append(text.data() + runStart, text.size() - runStart);
    return true;
}

JsonWriter::JsonWriter(std::size_t expectedSize, Sensitive sensitive) : sensitive_(sensitive) {
    out_.reserve(expectedSize);
}

JsonWriter::~JsonWriter() {
    if (sensitive_ == Sensitive::yes) {
        platform::secureWipe(out_);
    }
}

std::string JsonWriter::take() {
    std::string text = std::move(out_);
    out_.clear();
    return text;
}

void JsonWriter::reserveFor(std::size_t extra) {
    const std::size_t needed = out_.size() + extra;
    if (needed <= out_.capacity()) {
        return;
    }
    if (sensitive_ == Sensitive::no) {
        out_.reserve(std::max(needed, out_.capacity() * 2));
        return;
    }
    // Growing in place would free the old buffer with its card data unwiped.
    std::string larger;
    larger.reserve(std::max(needed, out_.capacity() * 2));
    larger.append(out_);
    platform::secureWipe(out_);
    out_.swap(larger);
}

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (depth_ == 0) {
        return;
    }
    const std::uint64_t bit = std::uint64_t{1} << (depth_ - 1);
    if ((firstMember_ & bit) != 0) {
        firstMember_ &= ~bit;
    } else {
        reserveFor(1);
        out_.push_back(',');
    }
}

void JsonWriter::beginObject() {
    separate();
    reserveFor(1);
    out_.push_back('{');
    if (depth_ < 64) {
        ++depth_;
        firstMember_ |= std::uint64_t{1} << (depth_ - 1);
    } else {
        ok_ = false;
    }
}

void JsonWriter::endObject() {
    reserveFor(1);
    out_.push_back('}');
    if (depth_ > 0) {
        --depth_;
    }
}

void JsonWriter::appendString(std::string_view value) {
    if (sensitive_ == Sensitive::yes) {
        // An escaped text is at most six bytes per input byte. Making room for that up front
        // means the escaping below never reallocates, so no copy of card data is left behind
        // in a freed, unwiped buffer.
        reserveFor(value.size() * 6 + 2);
    }
    out_.push_back('"');
    ok_ = appendJsonEscaped(out_, value) && ok_;
    out_.push_back('"');
}

void JsonWriter::key(std::string_view name) {
    separate();
    appendString(name);
    reserveFor(1);
    out_.push_back(':');
    afterKey_ = true;
}

void JsonWriter::stringValue(std::string_view value) {
    separate();
    appendString(value);
}

void JsonWriter::member(std::string_view name, std::string_view value) {
    key(name);
    stringValue(value);
}

void JsonWriter::member(std::string_view name, std::int64_t value) {
    key(name);
    separate();
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    reserveFor(static_cast<std::size_t>(result.ptr - digits));
    out_.append(digits, result.ptr);
}

}  // namespace vanto
