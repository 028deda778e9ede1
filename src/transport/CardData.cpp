#include "transport/CardData.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <tuple>
#include <utility>

namespace vanto::detail {
namespace {

// The fewest digits a card number has. A shorter value is not a whole card number, and its last
// four digits would be most of it.
constexpr std::size_t kShortestCardNumber = 12;
// The fewest and most digits of a card number that the Luhn check looks for.
constexpr std::size_t kShortestLuhnNumber = 13;
constexpr std::size_t kLongestCardNumber = 19;
// A security code has three digits or four, an expiry date three at least ("1/29").
constexpr std::size_t kShortestHiddenValue = 3;

constexpr CardMember kCardMembers[] = {
    {"DS_MERCHANT_PAN", CardField::number},
    {"Ds_CardNumber", CardField::number},
    {"Ds_Card_Number", CardField::number},
    {"DS_MERCHANT_CVV2", CardField::hidden},
    {"DS_MERCHANT_EXPIRYDATE", CardField::hidden},
    {"Ds_ExpiryDate", CardField::hidden},
    // The card form of the sandbox's payment page, whose names are also ordinary words.
    {"numero", CardField::number, kShortestCardNumber},
    {"caducidad", CardField::hidden, kShortestHiddenValue},
    {"cvv", CardField::hidden, kShortestHiddenValue},
    {"Ds_MerchantParameters", CardField::encoded},
};

bool isSeparator(char c) {
    return c == ' ' || c == '-' || c == '+';
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowered(x) == lowered(y);
           });
}

// A quotation mark as it must be written to stand in a JSON text carried `level` times as a text:
// each level doubles the backslashes before it and adds one.
std::string quotationMark(unsigned level) {
    std::string mark((std::size_t{1} << level) - 1, '\\');
    mark.push_back('"');
    return mark;
}

int hexValue(char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// What the one-letter JSON escape "\\<escape>" stands for.
char unescapedJson(char escape) {
    constexpr std::string_view kEscapes = "b\bf\fn\nr\rt\t";
    const std::size_t found = kEscapes.find(escape);
    return found != std::string_view::npos && found % 2 == 0 ? kEscapes[found + 1] : escape;
}

// The character of code `code` as Character::c: itself in ASCII, its digit for a decimal digit
// of another script, '\0' beyond.
char asciiOrNul(long code) {
    return code >= 0 && code < 0x80 ? static_cast<char>(code) : otherScriptDigit(code);
}

// The number written at `at` in base `base` with at most `most` digits, ending before `end`.
// (A value past every code point stops growing: only whether it is ASCII matters.)
std::pair<long, std::size_t> numberAt(std::string_view text, std::size_t at, std::size_t end,
                                      int base, std::size_t most) {
    constexpr long kPastCodePoints = 0x110000;
    long value = 0;
    std::size_t next = at;
    for (int digit = 0;
         next < end && next - at < most && (digit = hexValue(text[next])) >= 0 && digit < base;
         ++next) {
        value = std::min(value * base + digit, kPastCodePoints);
    }
    return {next > at ? value : -1, next};
}

// The value of the `count` hexadecimal digits at `at`, not reading past `end`; -1 when fewer.
long hexDigits(std::string_view text, std::size_t at, std::size_t end, std::size_t count) {
    const auto [value, next] = numberAt(text, at, end, 16, count);
    return next == at + count ? value : -1;
}

// A percent escape at `at` (which holds "%"): "%25" followed by two hexadecimal digits is a
// percent sign escaped once more, read through.
std::optional<Character> percentEscape(std::string_view text, std::size_t at, std::size_t end) {
    long byte = hexDigits(text, at + 1, end, 2);
    if (byte < 0) {
        return std::nullopt;
    }
    std::size_t next = at + 3;
    while (byte == '%' && hexDigits(text, next, end, 2) >= 0) {
        byte = hexDigits(text, next, end, 2);
        next += 2;
    }
    return Character{asciiOrNul(byte), next, 0};
}

// The body of an HTML character reference after its "&", up to and with its ";".
std::optional<std::pair<long, std::size_t>> referenceBody(std::string_view text, std::size_t at,
                                                          std::size_t end) {
    if (at < end && text[at] == '#') {
        const bool hex = at + 1 < end && lowered(text[at + 1]) == 'x';
        // However many digits: a reader takes them all into one reference.
        const auto [code, next] =
            numberAt(text, at + (hex ? 2 : 1), end, hex ? 16 : 10, std::string_view::npos);
        if (code < 0 || next >= end || text[next] != ';') {
            return std::nullopt;
        }
        return std::pair{code, next + 1};
    }
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"quot;", '"'}, {"apos;", '\''}, {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}};
    for (const auto& [name, c] : kNamed) {
        if (end - at >= name.size() && sameIgnoringCase(text.substr(at, name.size()), name)) {
            return std::pair{static_cast<long>(c), at + name.size()};
        }
    }
    return std::nullopt;
}

