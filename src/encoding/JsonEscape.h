#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "vanto/text/Utf8.h"

// How texts are escaped as the body of a JSON string, once and twice (as they stand when one JSON
// document carries another as a text member), shared by the JSON writer and the request writers.
namespace vanto::detail {

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

inline constexpr std::array<char, 256> kEscape = makeEscapeTable();

// The bytes the writer must look at: those it escapes and those that start or continue a
// multi-byte UTF-8 sequence (1 in the table). Every other byte is copied as it is.
constexpr std::array<std::uint8_t, 256> makeAttentionTable() {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[c] = c >= 0x80 || kEscape[c] != 0 ? 1 : 0;
    }
    return table;
}

inline constexpr std::array<std::uint8_t, 256> kAttention = makeAttentionTable();

// Where the first byte from `at` on that the writer must look at stands in `text`, or its size.
// Plain text, by far the most common, goes by four bytes a step, then one at a time.
inline std::size_t plainUntil(std::string_view text, std::size_t at) {
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

// Whether `text` goes into a JSON string as it is, escaped once or twice alike.
inline bool isPlainJsonText(std::string_view text) {
    return plainUntil(text, 0) == text.size();
}

// The escape of `byte` written the way `how` says, once: \" or \n or \u001f.
inline std::string_view escapedOnce(unsigned char byte, char how, char (&room)[6]) {
    constexpr char kHexDigits[] = "0123456789abcdef";
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
inline std::string_view escapedTwice(unsigned char byte, char how, char (&room)[7]) {
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

}  // namespace vanto::detail
