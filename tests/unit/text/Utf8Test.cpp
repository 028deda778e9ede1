#include "vanto/text/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace vanto {
namespace {

using namespace std::string_literals;

TEST(Utf8, MeasuresWellFormedSequencesAndRefusesEveryIllFormedOne) {
    // U+0000, U+007F, U+0080, U+07FF, U+0800, U+D7FF and U+E000 around the surrogates, U+FFFF,
    // U+10000, U+10FFFF.
    for (const std::string& sequence :
         {std::string(1, '\0'), "\x7F"s, "\xC2\x80"s, "\xDF\xBF"s, "\xE0\xA0\x80"s, "\xED\x9F\xBF"s,
          "\xEE\x80\x80"s, "\xEF\xBF\xBF"s, "\xF0\x90\x80\x80"s, "\xF4\x8F\xBF\xBF"s}) {
        EXPECT_EQ(utf8SequenceLength(sequence + "z", 0), sequence.size())
            << ::testing::PrintToString(sequence);
        EXPECT_TRUE(isValidUtf8(sequence));
    }
    // Overlong forms, surrogates, values past U+10FFFF, bytes that never start a sequence,
    // sequences cut short, and a continuation byte where a sequence should start.
    for (const std::string& bad :
         {"\xC1\xBF"s, "\xE0\x9F\xBF"s, "\xF0\x8F\xBF\xBF"s, "\xED\xA0\x80"s, "\xED\xBF\xBF"s,
          "\xF4\x90\x80\x80"s, "\xF5\x80\x80\x80"s, "\xFF"s, "\xC3"s, "\xF0\x9F\x98"s,
          "\xE2\x82\x41"s, "\x80"s}) {
        EXPECT_EQ(utf8SequenceLength(bad, 0), 0u) << ::testing::PrintToString(bad);
        EXPECT_FALSE(isValidUtf8(bad)) << ::testing::PrintToString(bad);
    }
    EXPECT_EQ(utf8SequenceLength("a\xC3\xB1z", 1), 2u);
    EXPECT_EQ(utf8SequenceLength("a\xC3\xB1z", 2), 0u) << "inside a sequence";
    EXPECT_EQ(utf8SequenceLength("abc", 3), 0u);
    EXPECT_EQ(utf8SequenceLength("abc", 100), 0u);
}

TEST(Utf8, ValidatesWholeTexts) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8(std::string("{\"a\":1}\0b", 9)));
    EXPECT_TRUE(isValidUtf8("\xE2\x82\xAC \xF0\x9F\x98\x80 Espa\xC3\xB1"));
    for (const char* bad : {"Espa\xC3", "\xF0\x9F\x98\x80\x80", "abc\xFF", "a\xC0\xAF",
                            "\xED\xA0\xBD\xED\xB8\x80" /* a pair as CESU-8 */}) {
        EXPECT_FALSE(isValidUtf8(bad)) << ::testing::PrintToString(bad);
    }
}

TEST(Utf8, WalksEveryTextToItsEndOneCharacterAtATime) {
    EXPECT_EQ(utf8CharacterLength("\xF0\x9F\x98\x80", 0), 4u);
    EXPECT_EQ(utf8CharacterLength("\xED\xA0\x80", 0), 1u);
    EXPECT_EQ(utf8CharacterLength("", 0), 1u);

    const std::string text = "\xC3\xB1\xFF\xE2\x82\xAC\xE2\x82\xF0\x9F\x98\x80\x80";
    std::size_t characters = 0;
    for (std::size_t offset = 0; offset < text.size();
         offset += utf8CharacterLength(text, offset)) {
        ASSERT_LT(++characters, 100u);
    }
    // ñ, FF, €, E2, 82, 😀, 80
    EXPECT_EQ(characters, 7u);
}

}  // namespace
}  // namespace vanto
