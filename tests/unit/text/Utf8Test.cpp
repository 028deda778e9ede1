#include "vanto/text/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace vanto {
namespace {

TEST(Utf8, MeasuresWellFormedSequencesAtTheirBoundaries) {
    EXPECT_EQ(utf8SequenceLength("A", 0), 1u);
    EXPECT_EQ(utf8SequenceLength(std::string("\0", 1), 0), 1u);
    EXPECT_EQ(utf8SequenceLength("\x7F", 0), 1u);
    EXPECT_EQ(utf8SequenceLength("\xC2\x80", 0), 2u);          // U+0080
    EXPECT_EQ(utf8SequenceLength("\xDF\xBF", 0), 2u);          // U+07FF
    EXPECT_EQ(utf8SequenceLength("\xE0\xA0\x80", 0), 3u);      // U+0800
    EXPECT_EQ(utf8SequenceLength("\xED\x9F\xBF", 0), 3u);      // U+D7FF, just below surrogates
    EXPECT_EQ(utf8SequenceLength("\xEE\x80\x80", 0), 3u);      // U+E000, just above them
    EXPECT_EQ(utf8SequenceLength("\xEF\xBF\xBF", 0), 3u);      // U+FFFF
    EXPECT_EQ(utf8SequenceLength("\xF0\x90\x80\x80", 0), 4u);  // U+10000
    EXPECT_EQ(utf8SequenceLength("\xF4\x8F\xBF\xBF", 0), 4u);  // U+10FFFF
    EXPECT_EQ(utf8SequenceLength("a\xC3\xB1z", 1), 2u);
    EXPECT_EQ(utf8SequenceLength("a\xC3\xB1z", 3), 1u);
}

TEST(Utf8, RejectsOverlongForms) {
    EXPECT_EQ(utf8SequenceLength("\xC0\x80", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xC1\xBF", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xE0\x80\x80", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xE0\x9F\xBF", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xF0\x80\x80\x80", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xF0\x8F\xBF\xBF", 0), 0u);
    EXPECT_FALSE(isValidUtf8("a\xC0\xAF"));
}

TEST(Utf8, RejectsSurrogatesAndValuesPastTheLastCodePoint) {
    EXPECT_EQ(utf8SequenceLength("\xED\xA0\x80", 0), 0u);      // U+D800
    EXPECT_EQ(utf8SequenceLength("\xED\xBF\xBF", 0), 0u);      // U+DFFF
    EXPECT_EQ(utf8SequenceLength("\xF4\x90\x80\x80", 0), 0u);  // U+110000
    EXPECT_EQ(utf8SequenceLength("\xF5\x80\x80\x80", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xF8\x88\x80\x80\x80", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xFE", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xFF", 0), 0u);
    EXPECT_FALSE(isValidUtf8("\xED\xA0\xBD\xED\xB8\x80"));  // a surrogate pair written as CESU-8
}

TEST(Utf8, RejectsTruncatedSequencesAndStrayContinuationBytes) {
    EXPECT_EQ(utf8SequenceLength("\xC3", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xE2\x82", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xF0\x9F\x98", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xC3"
                                 "A",
                                 0),
              0u);
    EXPECT_EQ(utf8SequenceLength("\xE2\x82"
                                 "A",
                                 0),
              0u);
    EXPECT_EQ(utf8SequenceLength("\xF0\x9F\x98"
                                 "A",
                                 0),
              0u);
    EXPECT_EQ(utf8SequenceLength("\x80", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xBF", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xC3\xB1", 1), 0u);  // inside a sequence
    EXPECT_EQ(utf8SequenceLength("abc", 3), 0u);
    EXPECT_EQ(utf8SequenceLength("abc", 100), 0u);
    EXPECT_EQ(utf8SequenceLength("", 0), 0u);
}

TEST(Utf8, ValidatesWholeTexts) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("plain ASCII {\"a\":1}"));
    EXPECT_TRUE(isValidUtf8(std::string("a\0b", 3)));
    EXPECT_TRUE(
        isValidUtf8("Espa\xC3\xB1"
                    "a \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(isValidUtf8("Espa\xC3"));
    EXPECT_FALSE(isValidUtf8("\xF0\x9F\x98\x80\x80"));
    EXPECT_FALSE(isValidUtf8("abc\xFF"));
    EXPECT_FALSE(
        isValidUtf8("\xFF"
                    "abc"));
}

TEST(Utf8, WalksEveryTextToItsEndOneCharacterAtATime) {
    EXPECT_EQ(utf8CharacterLength("\xC3\xB1", 0), 2u);
    EXPECT_EQ(utf8CharacterLength("\xF0\x9F\x98\x80", 0), 4u);
    EXPECT_EQ(utf8CharacterLength("\xC3", 0), 1u);
    EXPECT_EQ(utf8CharacterLength("\xED\xA0\x80", 0), 1u);
    EXPECT_EQ(utf8CharacterLength("", 0), 1u);

    const std::string text = "\xC3\xB1\xFF\xE2\x82\xAC\xE2\x82\xF0\x9F\x98\x80\x80";
    std::size_t characters = 0;
    for (std::size_t offset = 0; offset < text.size();
         offset += utf8CharacterLength(text, offset)) {
        ++characters;
        ASSERT_LT(characters, 100u);
    }
    // ñ, FF, €, E2, 82, 😀, 80
    EXPECT_EQ(characters, 7u);
}

}  // namespace
}  // namespace vanto