// An HTML character reference at `at` (which holds "&"): "&amp;" followed by the body of another
// reference is that reference escaped once more, read through.
std::optional<Character> htmlReference(std::string_view text, std::size_t at, std::size_t end) {
    auto body = referenceBody(text, at + 1, end);
    if (!body) {
        return std::nullopt;
    }
    while (body->first == '&') {
        const auto inner = referenceBody(text, body->second, end);
        if (!inner) {
            break;
        }
        body = inner;
    }
    return Character{asciiOrNul(body->first), body->second, 0};
}

Character backslashEscape(std::string_view text, std::size_t at, std::size_t end) {
    std::size_t backslashes = 0;
    while (at + backslashes < end && text[at + backslashes] == '\\') {
        ++backslashes;
    }
    const std::size_t next = at + backslashes;
    if (next == end) {
        return {'\\', end, 0};
    }
    const char c = text[next];
    if (const long code = c == 'u' ? hexDigits(text, next + 1, end, 4) : -1; code >= 0) {
        // The escape's own backslash is doubled at every level it is carried through.
        return {asciiOrNul(code), next + 5, static_cast<unsigned>(std::bit_width(backslashes))};
    }
    if (const char escaped = unescapedJson(c); escaped != c) {
        return {escaped, next + 1, 0};
    }
    // A quotation mark carried through n levels is written after 2^n - 1 backslashes.
    const auto level = static_cast<unsigned>(std::bit_width(backslashes + 1) - 1);
    // A percent escape or character reference after them is read whole, so that it is never cut.
    const auto spelled = c == '%'   ? percentEscape(text, next, end)
                         : c == '&' ? htmlReference(text, next, end)
                                    : std::nullopt;
    return spelled ? Character{spelled->c, spelled->end, level} : Character{c, next + 1, level};
}

// A group of a digit run between separators, with the two sums the Luhn check needs: with its
// last digit not doubled (as when the group ends the number) and with it doubled.
struct DigitGroup {
    std::size_t digits = 0;
    unsigned lastKept = 0;
    unsigned lastDoubled = 0;
};

// The character at `at` of a run: as read, or a byte as written.
Character runCharacter(std::string_view text, const DigitRun& run, std::size_t at) {
    return run.written ? Character{text[at], at + 1, 0} : readCharacter(text, at, run.span.end);
}

std::vector<DigitGroup> digitGroups(std::string_view text, const DigitRun& run) {
    std::vector<DigitGroup> groups(1);
    // Sums with the group's first, third... digit doubled, and with its second, fourth...
    unsigned evenDoubled = 0;
    unsigned oddDoubled = 0;
    const auto close = [&] {
        DigitGroup& group = groups.back();
        const bool evenCount = group.digits % 2 == 0;
        // The last digit is kept when the doubled ones are those an even count away from it.
        group.lastKept = evenCount ? evenDoubled : oddDoubled;
        group.lastDoubled = evenCount ? oddDoubled : evenDoubled;
        evenDoubled = oddDoubled = 0;
    };
    for (std::size_t at = run.span.begin; at < run.span.end;) {
        const Character read = runCharacter(text, run, at);
        at = read.end;
        if (!isDigit(read.c)) {
            close();
            groups.emplace_back();
            continue;
        }
        const unsigned digit = static_cast<unsigned>(read.c - '0');
        const unsigned doubled = digit * 2 > 9 ? digit * 2 - 9 : digit * 2;
        const bool even = groups.back().digits % 2 == 0;
        evenDoubled += even ? doubled : digit;
        oddDoubled += even ? digit : doubled;
        ++groups.back().digits;
    }
    close();
    return groups;
}

