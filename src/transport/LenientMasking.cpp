// The fallback for text that is not read as JSON: a reply cut short, bytes after the JSON, a
// member text that only looks like JSON. Without a structure to trust, the text is read one
// character at a time as it would finally decode, however many times it was escaped, so that a
// card member's name is found in any spelling and the value after it is masked; every long run of
// digits is masked as well. Where the reading is unsure, it masks more.
#include <algorithm>
#include <bit>

#include "transport/CardData.h"

namespace vanto::detail {
namespace {

// One character of a text that may hold JSON escaped any number of times.
struct Character {
    // What it finally stands for: a backslash run and what follows it are read as the character
    // they write (\" as a quotation mark, \u0044 as "D", \n as a line break); '\0' for a \u
    // escape of a character outside ASCII.
    char c = '\0';
    // Where the next character starts.
    std::size_t end = 0;
    // For a quotation mark: the level of nesting at which it opens or closes a string (0 for one
    // in the text itself, 1 for one inside a JSON text carried as a string, and so on). A
    // quotation mark inside a string always reads one level deeper than the string's own.
    unsigned level = 0;

    bool isWhitespace() const {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\b' || c == '\f';
    }
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// The character whose text starts at `at`, not reading past `end`.
Character readCharacter(std::string_view text, std::size_t at, std::size_t end) {
    std::size_t backslashes = 0;
    while (at + backslashes < end && text[at + backslashes] == '\\') {
        ++backslashes;
    }
    const std::size_t next = at + backslashes;
    if (next == end) {
        return {'\\', end, 0};
    }
    const char c = text[next];
    if (backslashes == 0) {
        return {c, next + 1, 0};
    }
    if (c == 'u' && end - next > 4) {
        int code = 0;
        for (std::size_t i = 1; i <= 4 && code >= 0; ++i) {
            const int digit = hexValue(text[next + i]);
            code = digit < 0 ? -1 : code * 16 + digit;
        }
        if (code >= 0) {
            // The escape's own backslash is doubled at every level it is carried through.
            return {code < 0x80 ? static_cast<char>(code) : '\0', next + 5,
                    static_cast<unsigned>(std::bit_width(backslashes))};
        }
    }
    constexpr std::string_view kEscapes = "b\bf\fn\nr\rt\t";
    const std::size_t escape = kEscapes.find(c);
    if (escape != std::string_view::npos && escape % 2 == 0) {
        return {kEscapes[escape + 1], next + 1, 0};
    }
    // A quotation mark carried through n levels is written after 2^n - 1 backslashes.
    return {c, next + 1, static_cast<unsigned>(std::bit_width(backslashes + 1) - 1)};
}

constexpr char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Where `name` ends when the text at `at` spells it, in any case and any escaping; npos if not.
std::size_t spelledName(std::string_view text, std::size_t at, std::size_t end,
                        std::string_view name) {
    for (const char expected : name) {
        if (at >= end) {
            return std::string_view::npos;
        }
        const Character read = readCharacter(text, at, end);
        if (lowered(read.c) != lowered(expected)) {
            return std::string_view::npos;
        }
        at = read.end;
    }
    return at;
}

// The contents of a string value whose opening quotation mark ends at `at`: up to the next
// quotation mark of the same level or an outer one, or the end of the text.
Span stringValue(std::string_view text, std::size_t at, std::size_t end, unsigned level) {
    std::size_t stop = at;
    while (stop < end) {
        const Character read = readCharacter(text, stop, end);
        if (read.c == '"' && read.level <= level) {
            break;
        }
        stop = read.end;
    }
    return {at, stop};
}

// An object or array value starting at `at`, up to its closing bracket; brackets inside strings
// of the member's own level are not counted.
Span structuredValue(std::string_view text, std::size_t at, std::size_t end, unsigned level) {
    std::size_t stop = at;
    int depth = 0;
    bool inString = false;
    while (stop < end) {
        const Character read = readCharacter(text, stop, end);
        stop = read.end;
        if (read.c == '"' && read.level == level) {
            inString = !inString;
        } else if (!inString && (read.c == '{' || read.c == '[')) {
            ++depth;
        } else if (!inString && (read.c == '}' || read.c == ']') && --depth == 0) {
            break;
        }
    }
    return {at, stop};
}

// Any other value: up to whatever would end it in JSON.
Span scalarValue(std::string_view text, std::size_t at, std::size_t end) {
    std::size_t stop = at;
    while (stop < end) {
        const Character read = readCharacter(text, stop, end);
        if (read.isWhitespace() || read.c == ',' || read.c == '}' || read.c == ']' ||
            read.c == '"') {
            break;
        }
        stop = read.end;
    }
    return {at, stop};
}

// The value that follows a member name ending at `at`: past the name's closing quotation mark,
// whitespace and a colon. None when no colon follows (the name is not a member's).
std::optional<Span> valueAfterName(std::string_view text, std::size_t at, std::size_t end) {
    std::optional<unsigned> nameLevel;
    Character read;
    while (at < end) {
        read = readCharacter(text, at, end);
        if (read.c == '"') {
            nameLevel = nameLevel.value_or(read.level);
        } else if (!read.isWhitespace()) {
            break;
        }
        at = read.end;
    }
    if (at >= end || read.c != ':') {
        return std::nullopt;
    }
    at = read.end;
    while (at < end && (read = readCharacter(text, at, end)).isWhitespace()) {
        at = read.end;
    }
    if (at >= end) {
        return std::nullopt;
    }
    if (read.c == '"') {
        return stringValue(text, read.end, end, read.level);
    }
    if (read.c == '{' || read.c == '[') {
        return structuredValue(text, at, end, nameLevel.value_or(0));
    }
    return scalarValue(text, at, end);
}

bool isPlainCardText(char c) {
    return (c >= '0' && c <= '9') || c == '*' || c == ' ' || c == '-';
}

// A value found without a structure keeps the last four digits of a card number only when it is
// written plainly; otherwise those characters may be part of an escape.
std::string maskedLeniently(std::string_view value, CardField field) {
    if (field == CardField::number && std::all_of(value.begin(), value.end(), isPlainCardText)) {
        return maskedCardValue(value, field);
    }
    return std::string(value.size(), '*');
}

// Masks the value after each card member's name in `within`.
void maskValuesAfterNames(std::string_view text, Span within, std::vector<Replacement>& out) {
    for (std::size_t at = within.begin; at < within.end; ++at) {
        const char c = text[at];
        // Every name starts with a "d" or with an escape; a run of backslashes is read from its
        // start only, which keeps the scan linear.
        const bool escapeStart = c == '\\' && (at == within.begin || text[at - 1] != '\\');
        if (c != 'D' && c != 'd' && !escapeStart) {
            continue;
        }
        for (const auto& member : cardMembers()) {
            const std::size_t nameEnd = spelledName(text, at, within.end, member.name);
            if (nameEnd == std::string_view::npos) {
                continue;
            }
            if (const auto value = valueAfterName(text, nameEnd, within.end)) {
                if (value->size() > 0) {
                    out.push_back({*value, maskedLeniently(text.substr(value->begin, value->size()),
                                                           member.field)});
                }
                // The value is masked already; the scan goes on after it.
                if (value->end > at) {
                    at = value->end - 1;
                }
            }
            break;
        }
    }
}

}  // namespace

void maskLeniently(std::string_view text, Span within, std::vector<Replacement>& out) {
    maskValuesAfterNames(text, within, out);
    for (const DigitRun& run : longDigitRuns(text, within)) {
        out.push_back({run.span, maskedDigitRun(text, run)});
    }
}

}  // namespace vanto::detail
