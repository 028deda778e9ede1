#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vanto/platform/SecretText.h"

// What the trace masking knows of card data: which members carry it, how a value is masked, which
// runs of digits may be a card number, and the lenient scan for text that does not parse.
namespace vanto::detail {

enum class CardField {
    number,  // a card number: asterisks and its last four digits
    hidden,  // a security code or an expiry date: asterisks only
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
};

/// The members that carry card data in the gateway's messages and answers.
std::span<const CardMember> cardMembers();

/// The kind of card data a member named `name` carries, if any. Names compare without regard to
/// case: a writer that changes the case of a name still sends the card data.
std::optional<CardField> cardMemberNamed(std::string_view name);

/// `value` masked as `field`: a card number keeps its last four characters when it has a card
/// number's length and ends in four digits; everything else becomes asterisks, one per byte.
std::string maskedCardValue(std::string_view value, CardField field);

/// `value` masked as `field` and written as a JSON string that stands in a JSON text carried
/// `level` times as a text (0: in the body itself), so that a document stays readable JSON when a
/// card member held a number, an object or anything else.
std::string maskedAsJsonText(std::string_view value, CardField field, unsigned level);

/// The digits of `value` when they are as many as a card number has at least, else "".
platform::SecretText cardNumberDigits(std::string_view value);

/// A run of digits in which single spaces or dashes may stand between digits, the way
/// cardholders type card numbers.
struct DigitRun {
    Span span;
    std::size_t digits = 0;
    bool separated = false;
};

/// The runs of `text` within `within` that hold at least as many digits as a card number.
std::vector<DigitRun> longDigitRuns(std::string_view text, Span within);

/// `run` of `text` with its digits as asterisks; a run that reads as one card number (no
/// separators, at most nineteen digits) keeps its last four.
std::string maskedDigitRun(std::string_view text, const DigitRun& run);

/// Masks card data in a text that is not read as JSON (or a part of one that is not): the value
/// after every card member's name, however the name is spelled (quoted, escaped once or more,
/// with \u escapes, with whitespace), and every long digit run. Errs towards masking more.
void maskLeniently(std::string_view text, Span within, std::vector<Replacement>& out);

}  // namespace vanto::detail