// The runs within `within` of at least as many digits as a card number has, single separators
// allowed between digits, reading characters with `next` (what the character at an offset stands
// for, and where the next one starts).
template <typename Next>
std::vector<DigitRun> digitRuns(Span within, Next&& next) {
    std::vector<DigitRun> runs;
    DigitRun run;
    bool afterSeparator = false;
    const auto finish = [&] {
        if (run.digits >= kShortestCardNumber) {
            runs.push_back(run);
        }
        run = {};
        afterSeparator = false;
    };
    for (std::size_t at = within.begin; at < within.end;) {
        const auto [c, end] = next(at);
        if (isDigit(c)) {
            run.span.begin = run.digits == 0 ? at : run.span.begin;
            run.span.end = end;
            run.separated = run.separated || afterSeparator;
            ++run.digits;
            afterSeparator = false;
        } else if (run.digits > 0 && !afterSeparator && isSeparator(c)) {
            afterSeparator = true;
        } else {
            finish();
        }
        at = end;
    }
    finish();
    return runs;
}

}  // namespace

std::pair<long, std::size_t> jsonEscape(std::string_view raw, std::size_t at) {
    if (raw[at + 1] == 'u') {
        return {hexDigits(raw, at + 2, raw.size(), 4), at + 6};
    }
    return {unescapedJson(raw[at + 1]), at + 2};
}

std::span<const CardMember> cardMembers() {
    return kCardMembers;
}

const CardMember* cardMemberNamed(std::string_view name) {
    const auto found =
        std::find_if(std::begin(kCardMembers), std::end(kCardMembers),
                     [&](const CardMember& m) { return sameIgnoringCase(name, m.name); });
    return found == std::end(kCardMembers) ? nullptr : found;
}

bool holdsCardData(const CardMember& member, std::string_view value) {
    // The value is read already: only a digit of another script is read further.
    std::size_t digits = 0;
    for (std::size_t at = 0; at < value.size() && digits < member.fewestDigits;) {
        const Character read = static_cast<unsigned char>(value[at]) >= 0xC2
                                   ? readWideCharacter(value, at, value.size())
                                   : Character{value[at], at + 1, 0};
        digits += isDigit(read.c) ? 1 : 0;
        at = read.end;
    }
    return digits >= member.fewestDigits;
}

char otherScriptDigit(long code) {
    // The zero of each run of ten decimal digits outside ASCII.
    static constexpr long kZeros[] = {
        0x0660,  0x06F0,  0x07C0,  0x0966,  0x09E6,  0x0A66,  0x0AE6,  0x0B66,  0x0BE6,  0x0C66,
        0x0CE6,  0x0D66,  0x0DE6,  0x0E50,  0x0ED0,  0x0F20,  0x1040,  0x1090,  0x17E0,  0x1810,
        0x1946,  0x19D0,  0x1A80,  0x1A90,  0x1B50,  0x1BB0,  0x1C40,  0x1C50,  0xA620,  0xA8D0,
        0xA900,  0xA9D0,  0xA9F0,  0xAA50,  0xABF0,  0xFF10,  0x104A0, 0x10D30, 0x11066, 0x110F0,
        0x11136, 0x111D0, 0x112F0, 0x11450, 0x114D0, 0x11650, 0x116C0, 0x11730, 0x118E0, 0x11950,
        0x11C50, 0x11D50, 0x11DA0, 0x11F50, 0x16A60, 0x16AC0, 0x16B50, 0x1D7CE, 0x1D7D8, 0x1D7E2,
        0x1D7EC, 0x1D7F6, 0x1E140, 0x1E2F0, 0x1E4F0, 0x1E950, 0x1FBF0};
    const long* zero = std::upper_bound(std::begin(kZeros), std::end(kZeros), code);
    if (zero == std::begin(kZeros) || code - *(zero - 1) > 9) {
        return '\0';
    }
    return static_cast<char>('0' + (code - *(zero - 1)));
}

