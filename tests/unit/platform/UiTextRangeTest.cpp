#include <gtest/gtest.h>

#include "vanto/platform/ui/TextRange.h"

namespace vanto::platform::ui {
namespace {

// U+1F600, four UTF-8 bytes and two UTF-16 units; U+00E1, two bytes and one unit.
constexpr const char* kEmoji = "\xF0\x9F\x98\x80";
constexpr const char* kAcute = "\xC3\xA1";

TEST(UiTextRange, CountsAndEditsInUtf16Units) {
    const std::string text = std::string("1") + kEmoji + kAcute + "2";
    EXPECT_EQ(utf16Length(text), 5u);
    EXPECT_EQ(utf16Length("\xFF"
                          "a"),
              2u)
        << "a stray byte is one unit";

    EXPECT_EQ(replacingCharacters(text, {5, 0}, "3"), text + "3");
    EXPECT_EQ(replacingCharacters(text, {1, 2}, ""), std::string("1") + kAcute + "2");
    EXPECT_EQ(replacingCharacters(text, {3, 1}, "x"), std::string("1") + kEmoji + "x2");
    EXPECT_EQ(replacingCharacters("", {0, 0}, "12"), "12");

    EXPECT_FALSE(replacingCharacters(text, {2, 0}, "x")) << "inside the emoji's pair";
    EXPECT_FALSE(replacingCharacters(text, {1, 1}, "")) << "half of the pair";
    EXPECT_FALSE(replacingCharacters(text, {5, 1}, "")) << "past the end";
    EXPECT_FALSE(replacingCharacters(text, {6, 0}, "x"));
    EXPECT_FALSE(replacingCharacters(text, {1, SIZE_MAX}, ""));
}

}  // namespace
}  // namespace vanto::platform::ui
