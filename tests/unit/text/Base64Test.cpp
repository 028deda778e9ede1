#include "vanto/text/Base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace vanto {
namespace {

TEST(Base64, EncodesAndDecodesTheStandardTestVectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(base64Encode(plain), encoded);
        EXPECT_EQ(base64Decode(encoded), std::optional<std::string>{plain}) << encoded;
    }
}

TEST(Base64, RoundTripsEveryByteValueAtEveryPaddingLength) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    for (std::size_t cut = 0; cut < 3; ++cut) {
        const std::string input = bytes.substr(cut);
        const std::string encoded = base64Encode(input);
        EXPECT_EQ(encoded.size() % 4, 0u);
        EXPECT_EQ(base64Decode(encoded), input);
    }
    EXPECT_EQ(base64Encode("\xFB\xFF\xBF"), "+/+/");
    EXPECT_EQ(base64Decode("+/+/"), std::string("\xFB\xFF\xBF"));
    EXPECT_EQ(base64Decode("AAAA"), std::string(3, '\0'));
}

TEST(Base64, RejectsMissingOrMisplacedPadding) {
    EXPECT_FALSE(base64Decode("Zg"));
    EXPECT_FALSE(base64Decode("Zg="));
    EXPECT_FALSE(base64Decode("Zg==="));
    EXPECT_FALSE(base64Decode("Z==="));
    EXPECT_FALSE(base64Decode("===="));
    EXPECT_FALSE(base64Decode("=Zg="));
    EXPECT_FALSE(base64Decode("Z=g="));
    EXPECT_FALSE(base64Decode("Zg=A"));
    EXPECT_FALSE(base64Decode("Zg==Zm9v"));
}

TEST(Base64, RejectsCharactersOutsideTheStandardAlphabet) {
    EXPECT_FALSE(base64Decode("Zm9v\nYmFy"));
    EXPECT_FALSE(base64Decode("Zm9v\r\nYmE="));
    EXPECT_FALSE(base64Decode("Zm9v YmFy"));
    EXPECT_FALSE(base64Decode("Zm-v"));
    EXPECT_FALSE(base64Decode("Zm_v"));
    EXPECT_FALSE(base64Decode(std::string("Zm9\0", 4)));
    EXPECT_FALSE(base64Decode("Zm9\xC3\xB1"));  // "ñ" is outside the alphabet
    EXPECT_FALSE(base64Decode("Zm9\xFF"));
}

TEST(Base64, IgnoresTheUnusedBitsOfThePaddedQuantum) {
    // Only whole bytes are data; the low bits of the last character before the padding are
    // dropped, as lenient and strict-alphabet decoders alike do.
    EXPECT_EQ(base64Decode("Zh=="), std::string("f"));
    EXPECT_EQ(base64Decode("Zm9="), std::string("fo"));
}

}  // namespace
}  // namespace vanto