Character readWideCharacter(std::string_view text, std::size_t at, std::size_t end) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    long code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = at + i < end ? static_cast<unsigned char>(text[at + i]) : 0;
        if ((byte & 0xC0) != 0x80) {
            return {text[at], at + 1, 0};
        }
        code = (code << 6) | (byte & 0x3F);
    }
    const char digit = otherScriptDigit(code);
    return digit != '\0' ? Character{digit, at + length, 0} : Character{text[at], at + 1, 0};
}

std::string maskedCardValue(std::string_view value, CardField field) {
    std::size_t visible = 0;
    if (field == CardField::number && value.size() >= kShortestCardNumber &&
        std::all_of(value.end() - 4, value.end(), isDigit)) {
        visible = 4;
    }
    std::string masked(value.size() - visible, '*');
    masked.append(value.substr(value.size() - visible));
    return masked;
}

std::string maskedAsJsonText(std::string_view value, CardField field, unsigned level) {
    const std::string mark = quotationMark(level);
    return mark + maskedCardValue(value, field) + mark;
}

platform::SecretText cardNumberDigits(std::string_view value) {
    platform::SecretText digits;
    digits.reserve(value.size());
    for (const char c : value) {
        if (isDigit(c)) {
            digits.append(std::string_view(&c, 1));
        }
    }
    return digits.size() >= kShortestCardNumber ? std::move(digits) : platform::SecretText();
}

Character readEscapedCharacter(std::string_view text, std::size_t at, std::size_t end) {
    if (text[at] == '%') {
        if (auto escape = percentEscape(text, at, end)) {
            return *escape;
        }
    } else if (text[at] == '&') {
        if (auto reference = htmlReference(text, at, end)) {
            return *reference;
        }
    } else if (text[at] == '\\') {
        return backslashEscape(text, at, end);
    }
    return {text[at], at + 1, 0};
}

platform::SecretText readCharacters(std::string_view text, Span within) {
    platform::SecretText out;
    out.reserve(within.size());
    for (std::size_t at = within.begin; at < within.end;) {
        const Character read = readCharacter(text, at, within.end);
        out.append(std::string_view(&read.c, 1));
        at = read.end;
    }
    return out;
}

bool holdsSpelling(std::string_view text, Spelling spelling) {
    const char lead = spelling == Spelling::percent ? '%' : '&';
    for (std::size_t at = text.find(lead); at != std::string_view::npos;
         at = text.find(lead, at + 1)) {
        if (readCharacter(text, at, text.size()).end > at + 1) {
            return true;
        }
    }
    return false;
}

void decodeSpelling(std::string_view raw, Spelling spelling, platform::SecretText& out,
                    std::vector<std::uint32_t>* starts) {
    // A decoded text is never longer than its escaped form, so the text never grows while written.
    out.reserve(out.size() + raw.size());
    if (starts != nullptr) {
        starts->reserve(raw.size() + 1);
    }
    for (std::size_t at = 0; at < raw.size();) {
        long code = static_cast<unsigned char>(raw[at]);
        std::size_t next = at + 1;
        if (spelling == Spelling::json && raw[at] == '\\') {
            std::tie(code, next) = jsonEscape(raw, at);
        } else if (spelling == Spelling::percent && raw[at] == '%' &&
                   hexDigits(raw, at + 1, raw.size(), 2) >= 0) {
            code = hexDigits(raw, at + 1, raw.size(), 2);
            next = at + 3;
        } else if (spelling == Spelling::html && raw[at] == '&') {
            if (const auto body = referenceBody(raw, at + 1, raw.size())) {
                std::tie(code, next) = *body;
            }
        }
        // A percent escape writes one byte; other escapes of a character outside ASCII read as
        // its digit when it is one, else as U+0080, which is neither structure, a name nor a
        // digit, and keeps the text UTF-8.
        const bool escaped = next > at + 1 && spelling != Spelling::percent && code >= 0x80;
        const char digit = escaped ? otherScriptDigit(code) : '\0';
        const bool wide = escaped && digit == '\0';
        const char byte = digit != '\0' ? digit : static_cast<char>(code);
        const std::string_view c = wide ? std::string_view("\xC2\x80") : std::string_view(&byte, 1);
        out.append(c);
        for (std::size_t i = 0; starts != nullptr && i < c.size(); ++i) {
            starts->push_back(static_cast<std::uint32_t>(at));
        }
        at = next;
    }
    if (starts != nullptr) {
        starts->push_back(static_cast<std::uint32_t>(raw.size()));
    }
}

