// The text helpers: their cases are rows of tests/data/text-cases.txt, read by one runner; what
// is not a row (today's date, code points no text reaches) stays here.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "TestSupport.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/text/CardText.h"
#include "vanto/text/UrlText.h"
#include "vanto/text/Utf8.h"

namespace vanto {
namespace {

using namespace std::chrono;
using testing::Field;

std::chrono::year_month_day dateOf(const std::string& text) {
    int y = 0;
    unsigned m = 0;
    unsigned d = 0;
    EXPECT_EQ(std::sscanf(text.c_str(), "%d-%u-%u", &y, &m, &d), 3) << text;
    return year{y} / month{m} / day{d};
}

void checkRow(const std::vector<Field>& row) {
    const std::string& helper = *row.at(0);
    const std::string& text = row.at(1).value_or("");
    const Field& expected = row.back();
    SCOPED_TRACE(helper + " " + ::testing::PrintToString(text));
    if (helper == "luhn") {
        EXPECT_EQ(lunhsTest(text), expected == "yes");
    } else if (helper == "expiry") {
        EXPECT_EQ(expireDateIsCorrect(text, dateOf(*row.at(2))), expected == "yes") << *row[2];
    } else if (helper == "grouping") {
        EXPECT_EQ(grouping(text, std::stoi(*row.at(2)), *row.at(3)), expected) << *row[2];
    } else if (helper == "float") {
        const auto number = formatToFloat(text);
        ASSERT_EQ(number.has_value(), expected.has_value());
        if (expected == "nan") {
            EXPECT_TRUE(std::isnan(*number));
        } else if (expected) {
            EXPECT_FLOAT_EQ(*number, std::stof(*expected));
        }
    } else if (helper == "utf8") {
        // A well-formed sequence is measured with a character after it, an ill-formed one alone.
        const std::size_t length = expected ? std::stoul(*expected) : 0;
        EXPECT_EQ(utf8SequenceLength(expected ? text + "z" : text, 0), length);
        EXPECT_EQ(isValidUtf8(text), expected.has_value());
    } else if (helper == "utf8at") {
        const std::size_t offset = std::stoul(*row.at(2));
        EXPECT_EQ(utf8SequenceLength(text, offset), std::stoul(*row.at(3))) << offset;
        EXPECT_EQ(utf8CharacterLength(text, offset), std::stoul(*expected)) << offset;
    } else if (helper == "utf8walk") {
        std::size_t characters = 0;
        for (std::size_t at = 0; at < text.size() && characters <= text.size();
             at += utf8CharacterLength(text, at)) {
            ++characters;
        }
        EXPECT_EQ(characters, std::stoul(*expected));
    } else if (helper == "utf8text") {
        EXPECT_EQ(isValidUtf8(text), expected == "yes");
    } else if (helper == "base64") {
        EXPECT_EQ(base64Encode(text), expected);
        EXPECT_EQ(base64Decode(*expected), text);
    } else if (helper == "decode") {
        EXPECT_EQ(base64Decode(text), expected);
    } else if (helper == "parsejson") {
        EXPECT_EQ(parseJsonString(text), expected);
    } else if (helper == "percent") {
        EXPECT_EQ(safeAddingPercentEncoding(text, rfc3986Unreserved()), expected);
    } else if (helper == "charset") {
        EXPECT_EQ(safeAddingPercentEncoding(*row.at(2), CharacterSet{text}), expected);
    } else if (helper == "params") {
        VantoConfiguration::shared().setAppURLKO(text);
        std::map<std::string, std::string> params;
        for (std::size_t key = 3; key + 1 < row.size(); key += 2) {
            params[*row[key]] = *row[key + 1];
        }
        EXPECT_EQ(getUrlParams(*row.at(2)), params) << *row[2];
    } else if (helper == "amount") {
        Amount::Problem problem{};
        const auto amount = Amount::fromText(text, &problem);
        const auto problems = {std::pair{Amount::Problem::notPlainDigits, "notPlainDigits"},
                               std::pair{Amount::Problem::tooManyDecimals, "tooManyDecimals"},
                               std::pair{Amount::Problem::tooLarge, "tooLarge"}};
        for (const auto& [kind, name] : problems) {
            EXPECT_EQ(!amount && problem == kind, expected == name);
        }
        if (amount) {
            EXPECT_EQ(std::to_string(amount->hundredths()), expected);
            EXPECT_EQ(amountInHundredths(amount->units()), amount->hundredths());
        }
    } else {
        ADD_FAILURE() << "no such helper";
    }
}

using TextHelpers = testing::ConfiguredTest;

TEST_F(TextHelpers, AnswerEveryRowOfTheirTable) {
    const auto rows = testing::readTestRows("text-cases.txt");
    EXPECT_GT(rows.size(), 200u);
    for (const auto& row : rows) {
        checkRow(row);
    }
    // A card number of any length, longer than a row would hold.
    const std::string zeros(100000, '0');
    EXPECT_TRUE(lunhsTest(zeros + "18"));
    EXPECT_FALSE(lunhsTest(zeros + "19"));
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

// Code points past a byte, which no text reaches.
TEST(UrlTextCharacterSet, HoldsNoCodePointOutsideAscii) {
    const CharacterSet set{"a"};
    EXPECT_FALSE(set.contains(U'a' + 256));
    EXPECT_FALSE(set.contains(0xFFFFFFFF));
}

}  // namespace
}  // namespace vanto
