#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
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

// Whether any of the eight bytes of `word` must be looked at: a byte above 0x7F, below 0x20, or a
// quotation mark, backslash or solidus. Each test is exact for the word as a whole (the usual
// "has a zero byte" arithmetic), though not for telling which byte it was.
constexpr bool wordNeedsAttention(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighBits = 0x8080808080808080;
    const auto hasZeroByte = [](std::uint64_t w) { return (w - kOnes) & ~w & kHighBits; };
    const std::uint64_t below0x20 = (word - 0x20 * kOnes) & ~word & kHighBits;
    return ((word & kHighBits) | below0x20 | hasZeroByte(word ^ ('"' * kOnes)) |
            hasZeroByte(word ^ ('\\' * kOnes)) | hasZeroByte(word ^ ('/' * kOnes))) != 0;
}

// Each byte, in each place of a word of plain bytes, is found exactly when the table says so.
consteval bool wordTestAgreesWithTable() {
    for (int c = 0; c < 256; ++c) {
        for (int place = 0; place < 8; ++place) {
            const int shift = 8 * place;
            const std::uint64_t word =
                (0x6161616161616161 & ~(std::uint64_t{0xFF} << shift)) | std::uint64_t(c) << shift;
            if (wordNeedsAttention(word) != (kAttention[c] != 0)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(wordTestAgreesWithTable());

// Whether `text` goes into a JSON string as it is, escaped once or twice alike: the test of
// plainUntil() eight bytes a step, for the short texts of a request.
inline bool isPlainJsonText(std::string_view text) {
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, sizeof word);
        if (wordNeedsAttention(word)) {
            return false;
        }
    }
    return plainUntil(text, at) == text.size();
}

// Copies `size` bytes to `to` and moves it past them. Request texts are short: up to 16 bytes go
// in two overlapping moves of a size known here rather than through a call.
inline void copyBytes(char*& to, const char* from, std::size_t size) {
    if (size >= 8 && size <= 16) {
        std::uint64_t head;
        std::uint64_t tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + size - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + size - 8, &tail, 8);
    } else if (size >= 4 && size < 8) {
        std::uint32_t head;
        std::uint32_t tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + size - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + size - 4, &tail, 4);
    } else if (size < 4) {
        for (std::size_t i = 0; i < size; ++i) {
            to[i] = from[i];
        }
    } else {
        std::memcpy(to, from, size);
    }
    to += size;
}

// The escape of `byte` written the way `how` says, once: \" or \n or \u001f.
constexpr std::string_view escapedOnce(unsigned char byte, char how, char (&room)[6]) {
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
constexpr std::string_view escapedTwice(unsigned char byte, char how, char (&room)[7]) {
    room[0] = '\\';
    if (how == '"' || how == '\\' || how == '/') {
        room[1] = '\\';
        room[2] = '\\';
        room[3] = how;
        return {room, 4};
    }
    char once[6] = {};
    const std::string_view single = escapedOnce(byte, how, once);
    for (std::size_t i = 0; i < single.size(); ++i) {
        room[i + 1] = single[i];
    }
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

// What a byte becomes inside a JSON string, escaped once or twice: `size` bytes, none for a byte
// that goes as it is.
struct EscapedByte {
    std::uint8_t size = 0;
    std::array<char, 7> bytes{};
};

template <bool kTwice>
constexpr std::array<EscapedByte, 256> makeEscapedBytes() {
    std::array<EscapedByte, 256> table{};
    for (int c = 0; c < 0x80; ++c) {
        const char how = kEscape[c];
        if (how == 0) {
            continue;
        }
        char once[6] = {};
        char twice[7] = {};
        const auto byte = static_cast<unsigned char>(c);
        const std::string_view escaped =
            kTwice ? escapedTwice(byte, how, twice) : escapedOnce(byte, how, once);
        table[c].size = static_cast<std::uint8_t>(escaped.size());
        for (std::size_t i = 0; i < escaped.size(); ++i) {
            table[c].bytes[i] = escaped[i];
        }
    }
    return table;
}

inline constexpr std::array<EscapedByte, 256> kEscapedOnce = makeEscapedBytes<false>();
inline constexpr std::array<EscapedByte, 256> kEscapedTwice = makeEscapedBytes<true>();

/// The sizes of a text escaped once and twice.
struct EscapedSizes {
    std::size_t once = 0;
    std::size_t twice = 0;
};

/// The sizes `text` takes escaped once and twice; none when it is not well-formed UTF-8.
inline std::optional<EscapedSizes> escapedSizes(std::string_view text) {
    EscapedSizes sizes{text.size(), text.size()};
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            if (const std::size_t size = kEscapedOnce[byte].size; size != 0) {
                sizes.once += size - 1;
                sizes.twice += kEscapedTwice[byte].size - 1;
            }
            ++at;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0) {
            return std::nullopt;
        }
        at += length;
    }
    return sizes;
}

/// Writes `text`, which escapedSizes() has measured, escaped once at `once` and twice at `twice`,
/// each moved past what it wrote. Runs of bytes that need no escape go in one copy.
inline void writeEscaped(std::string_view text, char*& once, char*& twice) {
    std::size_t run = 0;
    const auto flush = [&](std::size_t end) {
        copyBytes(once, text.data() + run, end - run);
        copyBytes(twice, text.data() + run, end - run);
    };
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const EscapedByte& single = kEscapedOnce[byte];
        if (single.size == 0) {
            continue;
        }
        flush(at);
        const EscapedByte& doubled = kEscapedTwice[byte];
        copyBytes(once, single.bytes.data(), single.size);
        copyBytes(twice, doubled.bytes.data(), doubled.size);
        run = at + 1;
    }
    flush(text.size());
}

}  // namespace vanto::detail
