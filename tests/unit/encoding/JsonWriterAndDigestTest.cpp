#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/encoding/Sha256.h"
#include "vanto/text/Amount.h"

namespace vanto {
namespace {

std::string escaped(std::string_view text) {
    std::string out;
    EXPECT_TRUE(appendJsonEscaped(out, text));
    return out;
}

TEST(RequestEncoding, AnswersEveryRowOfItsTable) {
    for (const auto& row : testing::readTestRows("encoding-cases.txt")) {
        const std::string& kind = *row.at(0);
        const std::string& text = *row.at(1);
        const auto& expected = row.at(2);
        SCOPED_TRACE(kind + " " + ::testing::PrintToString(text));
        if (kind == "escape") {
            std::string out;
            EXPECT_EQ(appendJsonEscaped(out, text) ? std::optional(out) : std::nullopt, expected);
        } else if (kind == "name") {
            const auto name = JsonWriter::Name::checked(text);
            EXPECT_EQ(name ? std::optional(std::string(name->view())) : std::nullopt, expected);
        } else if (kind == "amount") {
            const double amount = std::stod(text);
            EXPECT_EQ(amountText(amount), expected);
            EXPECT_EQ(amountInHundredths(amount),
                      expected ? std::optional(std::stoll(*expected)) : std::nullopt);
        } else {
            ADD_FAILURE() << "no such case";
        }
    }
}

TEST(JsonEscaping, FindsASpecialByteAtAnyPositionOfALongText) {
    // Plain text is skipped a word at a time; a byte needing care must be caught wherever it falls.
    const std::pair<std::string, std::string> specials[] = {{"/", R"(\/)"},  {"\"", R"(\")"},
                                                            {"\\", R"(\\)"}, {"\x1f", R"(\u001f)"},
                                                            {"\n", R"(\n)"}, {"ñ", "ñ"}};
    for (const auto& [special, expected] : specials) {
        for (std::size_t at = 0; at <= 24; ++at) {
            std::string text(24, 'a');
            text.insert(at, special);
            std::string wanted(24, 'a');
            wanted.insert(at, expected);
            EXPECT_EQ(escaped(text), wanted) << "at " << at;
        }
    }
}

TEST(JsonWriter, WritesNestedObjectsCompactlyInGivenOrder) {
    for (const auto sensitive : {JsonWriter::Sensitive::no, JsonWriter::Sensitive::yes}) {
        // A tiny starting size forces the buffer to grow, which the sensitive writer does by
        // moving.
        JsonWriter writer(1, sensitive);
        writer.beginObject();
        writer.member("z", "1");
        writer.key("inner");
        writer.beginObject();
        writer.member("code", std::int64_t{-42});
        writer.member("empty", "");
        writer.endObject();
        writer.member("a", std::string(300, 'x'));
        writer.endObject();
        EXPECT_TRUE(writer.ok());
        EXPECT_EQ(writer.take(), R"({"z":"1","inner":{"code":-42,"empty":""},"a":")" +
                                     std::string(300, 'x') + "\"}");
    }
}

// A value that is not UTF-8 makes the writer fail, whatever follows it.
TEST(JsonWriter, FailsOnAValueThatIsNotUtf8) {
    JsonWriter writer;
    writer.beginObject();
    writer.member("fine", "x");
    writer.member("bad", "\xC3");
    writer.member("later", "z");
    writer.endObject();
    EXPECT_FALSE(writer.ok());
}

TEST(HexEncoding, WritesTwoDigitsPerByteInTheChosenCase) {
    const std::array<std::uint8_t, 4> bytes = {0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(hexEncodedString(bytes), "000fa0ff");
    EXPECT_EQ(hexEncodedString(bytes, HexEncodingOptions::upperCase), "000FA0FF");
    EXPECT_EQ(hexEncodedString(std::span<const std::uint8_t>{}), "");
}

// The nested copy must be exactly the finished text escaped once more, for any text: compare it
// with escaping the text afterwards, over many generated strings that mix every kind of byte.
TEST(JsonWriter, NestedCopyEqualsTheTextEscapedAgain) {
    const std::string pieces[] = {"a",    "/",    "\"", "\\", "\b", "\n", "\t",        "\x01",
                                  "\x1f", "\x7f", "ñ",  "€",  "😀",  "0",  "Libro 1/2", ""};
    const std::string names[] = {"a", "Ds_Order", "DS_MERCHANT_PAN", "x1", ""};
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 500; ++round) {
        for (const auto sensitive : {JsonWriter::Sensitive::no, JsonWriter::Sensitive::yes}) {
            JsonWriter writer(4, sensitive);
            writer.keepNestedCopy("prefix:");
            writer.beginObject();
            const int members = static_cast<int>(next() % 6);
            for (int m = 0; m < members; ++m) {
                std::string key;
                std::string value;
                for (unsigned i = next() % 3; i > 0; --i) {
                    key += names[next() % std::size(names)];
                }
                for (unsigned i = next() % 40; i > 0; --i) {
                    value += pieces[next() % std::size(pieces)];
                }
                const auto name = *JsonWriter::Name::checked(key);
                if (m == 2) {
                    writer.key(name);
                    writer.beginObject();
                    writer.member("n", std::int64_t{m} - 7);
                    writer.member(name, value);
                    writer.endObject();
                } else {
                    writer.member(name, value);
                }
            }
            writer.endObject();
            ASSERT_TRUE(writer.ok());
            std::string expected = "prefix:";
            ASSERT_TRUE(appendJsonEscaped(expected, writer.text()));
            ASSERT_EQ(writer.takeNestedCopy(), expected) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace vanto
