// The lenient scan, for text that is not read as JSON (a reply cut short, bytes after the JSON, a
// gateway's error text that quotes the request, a return address, a form, a page) and for the
// texts of a JSON document, where a request may be echoed in another spelling. Without a structure
// to trust, the text is read one character at a time as a reader would finally see it, however
// many times and however it was escaped, so that a card member's name is found in any spelling.
// After such a name every value is masked up to the next member's name, whether or not the first
// value was closed where it should have been. Where the reading is unsure, it masks more.
#include <algorithm>

#include "transport/CardData.h"

namespace vanto::detail {
namespace {

// Names longer than this are not looked for when deciding where a card member's values end.
constexpr std::size_t kLongestName = 64;
// How far an XML element's attributes may run before the ">" that opens its content.
constexpr std::size_t kLongestTag = 256;
// How many bytes the values after names may take to read, for each byte of the text and more.
constexpr std::size_t kReadingPerByte = 16;
constexpr std::size_t kReadingExtra = 64 * 1024;

bool isNameCharacter(char c) {
    const char lower = lowered(c);
    return (lower >= 'a' && lower <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
}

// How a member's value is introduced, which also says what ends it.
enum class Separator {
    colon,    // JSON, single-quoted JSON, "name: value" in a text
    equals,   // a form field or an XML attribute
    element,  // an XML element: the content up to the next tag
};

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

// The first offset from `at` whose character `keep` (given it and its offset) refuses, or `end`.
template <typename Keep>
std::size_t skipWhile(std::string_view text, std::size_t at, std::size_t end, Keep&& keep) {
    for (Character read; at < end && keep(read = readCharacter(text, at, end), at);) {
        at = read.end;
    }
    return at;
}

bool isWhitespace(const Character& read, std::size_t) {
    return read.isWhitespace();
}

// Whether a member's name starts at `at`: a quoted name, or a bare one, followed by whitespace
// and a colon or an equals sign.
bool memberNameAt(std::string_view text, std::size_t at, std::size_t end) {
    const Character first = readCharacter(text, at, end);
    if (!first.isQuote() && (!isNameCharacter(first.c) || isDigit(first.c))) {
        return false;
    }
    std::size_t length = 0;
    bool tooLong = false;
    std::size_t next = skipWhile(text, first.end, end, [&](const Character& read, std::size_t) {
        const bool inName = first.isQuote() ? !read.isQuote() : isNameCharacter(read.c);
        tooLong = inName && ++length > kLongestName;
        return inName && !tooLong;
    });
    if (tooLong || (first.isQuote() && next >= end)) {
        return false;
    }
    next = skipWhile(text, first.isQuote() ? readCharacter(text, next, end).end : next, end,
                     isWhitespace);
    const char separator = next < end ? readCharacter(text, next, end).c : '\0';
    return separator == ':' || separator == '=';
}

// Whether `read`, starting at `at`, is written as itself at its level of JSON, not as a percent
// escape or an HTML character reference.
bool isPlain(std::string_view text, const Character& read, std::size_t at) {
    return read.end == at + 1 || text[at] == '\\';
}

// The contents of a string value whose opening quotation mark `open` ends at `at`: up to the
// same mark at its level or an outer one, any mark of an outer level, or the end. A string
// opened by a mark written plainly is not closed by a percent-encoded or HTML-escaped one, which
// is part of its text.
Span stringValue(std::string_view text, std::size_t at, std::size_t end, const Character& open,
                 bool openedPlainly) {
    return {at, skipWhile(text, at, end, [&](const Character& read, std::size_t from) {
                return !read.isQuote() || (openedPlainly && !isPlain(text, read, from)) ||
                       (read.level >= open.level && (read.c != open.c || read.level > open.level));
            })};
}

// An object or array value starting at `at`, up to its closing bracket; brackets inside strings
// of the member's own level are not counted.
Span structuredValue(std::string_view text, std::size_t at, std::size_t end, unsigned level) {
    // As with strings, in an object written plainly a percent-encoded or HTML-escaped quotation
    // mark is text.
    const bool openedPlainly = isPlain(text, readCharacter(text, at, end), at);
    std::size_t stop = at;
    int depth = 0;
    bool inString = false;
    while (stop < end) {
        const Character read = readCharacter(text, stop, end);
        const bool plain = isPlain(text, read, stop);
        stop = read.end;
        if (read.c == '"' && read.level == level && (!openedPlainly || plain)) {
            inString = !inString;
        } else if (!inString && (read.c == '{' || read.c == '[')) {
            ++depth;
        } else if (!inString && (read.c == '}' || read.c == ']') && --depth == 0) {
            break;
        }
    }
    return {at, stop};
}

// Whether `read`, starting at `at`, ends a value without quotation marks. In a form or an
// attribute only what is written plainly does: a percent-encoded "&" or space is part of the
// value.
bool endsBareValue(std::string_view text, const Character& read, std::size_t at,
                   Separator separator) {
    constexpr std::string_view kJsonEnds = ",}]&<>";
    constexpr std::string_view kFormEnds = "&<>";
    switch (separator) {
        case Separator::colon:
            return read.isWhitespace() || read.isQuote() ||
                   (read.c != '\0' && kJsonEnds.find(read.c) != std::string_view::npos);
        case Separator::equals:
            return isPlain(text, read, at) &&
                   (read.isWhitespace() || read.isQuote() ||
                    (read.c != '\0' && kFormEnds.find(read.c) != std::string_view::npos));
        case Separator::element:
            return read.c == '<' || (read.c == '&' && isPlain(text, read, at));
    }
    return true;
}

// A value without quotation marks: up to whatever ends a value in JSON, a form or XML. After a
// colon, groups of digits after single spaces are one value ("numero: 4000 0000 0000 1234").
Span bareValue(std::string_view text, std::size_t at, std::size_t end, Separator separator) {
    char last = '\0';
    return {at, skipWhile(text, at, end, [&](const Character& read, std::size_t from) {
                const bool groupFollows = separator == Separator::colon && read.c == ' ' &&
                                          isDigit(last) && read.end < end &&
                                          isDigit(readCharacter(text, read.end, end).c);
                last = read.c;
                return groupFollows || !endsBareValue(text, read, from, separator);
            })};
}

// Whether the name starting at `at` is an XML element's, after "<" (or "&lt;", "%3C").
bool opensTag(std::string_view text, std::size_t begin, std::size_t at) {
    for (const std::string_view open : {"<", "&lt;", "%3C", "%3c"}) {
        if (at - begin >= open.size() && text.substr(at - open.size(), open.size()) == open) {
            return true;
        }
    }
    return false;
}

// A card member's value found after its name: the first value, and where the values that follow
// it up to the next member's name end.
struct FoundValue {
    Span first;
    // An object or array, masked character by character so that its brackets stay.
    bool structured = false;
    std::size_t regionEnd = 0;
    Separator separator = Separator::colon;
};

// Where the separator after a name ending at `at` ends, and which it is: past closing quotation
// marks and whitespace, or past an XML element's attributes.
std::optional<std::pair<std::size_t, Separator>> separatorAfter(std::string_view text,
                                                                std::size_t at, std::size_t end,
                                                                bool tag) {
    at = skipWhile(text, at, end, [](const Character& read, std::size_t) {
        return read.isQuote() || read.isWhitespace();
    });
    if (at >= end) {
        return std::nullopt;
    }
    Character read = readCharacter(text, at, end);
    if (read.c == ':' || read.c == '=') {
        return std::pair{read.end, read.c == ':' ? Separator::colon : Separator::equals};
    }
    for (std::size_t length = 0; tag && at < end && length < kLongestTag; ++length) {
        read = readCharacter(text, at, end);
        at = read.end;
        if (read.c == '>' || read.c == '<') {
            return read.c == '>' ? std::optional(std::pair{at, Separator::element}) : std::nullopt;
        }
    }
    return std::nullopt;
}

// Where the values after a card member's first value end: at the next member's name, or for a
// form or XML, at the next field or tag (written plainly, as the value's own end is).
std::size_t regionEnd(std::string_view text, std::size_t at, std::size_t end, Separator separator) {
    return skipWhile(text, at, end, [&](const Character& read, std::size_t from) {
        const bool nextField = separator != Separator::colon && (read.c == '&' || read.c == '<') &&
                               isPlain(text, read, from);
        return !nextField && !memberNameAt(text, from, end);
    });
}

std::optional<FoundValue> valueAfterName(std::string_view text, Span within, std::size_t nameStart,
                                         std::size_t nameEnd) {
    const std::size_t end = within.end;
    // The level of the name's own quotation marks, which strings of a structured value share.
    const Character afterName = nameEnd < end ? readCharacter(text, nameEnd, end) : Character{};
    const auto separator =
        separatorAfter(text, nameEnd, end, opensTag(text, within.begin, nameStart));
    if (!separator) {
        return std::nullopt;
    }
    // Whitespace before the value, which in a form is written plainly.
    const std::size_t at =
        separator->second == Separator::element
            ? separator->first
            : skipWhile(text, separator->first, end, [&](const Character& read, std::size_t from) {
                  return read.isWhitespace() &&
                         (separator->second == Separator::colon || isPlain(text, read, from));
              });
    if (at >= end) {
        return std::nullopt;
    }
    const Character read = readCharacter(text, at, end);
    FoundValue found;
    found.separator = separator->second;
    // A form's value is quoted only by a plain quotation mark: an escaped one is part of it.
    const bool quoted =
        separator->second == Separator::colon
            ? read.isQuote()
            : separator->second == Separator::equals && read.isQuote() && isPlain(text, read, at);
    if (quoted) {
        found.first = stringValue(text, read.end, end, read, isPlain(text, read, at));
    } else if (separator->second == Separator::colon && (read.c == '{' || read.c == '[')) {
        found.first = structuredValue(text, at, end, afterName.isQuote() ? afterName.level : 0);
        found.structured = true;
    } else {
        found.first = bareValue(text, at, end, separator->second);
    }
    found.regionEnd = regionEnd(text, found.first.end, end, separator->second);
    return found;
}

bool isPlainCardText(char c) {
    return (c >= '0' && c <= '9') || c == '*' || c == ' ' || c == '-' || c == '+';
}

// A value found without a structure keeps the last four digits of a card number only when it is
// written plainly; otherwise those characters may be part of an escape.
std::string maskedLeniently(std::string_view value, CardField field) {
    if (field == CardField::number && std::all_of(value.begin(), value.end(), isPlainCardText)) {
        return maskedCardValue(value, field);
    }
    return std::string(value.size(), '*');
}

bool isStructure(const Character& read) {
    constexpr std::string_view kStructure = "{}[],:=&<>/?;";
    return read.isWhitespace() || read.isQuote() ||
           (read.c != '\0' && kStructure.find(read.c) != std::string_view::npos);
}

// Masks every character in `span` that is not structure, a run at a time.
void maskValueCharacters(std::string_view text, Span span, std::vector<Replacement>& out) {
    std::optional<Span> masked;
    const auto flush = [&] {
        if (masked) {
            out.push_back({*masked, std::string(masked->size(), '*')});
            masked.reset();
        }
    };
    for (std::size_t at = span.begin; at < span.end;) {
        const Character read = readCharacter(text, at, span.end);
        if (isStructure(read)) {
            flush();
        } else {
            masked = Span{masked ? masked->begin : at, read.end};
        }
        at = read.end;
    }
    flush();
}

// What a value is judged by: after a colon the first value; in a form or XML the whole field.
platform::SecretText valueText(std::string_view text, const FoundValue& value) {
    const bool field = value.separator != Separator::colon;
    return readCharacters(text, {value.first.begin, field ? value.regionEnd : value.first.end});
}

void maskFoundValue(std::string_view text, const FoundValue& value, CardField field,
                    LenientFindings& found) {
    const std::string_view first = text.substr(value.first.begin, value.first.size());
    if (value.structured) {
        maskValueCharacters(text, value.first, found.replacements);
    } else if (!first.empty()) {
        found.replacements.push_back({value.first, maskedLeniently(first, field)});
    }
    if (field == CardField::number) {
        platform::SecretText digits = cardNumberDigits(readCharacters(text, value.first).view());
        if (!digits.empty()) {
            found.cardNumbers.push_back(std::move(digits));
        }
    }
    maskValueCharacters(text, {value.first.end, value.regionEnd}, found.replacements);
}

// Whether the text at `at` continues a word (a letter before it that no escape ends), where an
// ordinary word is not a name.
bool continuesWord(std::string_view text, std::size_t begin, std::size_t at) {
    const char before = at > begin ? lowered(text[at - 1]) : ' ';
    const bool escaped = (at - begin >= 3 && text[at - 3] == '%') ||
                         (at - begin >= 6 && text.substr(at - 6, 2) == "\\u");
    return ((before >= 'a' && before <= 'z') || before == '_') && !escaped;
}

// Whether a card member's name may start at `at`: with a letter, or with an escape.
bool mayStartName(std::string_view text, std::size_t begin, std::size_t at) {
    const char c = text[at];
    if (c == '\\') {
        // A run of backslashes is read from its start only, which keeps the scan linear.
        return at == begin || text[at - 1] != '\\';
    }
    const char lower = lowered(c);
    return c == '%' || c == '&' || (lower >= 'a' && lower <= 'z');
}

}  // namespace

void maskValuesAfterNames(std::string_view text, Span within, LenientFindings& found) {
    // A value follows a name after a separator, which may be escaped; most texts hold none.
    if (text.substr(within.begin, within.size()).find_first_of(":=>\\%&") ==
        std::string_view::npos) {
        return;
    }
    // Values may run far (a string or an object left open) and names stand inside them; past
    // this much reading the rest of the text is masked instead, which keeps the scan linear.
    const std::size_t budget = kReadingPerByte * within.size() + kReadingExtra;
    std::size_t reading = 0;
    for (std::size_t at = within.begin; at < within.end; ++at) {
        if (!mayStartName(text, within.begin, at)) {
            continue;
        }
        for (const auto& member : cardMembers()) {
            const std::size_t nameEnd = spelledName(text, at, within.end, member.name);
            const bool ordinary = member.fewestDigits > 0;
            if (nameEnd == std::string_view::npos ||
                (ordinary && continuesWord(text, within.begin, at))) {
                continue;
            }
            const auto value = valueAfterName(text, within, at, nameEnd);
            if (value && (reading += value->regionEnd - nameEnd) > budget) {
                maskValueCharacters(text, {at, within.end}, found.replacements);
                return;
            }
            if (value && member.field == CardField::encoded) {
                // A payment result is decoded and masked as a whole; what it is written with
                // (percent-encoded JSON, say) is still read on.
                found.encodedValues.push_back(value->first);
            } else if (value && (value->structured ||
                                 holdsCardData(member, valueText(text, *value).view()))) {
                FoundValue masked = *value;
                // Free text goes on after an ordinary word's value: "cvv: 123 es incorrecto".
                if (ordinary && !masked.structured && masked.separator == Separator::colon) {
                    masked.regionEnd = masked.first.end;
                }
                maskFoundValue(text, masked, member.field, found);
                // Another card member's name may stand inside the value (or among an element's
                // attributes before it), and its own values run further: the scan goes on there.
                at = nameEnd - 1;
            }
            break;
        }
    }
}

void maskLeniently(std::string_view text, Span within, LenientFindings& found) {
    maskValuesAfterNames(text, within, found);
    for (const auto& runs : {longDigitRuns(text, within), writtenDigitRuns(text, within)}) {
        for (const DigitRun& run : runs) {
            found.replacements.push_back({run.span, maskedDigitRun(text, run)});
        }
    }
}

}  // namespace vanto::detail
