#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/platform/SecretText.h"

namespace vanto {

/// The Luhn check-digit test of a card number. True when every character is a decimal digit
/// '0'-'9' and the Luhn sum is a non-zero multiple of ten. Any other character (group separators
/// included, so callers remove them first) and the empty text give false. No length rule applies.
VANTO_EXPORT bool lunhsTest(std::string_view text);

/// Whether `text` is an expiry date "MM/yy" whose month has not passed yet in the local calendar.
/// The current month is accepted; a text that is not exactly two digits, '/', two digits with a
/// month 01-12 gives false.
VANTO_EXPORT bool expireDateIsCorrect(std::string_view text);

/// The same test against a given day, so that the rule can be checked for any date. The two-digit
/// year is placed in the window from 80 years before `today` to 20 years after it, the way a date
/// formatter reads a two-digit year. An invalid `today` gives false.
VANTO_EXPORT bool expireDateIsCorrect(std::string_view text, std::chrono::year_month_day today);

/// Regroups `text` for display: every occurrence of the separator `with` is removed, then `with`
/// is put before each group of `every` characters except the first ("1234567" with 4 and " "
/// gives "1234 567"). Characters are Unicode code points, not user-perceived characters: a letter
/// followed by a combining accent counts as two (the library groups digits only, for which the two
/// agree). A byte that does not start a well-formed UTF-8 sequence counts as one character. A
/// group size below 1 returns the text unchanged.
VANTO_EXPORT std::string grouping(std::string_view text, int every, std::string_view with);

/// grouping() of card data: the result is secret text, and so is every copy made on the way.
VANTO_EXPORT platform::SecretText grouping(const platform::SecretText& text, int every,
                                           std::string_view with);

/// Reads an amount typed with either decimal mark. When the text holds both "." and ",", the "."
/// is a thousands separator and is dropped and the "," is the decimal mark; otherwise a ","
/// is read as ".". The whole text must then be one number: an optional sign, digits with at most
/// one ".", an optional exponent, or an infinity or not-a-number form; no spaces. Anything else
/// and the empty text give no result. So does, deliberately, a value outside the range of float:
/// one too large for it (1e39) does not become infinity, nor one too small (1e-50) zero, since an
/// amount read as either would not be the amount typed.
VANTO_EXPORT std::optional<float> formatToFloat(std::string_view text);

/// The current month of the local calendar as two digits, "01" to "12".
VANTO_EXPORT std::string getCurrentMonth();

/// The last two digits of the current year of the local calendar, for example "26" in 2026.
VANTO_EXPORT std::string getCurrentYeah();

/// An amount in currency units converted to hundredths: times 100, to the nearest whole number
/// with halves away from zero (19.99 → 1999, 0.105 → 11, -1.5 → -150). None for a value that is
/// not finite or whose hundredths do not fit a signed 64-bit integer.
VANTO_EXPORT std::optional<std::int64_t> amountInHundredths(double amount);

/// The hundredths of amountInHundredths() as decimal digits, "-" first only when negative.
VANTO_EXPORT std::optional<std::string> amountText(double amount);

/// An amount exactly as it is charged: whole hundredths of the currency unit (1999 is 19.99),
/// made from an integer or from decimal text without floating-point arithmetic. The screens'
/// create() and setAmount() take one besides a double and charge exactly its hundredths.
class VANTO_EXPORT Amount {
  public:
    /// Why a text is no amount.
    enum class Problem {
        notPlainDigits,   ///< not digits with at most one '.', an optional sign first
        tooManyDecimals,  ///< a third decimal that is not zero: "19.999"
        tooLarge,         ///< hundredths beyond what a payment carries exactly (see fromHundredths)
    };

    /// None for hundredths whose amount in currency units a double does not hold closely enough
    /// to give them back (beyond about ±2^51, some 22 trillion units).
    static std::optional<Amount> fromHundredths(std::int64_t hundredths);
    /// An amount as a person writes one: "19.99", "19.9", "19", ".5", "-5.00", "+3"; zeros past
    /// the second decimal change nothing ("1.500"). No spaces, thousands separators, exponents or
    /// infinities. Sets `problem`, when given, for a text that is none.
    static std::optional<Amount> fromText(std::string_view text, Problem* problem = nullptr);

    std::int64_t hundredths() const { return hundredths_; }
    /// In currency units, as the calls that take a double take it: amountInHundredths() of it is
    /// hundredths() again.
    double units() const { return static_cast<double>(hundredths_) / 100.0; }

    friend bool operator==(Amount, Amount) = default;

  private:
    explicit Amount(std::int64_t hundredths) : hundredths_(hundredths) {}
    std::int64_t hundredths_;
};

}  // namespace vanto
