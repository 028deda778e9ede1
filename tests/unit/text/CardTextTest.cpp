#include "vanto/text/CardText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>

namespace vanto {
namespace {

using namespace std::chrono;
using namespace std::string_literals;

TEST(CardTextLuhn, NeedsOnlyDecimalDigitsWithANonZeroSumThatIsAMultipleOfTen) {
    const std::string zeros(100000, '0');
    for (const std::string& valid : {"79927398713"s, "4111111111111111"s,
                                     "18"s,  // 1 doubled is 2, plus 8 is 10
                                     "91"s,  // a doubled 9 adds 9, not 0
                                     "59"s,  // a doubled 5 adds 1
                                     "000018"s, zeros + "18"}) {
        EXPECT_TRUE(lunhsTest(valid)) << valid.substr(0, 20);
    }
    for (const std::string& invalid :
         {zeros + "19", "79927398710"s, "4111111111111112"s,
          "81"s,  // the doubling starts at the second digit from the right
          "0"s, "0000"s, ""s, "4242 4242"s, "7992739871a"s, "-18"s, "1"s + '\0' + "8",
          "\xEF\xBC\x91\xEF\xBC\x98"s /* full-width one and eight */, "\xFF"s}) {
        EXPECT_FALSE(lunhsTest(invalid)) << ::testing::PrintToString(invalid.substr(0, 20));
    }
}

constexpr year_month_day kMarch15 = 2026y / March / 15;

TEST(CardTextExpiry, AcceptsTheCurrentAndLaterMonthsOnAnyDayOfTheMonth) {
    for (const auto today : {2026y / March / 1, kMarch15, 2026y / March / 31}) {
        for (const char* later : {"03/26", "04/26", "12/26", "01/27", "02/27", "12/45"}) {
            EXPECT_TRUE(expireDateIsCorrect(later, today)) << later;
        }
        for (const char* past : {"02/26", "01/26", "12/25", "03/25", "12/00", "12/99"}) {
            EXPECT_FALSE(expireDateIsCorrect(past, today)) << past;
        }
    }
}

TEST(CardTextExpiry, RejectsTextsThatAreNotMonthSlashTwoDigitYear) {
    for (const char* text :
         {"13/26", "00/27", "0326", "3/26", "03/2026", "03-26", " 03/26", "0a/26", "03/2a", ""}) {
        EXPECT_FALSE(expireDateIsCorrect(text, kMarch15)) << text;
    }
    EXPECT_FALSE(expireDateIsCorrect("03/26", 2026y / February / 30));
}

TEST(CardTextExpiry, PlacesTwoDigitYearsFrom80YearsBackTo20YearsAheadAndTurnsTheYear) {
    const struct {
        const char* text;
        year_month_day today;
        bool valid;
    } cases[] = {
        // The window starts in March 1946: 45 is read as 2045 and 46 as 1946, except for the
        // months of 1946 that had already begun, which are read as 2046.
        {"12/45", kMarch15, true},
        {"12/46", kMarch15, false},
        {"04/46", kMarch15, false},
        {"03/46", kMarch15, true},
        {"02/46", kMarch15, true},
        {"01/47", kMarch15, false},
        // A century boundary inside the window: in 2085 the window runs from 2005 to 2105.
        {"01/04", 2085y / June / 10, true},
        {"12/06", 2085y / June / 10, false},
        {"12/26", 2026y / December / 31, true},
        {"11/26", 2026y / December / 31, false},
        {"01/27", 2026y / December / 31, true},
        {"01/27", 2027y / January / 1, true},
        {"12/26", 2027y / January / 1, false},
    };
    for (const auto& [text, today, valid] : cases) {
        EXPECT_EQ(expireDateIsCorrect(text, today), valid)
            << text << " in " << static_cast<unsigned>(today.month()) << "/"
            << static_cast<int>(today.year());
    }
}

TEST(CardTextExpiry, CurrentMonthAndYearTextsDescribeTodayInTheLocalCalendar) {
    const std::string month = getCurrentMonth();
    const std::string year = getCurrentYeah();
    ASSERT_EQ(month.size(), 2u);
    ASSERT_EQ(year.size(), 2u);
    const int monthValue = std::stoi(month);
    const int yearValue = std::stoi(year);
    ASSERT_TRUE(monthValue >= 1 && monthValue <= 12) << month;
    const auto twoDigits = [](int n) {
        return std::string{char('0' + n / 10), char('0' + n % 10)};
    };
    const int previousMonth = monthValue == 1 ? 12 : monthValue - 1;
    const int previousYear = monthValue == 1 ? (yearValue + 99) % 100 : yearValue;
    EXPECT_EQ(twoDigits(yearValue), year);
    EXPECT_TRUE(expireDateIsCorrect(month + "/" + year));
    EXPECT_FALSE(expireDateIsCorrect(twoDigits(previousMonth) + "/" + twoDigits(previousYear)));
    EXPECT_TRUE(expireDateIsCorrect(month + "/" + twoDigits((yearValue + 1) % 100)));
}

TEST(CardTextGrouping, RegroupsCodePointsFromScratchAroundAnySeparator) {
    const std::string dash = "\xE2\x80\x93";  // a separator of three bytes
    const struct {
        std::string text;
        int every;
        std::string with;
        std::string grouped;
    } cases[] = {
        {"1234567890123456", 4, " ", "1234 5678 9012 3456"},
        {"1234", 4, " ", "1234"},
        {"123", 1, "-", "1-2-3"},
        {"", 4, " ", ""},
        {"1234 56789", 4, " ", "1234 5678 9"},
        {"12 34567", 4, " ", "1234 567"},
        {"12/", 2, "/", "12"},
        {"1/2/2/5", 2, "/", "12/25"},
        {"   ", 4, " ", ""},
        // Only the separator is removed; other characters count as characters.
        {"12-34 5", 4, " ", "12-3 45"},
        {"1234" + dash + "5678", 2, dash, "12" + dash + "34" + dash + "56" + dash + "78"},
        {"12--3456", 3, "--", "123--456"},
        {"\xC3\xB1\xC3\xB1\xC3\xB1", 2, "-", "\xC3\xB1\xC3\xB1-\xC3\xB1"},
        {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 2, " ",
         "\xF0\x9F\x98\x80\xF0\x9F\x98\x80 \xF0\x9F\x98\x80"},
        // Code points, not user-perceived characters: an e with a combining accent is two.
        {"e\xCC\x81"
         "e\xCC\x81",
         2, " ", "e\xCC\x81 e\xCC\x81"},
        // A byte that does not start a well-formed sequence is one character.
        {"\xFF\xFF\xFF", 2, " ", "\xFF\xFF \xFF"},
        {"12\xE2\x82", 2, " ", "12 \xE2\x82"},
        // Group sizes below one or an empty separator leave the text as it is.
        {"12 34", 0, " ", "12 34"},
        {"12 34", -1, " ", "12 34"},
        {"1234", -2147483647 - 1, " ", "1234"},
        {"123456", 2, "", "123456"},
        {"12345", 2147483647, " ", "12345"},
    };
    for (const auto& [text, every, with, grouped] : cases) {
        EXPECT_EQ(grouping(text, every, with), grouped)
            << ::testing::PrintToString(text) << " by " << every;
    }
}

TEST(CardTextFormatToFloat, ReadsExactlyOneNumberWithEitherDecimalMark) {
    const std::pair<const char*, float> read[] = {{"1.234,56", 1234.56f},
                                                  {"12,5", 12.5f},
                                                  {"12.5", 12.5f},
                                                  {"1,234.56", 1.23456f},
                                                  {"0,99", 0.99f},
                                                  {"1.000", 1.0f},
                                                  {"1.000.000,5", 1000000.5f},
                                                  {"-3,5", -3.5f},
                                                  {"+2", 2.0f},
                                                  {"7", 7.0f},
                                                  {",5", 0.5f},
                                                  {"5,", 5.0f},
                                                  {"1e3", 1000.0f},
                                                  {"2,5E-1", 0.25f},
                                                  {"3e38", 3e38f}};
    for (const auto& [text, value] : read) {
        const auto number = formatToFloat(text);
        ASSERT_TRUE(number) << text;
        EXPECT_FLOAT_EQ(*number, value) << text;
    }
    // Nothing outside the range of float either: no infinity, no zero for a tiny value.
    for (const std::string& text :
         {""s, "1,234,567"s, "1.2.3"s, " 1"s, "1 "s, "12abc"s, "1e"s, "."s, "+"s, "+-2"s, "--2"s,
          "0x10"s, "12\xE2\x82\xAC"s, "1\0"s, "infinit"s, "1e39"s, "-1e39"s, std::string(60, '9'),
          "1e-50"s}) {
        EXPECT_FALSE(formatToFloat(text)) << ::testing::PrintToString(text);
    }
}

TEST(CardTextFormatToFloat, ReadsInfinityAndNaN) {
    const auto inf = formatToFloat("inf");
    const auto negativeInfinity = formatToFloat("-Infinity");
    const auto nan = formatToFloat("nan");
    ASSERT_TRUE(inf && negativeInfinity && nan);
    EXPECT_TRUE(std::isinf(*inf) && *inf > 0.0f);
    EXPECT_TRUE(std::isinf(*negativeInfinity) && *negativeInfinity < 0.0f);
    EXPECT_TRUE(std::isnan(*nan));
}

}  // namespace
}  // namespace vanto
