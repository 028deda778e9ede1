#include "vanto/text/Base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace vanto {
namespace {

TEST(Base64, EncodesAndDecodesTheStandardTestVectors) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"},
                                                           {"\xFB\xFF\xBF", "+/+/"}};
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
        EXPECT_EQ(base64Decode(base64Encode(input)), input);
    }
    EXPECT_EQ(base64Decode("AAAA"), std::string(3, '\0'));
}

TEST(Base64, RejectsBadPaddingAndCharactersOutsideTheStandardAlphabet) {
    const std::string refused[] = {
        "Zg",           "Zg=",       "Zg===", "Z===",     "====",
        "=Zg=",         "Z=g=",      "Zg=A",  "Zg==Zm9v", "Zm9v\nYmFy",
        "Zm9v\r\nYmE=", "Zm9v YmFy", "Zm-v",  "Zm_v",     std::string("Zm9\0", 4),
        "Zm9\xC3\xB1",  "Zm9\xFF"};
    for (const std::string& bad : refused) {
        EXPECT_FALSE(base64Decode(bad)) << ::testing::PrintToString(bad);
    }
}

TEST(Base64, IgnoresTheUnusedBitsOfThePaddedQuantum) {
    // Only whole bytes are data; the low bits of the last character before the padding are
    // dropped, as lenient and strict-alphabet decoders alike do.
    EXPECT_EQ(base64Decode("Zh=="), std::string("f"));
    EXPECT_EQ(base64Decode("Zm9="), std::string("fo"));
}

}  // namespace
}  // namespace vanto
