#include "vanto/text/CardText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <string>

namespace vanto {
namespace {

using namespace std::chrono;

TEST(CardTextLuhn, NeedsANonZeroSumThatIsAMultipleOfTenWhateverTheLength) {
    EXPECT_TRUE(lunhsTest("79927398713"));
    EXPECT_TRUE(lunhsTest("4111111111111111"));
    EXPECT_TRUE(lunhsTest("18"));  // 1 doubled is 2, plus 8 is 10
    EXPECT_TRUE(lunhsTest("91"));  // a doubled 9 adds 9, not 0
    EXPECT_TRUE(lunhsTest("59"));  // a doubled 5 adds 1
    EXPECT_TRUE(lunhsTest("000018"));
    EXPECT_TRUE(lunhsTest(std::string(100000, '0') + "18"));
    EXPECT_FALSE(lunhsTest(std::string(100000, '0') + "19"));
    EXPECT_FALSE(lunhsTest("79927398710"));
    EXPECT_FALSE(lunhsTest("4111111111111112"));
    EXPECT_FALSE(lunhsTest("81"));  // the doubling starts at the second digit from the right
    EXPECT_FALSE(lunhsTest("0"));
    EXPECT_FALSE(lunhsTest("0000"));
    EXPECT_FALSE(lunhsTest(""));
}

TEST(CardTextLuhn, RejectsAnyCharacterThatIsNotADecimalDigit) {
    EXPECT_FALSE(lunhsTest("4242 4242"));
    EXPECT_FALSE(lunhsTest("7992739871a"));
    EXPECT_FALSE(lunhsTest("-18"));
    EXPECT_FALSE(
        lunhsTest(std::string("1\0"
                              "8",
                              3)));
    EXPECT_FALSE(lunhsTest("\xEF\xBC\x91\xEF\xBC\x98"));  // full-width digits one and eight
    EXPECT_FALSE(lunhsTest("\xFF"));
}

constexpr year_month_day kMarch1 = 2026y / March / 1;
constexpr year_month_day kMarch15 = 2026y / March / 15;
constexpr year_month_day kMarch31 = 2026y / March / 31;

TEST(CardTextExpiry, AcceptsTheCurrentAndLaterMonthsOnAnyDayOfMarch2026) {
    for (const auto today : {kMarch1, kMarch15, kMarch31}) {
        for (const char* later : {"03/26", "04/26", "12/26", "01/27", "02/27", "12/45"}) {
            EXPECT_TRUE(expireDateIsCorrect(later, today)) << later;
        }
        for (const char* past : {"02/26", "01/26", "12/25", "03/25", "12/00", "12/99"}) {
            EXPECT_FALSE(expireDateIsCorrect(past, today)) << past;
        }
    }
}

TEST(CardTextExpiry, RejectsTextsThatAreNotMonthSlashTwoDigitYear) {
    EXPECT_FALSE(expireDateIsCorrect("13/26", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("00/27", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("0326", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("3/26", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("03/2026", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("03-26", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect(" 03/26", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("0a/26", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("03/2a", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("03/26", 2026y / February / 30));
}

TEST(CardTextExpiry, PlacesTwoDigitYearsFrom80YearsBackTo20YearsAhead) {
    // The window starts in March 1946: 45 is read as 2045 and 46 as 1946, except for the months
    // of 1946 that had already begun, which are read as 2046.
    EXPECT_TRUE(expireDateIsCorrect("12/45", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("12/46", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("04/46", kMarch15));
    EXPECT_TRUE(expireDateIsCorrect("03/46", kMarch15));
    EXPECT_TRUE(expireDateIsCorrect("02/46", kMarch15));
    EXPECT_FALSE(expireDateIsCorrect("01/47", kMarch15));
    // A century boundary inside the window: in 2085 the window runs from 2005 to 2105.
    EXPECT_TRUE(expireDateIsCorrect("01/04", 2085y / June / 10));
    EXPECT_FALSE(expireDateIsCorrect("12/06", 2085y / June / 10));
}

TEST(CardTextExpiry, ComparesAcrossTheTurnOfTheYear) {
    EXPECT_TRUE(expireDateIsCorrect("12/26", 2026y / December / 31));
    EXPECT_FALSE(expireDateIsCorrect("11/26", 2026y / December / 31));
    EXPECT_TRUE(expireDateIsCorrect("01/27", 2026y / December / 31));
    EXPECT_TRUE(expireDateIsCorrect("01/27", 2027y / January / 1));
    EXPECT_FALSE(expireDateIsCorrect("12/26", 2027y / January / 1));
}

TEST(CardTextExpiry, CurrentMonthAndYearTextsDescribeTodayInTheLocalCalendar) {
    const std::string month = getCurrentMonth();
    const std::string year = getCurrentYeah();
    ASSERT_EQ(month.size(), 2u);
    ASSERT_EQ(year.size(), 2u);
    const int monthValue = std::stoi(month);
    EXPECT_GE(monthValue, 1);
    EXPECT_LE(monthValue, 12);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(year[0])));
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(year[1])));

    EXPECT_TRUE(expireDateIsCorrect(month + "/" + year));
    const int yearValue = std::stoi(year);
    const int previousMonth = monthValue == 1 ? 12 : monthValue - 1;
    const int previousYear = monthValue == 1 ? (yearValue + 99) % 100 : yearValue;
    const auto twoDigits = [](int n) {
        return std::string{char('0' + n / 10), char('0' + n % 10)};
    };
    EXPECT_FALSE(expireDateIsCorrect(twoDigits(previousMonth) + "/" + twoDigits(previousYear)));
    EXPECT_TRUE(expireDateIsCorrect(month + "/" + twoDigits((yearValue + 1) % 100)));
}

TEST(CardTextGrouping, RegroupsDigitsForDisplayFromScratch) {
    EXPECT_EQ(grouping("1234567890123456", 4, " "), "1234 5678 9012 3456");
    EXPECT_EQ(grouping("1234", 4, " "), "1234");
    EXPECT_EQ(grouping("1225", 2, "/"), "12/25");
    EXPECT_EQ(grouping("123", 1, "-"), "1-2-3");
    EXPECT_EQ(grouping("", 4, " "), "");
    EXPECT_EQ(grouping("1234 56789", 4, " "), "1234 5678 9");
    EXPECT_EQ(grouping("12 34567", 4, " "), "1234 567");
    EXPECT_EQ(grouping("12/", 2, "/"), "12");
    EXPECT_EQ(grouping("1/2/2/5", 2, "/"), "12/25");
    EXPECT_EQ(grouping("   ", 4, " "), "");
    // Only the separator is removed; other characters count as characters.
    EXPECT_EQ(grouping("12-34 5", 4, " "), "12-3 45");
}

TEST(CardTextGrouping, CountsCodePointsAndTakesMultiByteSeparators) {
    EXPECT_EQ(grouping("12345678", 4, "\xE2\x80\x93"),
              "1234\xE2\x80\x93"
              "5678");
    EXPECT_EQ(grouping("1234\xE2\x80\x93"
                       "5678",
                       2, "\xE2\x80\x93"),
              "12\xE2\x80\x93"
              "34\xE2\x80\x93"
              "56\xE2\x80\x93"
              "78");
    EXPECT_EQ(grouping("123456", 2, "--"), "12--34--56");
    EXPECT_EQ(grouping("12--3456", 3, "--"), "123--456");
    EXPECT_EQ(grouping("\xC3\xB1\xC3\xB1\xC3\xB1\xC3\xB1\xC3\xB1", 2, "-"),
              "\xC3\xB1\xC3\xB1-\xC3\xB1\xC3\xB1-\xC3\xB1");
    EXPECT_EQ(grouping("\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 2, " "),
              "\xF0\x9F\x98\x80\xF0\x9F\x98\x80 \xF0\x9F\x98\x80");
    // Code points, not user-perceived characters: an e with a combining acute accent is two.
    EXPECT_EQ(grouping("e\xCC\x81"
                       "e\xCC\x81",
                       2, " "),
              "e\xCC\x81 e\xCC\x81");
    // A byte that does not start a well-formed sequence is one character.
    EXPECT_EQ(grouping("\xFF\xFF\xFF", 2, " "), "\xFF\xFF \xFF");
    EXPECT_EQ(grouping("12\xE2\x82", 2, " "), "12 \xE2\x82");
    EXPECT_EQ(grouping("\xC3", 1, " "), "\xC3");
}

TEST(CardTextGrouping, LeavesTextUnchangedForGroupSizesBelowOneOrAnEmptySeparator) {
    EXPECT_EQ(grouping("12 34", 0, " "), "12 34");
    EXPECT_EQ(grouping("12 34", -1, " "), "12 34");
    EXPECT_EQ(grouping("1234", -2147483647 - 1, " "), "1234");
    EXPECT_EQ(grouping("123456", 2, ""), "123456");
    EXPECT_EQ(grouping("12345", 2147483647, " "), "12345");
}

TEST(CardTextFormatToFloat, ReadsEitherDecimalMark) {
    const auto expectFloat = [](const char* text, float expected) {
        const auto value = formatToFloat(text);
        ASSERT_TRUE(value.has_value()) << text;
        EXPECT_FLOAT_EQ(*value, expected) << text;
    };
    expectFloat("1.234,56", 1234.56f);
    expectFloat("12,5", 12.5f);
    expectFloat("12.5", 12.5f);
    expectFloat("1,234.56", 1.23456f);
    expectFloat("0,99", 0.99f);
    expectFloat("1.000", 1.0f);
    expectFloat("1.000.000,5", 1000000.5f);
    expectFloat("-3,5", -3.5f);
    expectFloat("+2", 2.0f);
    expectFloat("7", 7.0f);
    expectFloat(",5", 0.5f);
    expectFloat("5,", 5.0f);
    expectFloat("1e3", 1000.0f);
    expectFloat("2,5E-1", 0.25f);
}

TEST(CardTextFormatToFloat, RejectsTextThatIsNotExactlyOneNumber) {
    EXPECT_FALSE(formatToFloat(""));
    EXPECT_FALSE(formatToFloat("1,234,567"));
    EXPECT_FALSE(formatToFloat("1.2.3"));
    EXPECT_FALSE(formatToFloat(" 1"));
    EXPECT_FALSE(formatToFloat("1 "));
    EXPECT_FALSE(formatToFloat("12abc"));
    EXPECT_FALSE(formatToFloat("1e"));
    EXPECT_FALSE(formatToFloat("."));
    EXPECT_FALSE(formatToFloat("+"));
    EXPECT_FALSE(formatToFloat("+-2"));
    EXPECT_FALSE(formatToFloat("--2"));
    EXPECT_FALSE(formatToFloat("0x10"));
    EXPECT_FALSE(formatToFloat("12\xE2\x82\xAC"));
    EXPECT_FALSE(formatToFloat(std::string("1\0", 2)));
}

TEST(CardTextFormatToFloat, GivesNothingOutsideTheRangeOfFloatButReadsInfinityAndNaN) {
    EXPECT_FALSE(formatToFloat("1e39"));
    EXPECT_FALSE(formatToFloat("-1e39"));
    EXPECT_FALSE(formatToFloat(std::string(60, '9')));
    EXPECT_FALSE(formatToFloat("1e-50"));
    EXPECT_TRUE(formatToFloat("3e38"));

    const auto inf = formatToFloat("inf");
    ASSERT_TRUE(inf);
    EXPECT_TRUE(std::isinf(*inf) && *inf > 0.0f);
    const auto negativeInfinity = formatToFloat("-Infinity");
    ASSERT_TRUE(negativeInfinity);
    EXPECT_TRUE(std::isinf(*negativeInfinity) && *negativeInfinity < 0.0f);
    const auto nan = formatToFloat("nan");
    ASSERT_TRUE(nan);
    EXPECT_TRUE(std::isnan(*nan));
    EXPECT_FALSE(formatToFloat("infinit"));
}

}  // namespace
}  // namespace vanto
