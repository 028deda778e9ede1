#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vanto/platform/SecretText.h"

// What the trace masking knows of card data: which members carry it, how a value is masked, how
// a text is read whatever escaping it went through, which runs of digits may be a card number,
// and the lenient scan for text that does not parse.
namespace vanto::detail {

constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// The code of the character that the escape at `at` of checked JSON string contents stands
/// for, and where the escape ends.
std::pair<long, std::size_t> jsonEscape(std::string_view raw, std::size_t at);

enum class CardField {
    number,   // a card number: asterisks and its last four digits
    hidden,   // a security code or an expiry date: asterisks only
    encoded,  // a payment result: Base64 of JSON that may carry card data of its own
};

/// A range of offsets [begin, end) in a text.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;

    std::size_t size() const { return end - begin; }
    bool operator==(const Span&) const = default;
};

/// What to print in place of a span of a text.
struct Replacement {
    Span span;
    std::string text;
};

struct CardMember {
    std::string_view name;
    CardField field;
    // For a name that is also an ordinary word (the sandbox form's fields): the fewest digits a
    // text value under it holds to be card data rather than a word or a reference.
    std::size_t fewestDigits = 0;
};

/// The members that carry card data in the gateway's messages and answers, the fields of the
/// sandbox page's card form, and the payment result of a return address.
std::span<const CardMember> cardMembers();

/// The card member named `name`, if any. Names compare without regard to case: a writer that
/// changes the case of a name still sends the card data.
const CardMember* cardMemberNamed(std::string_view name);

/// Whether a text or scalar `value` (as read) under `member` is card data: always under the
/// gateway's own names, and under an ordinary word only with the digits of the datum it names.
bool holdsCardData(const CardMember& member, std::string_view value);

/// `value` masked as `field`: a card number keeps its last four characters when it has a card
/// number's length and ends in four digits; everything else becomes asterisks, one per byte.
std::string maskedCardValue(std::string_view value, CardField field);

/// `value` masked as `field` and written as a JSON string that stands in a JSON text carried
/// `level` times as a text (0: in the body itself), so that a document stays readable JSON when a
/// card member held a number, an object or anything else.
std::string maskedAsJsonText(std::string_view value, CardField field, unsigned level);

/// The digits of `value` when they are as many as a card number has at least, else "".
platform::SecretText cardNumberDigits(std::string_view value);

/// One character of a text as a reader finally sees it, however it was escaped: JSON escapes
/// carried any number of times (a backslash run and what follows it), percent escapes ("%22",
/// also "%2522") and HTML character references ("&quot;", "&#34;", "&#x22;", also "&amp;quot;").
/// Reading a text character by character never splits an escape.
struct Character {
    // What it stands for; '\0' for an escape of a character outside ASCII.
    char c = '\0';
    // Where the next character starts.
    std::size_t end = 0;
    // For a quotation mark written with backslashes: the level of nesting at which it opens or
    // closes a string (0 for one in the text itself, 1 for one inside a JSON text carried as a
    // string, and so on). A quotation mark inside a string always reads one level deeper than the
    // string's own. Percent and HTML escapes are level 0.
    unsigned level = 0;

    bool isWhitespace() const {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\b' || c == '\f';
    }
    bool isQuote() const { return c == '"' || c == '\''; }
};

/// The character whose text starts at `at` with an escape ("\\", "%" or "&"), not reading past
/// `end`.
Character readEscapedCharacter(std::string_view text, std::size_t at, std::size_t end);

/// The digit ('0' to '9') that the code point `code` is in a script other than ASCII (fullwidth,
/// Arabic-Indic, Devanagari...), or '\0': card data are checked with such digits read as ASCII.
char otherScriptDigit(long code);

/// The character whose UTF-8 sequence starts at `at` (a lead byte): the digit it is when it is a
/// decimal digit of another script, read whole; else its first byte, as any byte reads.
Character readWideCharacter(std::string_view text, std::size_t at, std::size_t end);

/// The character whose text starts at `at`, not reading past `end`.
inline Character readCharacter(std::string_view text, std::size_t at, std::size_t end) {
    const char c = text[at];
    if (c == '\\' || c == '%' || c == '&') {
        return readEscapedCharacter(text, at, end);
    }
    return static_cast<unsigned char>(c) >= 0xC2 ? readWideCharacter(text, at, end)
                                                 : Character{c, at + 1, 0};
}

/// What the characters of `within` stand for, one byte each.
platform::SecretText readCharacters(std::string_view text, Span within);

/// A spelling a text may be carried in: the contents of a JSON string, or a whole text with
/// percent escapes or HTML character references.
enum class Spelling { json, percent, html };

/// Whether `text` holds an escape of `spelling` (percent or html).
bool holdsSpelling(std::string_view text, Spelling spelling);

/// `raw` with one level of `spelling`'s escapes decoded into `out`, and in `starts` (if given) for
/// each decoded byte where the escape that wrote it starts, with the end of `raw` last. An escape
/// of a digit of another script reads as its ASCII digit, of any other character outside ASCII as
/// U+0080: only names, digits and structure matter.
/// JSON contents must have been checked: every escape is whole.
void decodeSpelling(std::string_view raw, Spelling spelling, platform::SecretText& out,
                    std::vector<std::uint32_t>* starts = nullptr);

/// A run of digits in which single spaces, dashes or plus signs (spaces of a form) may stand
/// between digits, the way cardholders type card numbers.
struct DigitRun {
    Span span;
    std::size_t digits = 0;
    bool separated = false;
    // Found among the digits as written rather than as read.
    bool written = false;
};

/// The runs of `text` within `within` that hold at least as many digits as a card number, as a
/// reader sees them, escapes decoded.
std::vector<DigitRun> longDigitRuns(std::string_view text, Span within);

/// The same for the digits as they are written, escapes or not ("%1234...", "\u4000..."), each
/// run grown to whole characters so that masking it never splits an escape.
std::vector<DigitRun> writtenDigitRuns(std::string_view text, Span within);

/// `run` of `text` with each character that holds a digit as an asterisk, however it is
/// written; a run that reads as one card number (no separators, at most nineteen digits) keeps its
/// last four plain digits.
std::string maskedDigitRun(std::string_view text, const DigitRun& run);

/// The digits of `run`, as read or as written as it was found.
platform::SecretText runDigits(std::string_view text, const DigitRun& run);

/// Whether `run` holds a card number by the Luhn check: its digits, or those of consecutive
/// groups of it, 13 to 19 of them.
bool holdsLuhnNumber(std::string_view text, const DigitRun& run);

/// What the lenient scan found besides its replacements.
struct LenientFindings {
    std::vector<Replacement> replacements;
    /// The digits of the card numbers found after a name.
    std::vector<platform::SecretText> cardNumbers;
    /// The values of payment results, Base64 of JSON, to be read and masked.
    std::vector<Span> encodedValues;
};

/// Masks the value after every card member's name in `within`, however the name is spelled
/// (quoted, escaped once or more, with \u, percent or HTML escapes, in single quotes, as a form
/// field, an XML element or attribute), and every value after it up to the next member's name.
void maskValuesAfterNames(std::string_view text, Span within, LenientFindings& found);

/// Masks card data in a text that is not read as JSON (or a part of one that is not): the values
/// after names as above and every long digit run as read or as written. Errs towards masking more.
void maskLeniently(std::string_view text, Span within, LenientFindings& found);

}  // namespace vanto::detail
