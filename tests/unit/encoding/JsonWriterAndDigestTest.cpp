#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

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

TEST(JsonEscaping, EscapesLikeTheGatewayWriter) {
    EXPECT_EQ(escaped("a/b"), R"(a\/b)");
    EXPECT_EQ(escaped("say \"hi\" \\ bye"), R"(say \"hi\" \\ bye)");
    EXPECT_EQ(escaped("\b\f\n\r\t"), R"(\b\f\n\r\t)");
    EXPECT_EQ(escaped(std::string_view("\x00\x01\x1f", 3)), R"(\u0000\u0001\u001f)");
    EXPECT_EQ(escaped("\x7f"), "\x7f") << "DEL is not a control character to the writer";
    EXPECT_EQ(escaped("Añadir €10 😀"), "Añadir €10 😀");
    EXPECT_EQ(escaped(""), "");
}

TEST(JsonEscaping, FindsASpecialByteAtAnyPositionOfALongTextAndRefusesMalformedUtf8) {
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
    // What is well-formed UTF-8 is the UTF-8 helper's to say; the escaping must ask it.
    std::string out;
    EXPECT_FALSE(appendJsonEscaped(out, std::string(17, 'a') + "\xC3"));
    EXPECT_FALSE(appendJsonEscaped(out, "\xED\xA0\x80 surrogate"));
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

// Names go in unescaped, so one that would need escaping must have no name at all; a value that
// is not UTF-8 makes the writer fail.
TEST(JsonWriter, RefusesNamesThatWouldNeedEscapingAndMalformedText) {
    for (const std::string_view name : {"\xC3", "a\"b", "a\\b", "a/b", "a\nb", "a\x1f"}) {
        EXPECT_FALSE(JsonWriter::Name::checked(name)) << name;
    }
    EXPECT_EQ(JsonWriter::Name::checked("Ds_Merchant_Order")->view(), "Ds_Merchant_Order");
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

TEST(Amount, ConvertsToHundredthsRoundingHalvesAwayFromZeroWhereA64BitValueHoldsThem) {
    const std::pair<double, std::optional<std::int64_t>> amounts[] = {
        {19.99, 1999},  // 1998.9999999999998 before rounding
        {0.29, 29},     // 28.999999999999996
        {12.5, 1250},
        {0.105, 11},
        {-0.105, -11},
        {0.0, 0},
        {9e16, std::int64_t{9000000000000000000}},
        // -2^63 hundredths is the smallest value that fits; 2^63 is one past the largest.
        {-9223372036854775808.0 / 100.0, std::numeric_limits<std::int64_t>::min()},
        {9223372036854775808.0 / 100.0, std::nullopt},
        {std::numeric_limits<double>::max(), std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
        {-std::numeric_limits<double>::infinity(), std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
    };
    for (const auto& [amount, hundredths] : amounts) {
        EXPECT_EQ(amountInHundredths(amount), hundredths) << amount;
    }
    EXPECT_EQ(amountText(-1.5), "-150");
    EXPECT_EQ(amountText(-0.0), "0");
    EXPECT_EQ(amountText(1e300), std::nullopt);
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
