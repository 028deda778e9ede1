#include "vanto/text/UrlText.h"

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/text/Base64.h"

namespace vanto {
namespace {

using Params = std::map<std::string, std::string>;
using UrlTextParams = testing::ConfiguredTest;

TEST(UrlTextCharacterSet, HoldsOnlyTheAsciiCharactersItWasBuiltFrom) {
    const CharacterSet set{"ab/\xC3\xB1"};
    EXPECT_EQ(set.size(), 3u);
    EXPECT_TRUE(set.contains(U'a'));
    EXPECT_TRUE(set.contains(U'/'));
    EXPECT_FALSE(set.contains(U'c'));
    EXPECT_FALSE(set.contains(U'\u00F1'));
    EXPECT_FALSE(set.contains(0xC3));
    EXPECT_FALSE(set.contains(U'a' + 128));  // no wrap-around onto ASCII
    EXPECT_FALSE(set.contains(U'a' + 256));
    EXPECT_FALSE(set.contains(0xFFFFFFFF));
    EXPECT_EQ(CharacterSet{}.size(), 0u);
    EXPECT_EQ(CharacterSet{"ba"}, CharacterSet{"aab"});
}

TEST(UrlTextPercentEncoding, EncodesEverythingButUnreservedCharacters) {
    const CharacterSet& unreserved = rfc3986Unreserved();
    EXPECT_EQ(safeAddingPercentEncoding("AZaz09-._~", unreserved), "AZaz09-._~");
    EXPECT_EQ(safeAddingPercentEncoding(" ", unreserved), "%20");
    EXPECT_EQ(safeAddingPercentEncoding("%", unreserved), "%25");
    EXPECT_EQ(safeAddingPercentEncoding("\xC3\xB1", unreserved), "%C3%B1");
    EXPECT_EQ(safeAddingPercentEncoding("\xC3\xBF", unreserved), "%C3%BF");
    EXPECT_EQ(safeAddingPercentEncoding("\xF0\x9F\x98\x80", unreserved), "%F0%9F%98%80");
    EXPECT_EQ(safeAddingPercentEncoding(std::string("a\0\x7F", 3), unreserved), "a%00%7F");
    EXPECT_EQ(safeAddingPercentEncoding("", unreserved), "");
    EXPECT_EQ(safeAddingPercentEncoding("eyJhIjoxfQ==", unreserved), "eyJhIjoxfQ%3D%3D");
    EXPECT_EQ(safeAddingPercentEncoding("a+b/c", unreserved), "a%2Bb%2Fc");
}

TEST(UrlTextPercentEncoding, FollowsTheGivenSetAndRefusesMalformedUtf8) {
    EXPECT_EQ(safeAddingPercentEncoding("a/b c", CharacterSet{"/ "}), "%61/%62 %63");
    EXPECT_EQ(safeAddingPercentEncoding("ab", CharacterSet{}), "%61%62");
    EXPECT_EQ(safeAddingPercentEncoding("\xC3\xB1", CharacterSet{"\xC3\xB1"}), "%C3%B1");
    EXPECT_FALSE(safeAddingPercentEncoding("ok\xFF", rfc3986Unreserved()));
}

TEST_F(UrlTextParams, SplitsTheQueryAfterRemovingTheFailureAddressWhereverItStands) {
    const std::string ko = "https://shop.example/ko";
    const struct {
        std::string failureAddress;
        std::string address;
        Params params;
    } cases[] = {
        {ko,
         ko + "?Ds_SignatureVersion=HMAC_SHA256_V1&Ds_MerchantParameters=eyJhIjoxfQ==&"
              "Ds_Signature=c2ln",
         {{"Ds_SignatureVersion", "HMAC_SHA256_V1"},
          {"Ds_MerchantParameters", "eyJhIjoxfQ=="},
          {"Ds_Signature", "c2ln"}}},
        {ko, ko + "?a=%20+b", {{"a", "%20+b"}}},
        {ko, ko + "?", {{"", ""}}},
        // Another address stays in the first key; the comparison is case-sensitive.
        {ko, "https://shop.example/ok?a=1&b=2", {{"https://shop.example/ok?a", "1"}, {"b", "2"}}},
        {ko, "https://shop.example/KO?a=1", {{"https://shop.example/KO?a", "1"}}},
        {"https://two.example/ko", ko + "?a=1", {{ko + "?a", "1"}}},
        {ko, ko + "?a=1&b=" + ko + "?x", {{"a", "1"}, {"b", "x"}}},
        {ko, "x=" + ko + "?" + ko + "?1", {{"x", "1"}}},
        // Pieces are read exactly as they stand.
        {ko, "", {{"", ""}}},
        {ko, "flag", {{"flag", "flag"}}},
        {ko, "=v", {{"", "v"}}},
        {ko, "=a=b", {{"", "ab"}}},
        {ko, "k=1k=2", {{"k", "12"}}},
        {ko, "k=a=b", {{"k", "a=b"}}},
        {ko, "k=", {{"k", ""}}},
        {ko, "a=1&b=2&a=3", {{"a", "3"}, {"b", "2"}}},
        {ko, "a=1&&b=2&", {{"a", "1"}, {"", ""}, {"b", "2"}}},
        {ko, "&a=1", {{"", ""}, {"a", "1"}}},
        {ko, "&=x", {{"", "x"}}},
        // An empty failure address removes every question mark.
        {"", ko + "?a=1?2&b=?3", {{"https://shop.example/koa", "12"}, {"b", "3"}}},
        {"", "??", {{"", ""}}},
    };
    for (const auto& [failureAddress, address, params] : cases) {
        VantoConfiguration::shared().setAppURLKO(failureAddress);
        EXPECT_EQ(getUrlParams(address), params) << address << " without " << failureAddress;
    }
}

// The Base64 and UTF-8 rules themselves have their own tests; here, that both are applied.
TEST(UrlTextParseJson, DecodesOnlyStrictBase64OfWellFormedUtf8) {
    EXPECT_EQ(parseJsonString(""), "");
    const std::string json =
        "{\"Ds_Response\":\"0000\",\"Ds_MerchantData\":\"Espa\xC3\xB1"
        "a\"}";
    EXPECT_EQ(parseJsonString(base64Encode(json)), json);
    for (const std::string& refused : {std::string("e30"), std::string("e3-="),
                                       std::string("e30%3D"), base64Encode("{\"a\":\"\xFF\"}")}) {
        EXPECT_FALSE(parseJsonString(refused)) << refused;
    }
}

}  // namespace
}  // namespace vanto