std::vector<DigitRun> longDigitRuns(std::string_view text, Span within) {
    // Every digit read is written with a digit or starts a character outside ASCII, so fewer of
    // those than a card number has digits cannot read as one.
    const auto span = text.substr(within.begin, within.size());
    if (static_cast<std::size_t>(std::count_if(span.begin(), span.end(), [](char c) {
            return isDigit(c) || static_cast<unsigned char>(c) >= 0xC2;
        })) < kShortestCardNumber) {
        return {};
    }
    return digitRuns(within, [&](std::size_t at) {
        const Character read = readCharacter(text, at, within.end);
        return std::pair{read.c, read.end};
    });
}

std::vector<DigitRun> writtenDigitRuns(std::string_view text, Span within) {
    std::vector<DigitRun> runs = digitRuns(within, [&](std::size_t at) {
        return std::pair{text[at], at + 1};
    });
    // Each run grows to the characters its first and last digits belong to.
    std::size_t at = within.begin;
    for (DigitRun& run : runs) {
        Character read;
        while ((read = readCharacter(text, at, within.end)).end <= run.span.begin) {
            at = read.end;
        }
        run.span.begin = std::min(run.span.begin, at);
        while (at < run.span.end) {
            at = readCharacter(text, at, within.end).end;
        }
        run.span.end = at;
        run.written = true;
    }
    return runs;
}

std::string maskedDigitRun(std::string_view text, const DigitRun& run) {
    std::vector<Span> characters;
    for (std::size_t at = run.span.begin; at < run.span.end;) {
        const std::size_t end = readCharacter(text, at, run.span.end).end;
        characters.push_back({at, end});
        at = end;
    }
    // Separated groups may be a card number followed by its security code, so none of them stays.
    const bool keepsLastFour =
        !run.separated && run.digits <= kLongestCardNumber && characters.size() >= 4 &&
        std::all_of(characters.end() - 4, characters.end(),
                    [&](Span c) { return c.size() == 1 && isDigit(text[c.begin]); });
    std::string masked;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const std::string_view written = text.substr(characters[i].begin, characters[i].size());
        const bool separator = written.size() == 1 && isSeparator(written[0]);
        const bool kept = keepsLastFour && i + 4 >= characters.size();
        masked += separator || kept ? std::string(written) : std::string(1, '*');
    }
    return masked;
}

platform::SecretText runDigits(std::string_view text, const DigitRun& run) {
    platform::SecretText digits;
    digits.reserve(run.digits);
    for (std::size_t at = run.span.begin; at < run.span.end;) {
        const Character read = runCharacter(text, run, at);
        if (isDigit(read.c)) {
            digits.append(std::string_view(&read.c, 1));
        }
        at = read.end;
    }
    return digits;
}

bool holdsLuhnNumber(std::string_view text, const DigitRun& run) {
    const std::vector<DigitGroup> groups = digitGroups(text, run);
    for (std::size_t first = 0; first < groups.size(); ++first) {
        std::size_t digits = 0;
        // The window's sum as the Luhn check takes it, and the same with every doubling swapped.
        unsigned sum = 0;
        unsigned swapped = 0;
        for (std::size_t last = first; last < groups.size(); ++last) {
            digits += groups[last].digits;
            if (digits > kLongestCardNumber) {
                break;
            }
            // A group added at the end moves every earlier digit that many places from the end.
            if (groups[last].digits % 2 == 1) {
                std::swap(sum, swapped);
            }
            sum += groups[last].lastKept;
            swapped += groups[last].lastDoubled;
            if (digits >= kShortestLuhnNumber && sum % 10 == 0) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace vanto::detail
