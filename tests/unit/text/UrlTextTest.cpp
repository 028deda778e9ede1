#include "vanto/text/UrlText.h"

#include <gtest/gtest.h>

#include <string>

#include "vanto/config/VantoConfiguration.h"
#include "vanto/text/Base64.h"

namespace vanto {
namespace {

using Params = std::map<std::string, std::string>;

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

TEST(UrlTextCharacterSet, Rfc3986UnreservedHoldsExactlyTheSixtySixCharacters) {
    const CharacterSet& unreserved = rfc3986Unreserved();
    EXPECT_EQ(&unreserved, &rfc3986Unreserved());
    EXPECT_EQ(unreserved.size(), 66u);
    for (const char c :
         std::string_view{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~"}) {
        EXPECT_TRUE(unreserved.contains(static_cast<char32_t>(c))) << c;
    }
    for (const char c : std::string_view{" !\"#$%&'()*+,/:;<=>?@[\\]^`{|}"}) {
        EXPECT_FALSE(unreserved.contains(static_cast<char32_t>(c))) << c;
    }
    EXPECT_FALSE(unreserved.contains(0));
    EXPECT_FALSE(unreserved.contains(0x7F));
}

TEST(UrlTextPercentEncoding, EncodesEverythingButUnreservedCharacters) {
    const CharacterSet& unreserved = rfc3986Unreserved();
    EXPECT_EQ(safeAddingPercentEncoding("AZaz09-._~", unreserved), "AZaz09-._~");
    EXPECT_EQ(safeAddingPercentEncoding(" ", unreserved), "%20");
    EXPECT_EQ(safeAddingPercentEncoding("+", unreserved), "%2B");
    EXPECT_EQ(safeAddingPercentEncoding("/", unreserved), "%2F");
    EXPECT_EQ(safeAddingPercentEncoding("=", unreserved), "%3D");
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
    EXPECT_FALSE(safeAddingPercentEncoding("\xC3", rfc3986Unreserved()));
    EXPECT_FALSE(safeAddingPercentEncoding("ok\xFF", rfc3986Unreserved()));
    EXPECT_FALSE(safeAddingPercentEncoding("\xED\xA0\x80", rfc3986Unreserved()));
    EXPECT_FALSE(safeAddingPercentEncoding("\xC0\xAF", rfc3986Unreserved()));
}

/// Sets the failure address for one test and puts the previous one back afterwards.
class UrlTextParams : public ::testing::Test {
  protected:
    void SetUp() override { saved_ = VantoConfiguration::shared().appURLKO(); }
    void TearDown() override { VantoConfiguration::shared().setAppURLKO(saved_); }
    static void setFailureAddress(std::string address) {
        VantoConfiguration::shared().setAppURLKO(std::move(address));
    }

  private:
    std::string saved_;
};

TEST_F(UrlTextParams, SplitsTheQueryOfTheFailureAddress) {
    setFailureAddress("https://shop.example/ko");
    EXPECT_EQ(getUrlParams("https://shop.example/ko?Ds_SignatureVersion=HMAC_SHA256_V1&"
                           "Ds_MerchantParameters=eyJhIjoxfQ==&Ds_Signature=c2ln"),
              (Params{{"Ds_SignatureVersion", "HMAC_SHA256_V1"},
                      {"Ds_MerchantParameters", "eyJhIjoxfQ=="},
                      {"Ds_Signature", "c2ln"}}));
    EXPECT_EQ(getUrlParams("https://shop.example/ko?a=%20+b"), (Params{{"a", "%20+b"}}));
    EXPECT_EQ(getUrlParams("https://shop.example/ko?"), (Params{{"", ""}}));
}

TEST_F(UrlTextParams, KeepsOtherAddressesInTheFirstKey) {
    setFailureAddress("https://shop.example/ko");
    EXPECT_EQ(getUrlParams("https://shop.example/ok?a=1&b=2"),
              (Params{{"https://shop.example/ok?a", "1"}, {"b", "2"}}));
    // The comparison is case-sensitive.
    EXPECT_EQ(getUrlParams("https://shop.example/KO?a=1"),
              (Params{{"https://shop.example/KO?a", "1"}}));
}

TEST_F(UrlTextParams, RemovesTheFailureAddressWhereverItOccurs) {
    setFailureAddress("https://shop.example/ko");
    EXPECT_EQ(getUrlParams("https://shop.example/ko?a=1&b=https://shop.example/ko?x"),
              (Params{{"a", "1"}, {"b", "x"}}));
    EXPECT_EQ(getUrlParams("x=https://shop.example/ko?https://shop.example/ko?1"),
              (Params{{"x", "1"}}));
}

TEST_F(UrlTextParams, ReadsPiecesExactlyAsTheyStand) {
    setFailureAddress("https://shop.example/ko");
    EXPECT_EQ(getUrlParams(""), (Params{{"", ""}}));
    EXPECT_EQ(getUrlParams("flag"), (Params{{"flag", "flag"}}));
    EXPECT_EQ(getUrlParams("=v"), (Params{{"", "v"}}));
    EXPECT_EQ(getUrlParams("=a=b"), (Params{{"", "ab"}}));
    EXPECT_EQ(getUrlParams("k=1k=2"), (Params{{"k", "12"}}));
    EXPECT_EQ(getUrlParams("k=a=b"), (Params{{"k", "a=b"}}));
    EXPECT_EQ(getUrlParams("k="), (Params{{"k", ""}}));
    EXPECT_EQ(getUrlParams("a=1&b=2&a=3"), (Params{{"a", "3"}, {"b", "2"}}));
    EXPECT_EQ(getUrlParams("a=1&&b=2&"), (Params{{"a", "1"}, {"", ""}, {"b", "2"}}));
    EXPECT_EQ(getUrlParams("&a=1"), (Params{{"", ""}, {"a", "1"}}));
    EXPECT_EQ(getUrlParams("&=x"), (Params{{"", "x"}}));
}

TEST_F(UrlTextParams, WithAnEmptyFailureAddressRemovesEveryQuestionMark) {
    setFailureAddress("");
    EXPECT_EQ(getUrlParams("https://shop.example/ko?a=1?2&b=?3"),
              (Params{{"https://shop.example/koa", "12"}, {"b", "3"}}));
    EXPECT_EQ(getUrlParams("??"), (Params{{"", ""}}));
}

TEST_F(UrlTextParams, FollowsChangesToTheConfiguration) {
    setFailureAddress("https://one.example/ko");
    EXPECT_EQ(getUrlParams("https://one.example/ko?a=1"), (Params{{"a", "1"}}));
    setFailureAddress("https://two.example/ko");
    EXPECT_EQ(getUrlParams("https://one.example/ko?a=1"),
              (Params{{"https://one.example/ko?a", "1"}}));
}

TEST(UrlTextParseJson, DecodesPaddedBase64OfUtf8Text) {
    EXPECT_EQ(parseJsonString("e30="), "{}");
    EXPECT_EQ(parseJsonString(""), "");
    const std::string json =
        "{\"Ds_Response\":\"0000\",\"Ds_MerchantData\":\"Espa\xC3\xB1"
        "a\"}";
    EXPECT_EQ(parseJsonString(base64Encode(json)), json);
}

TEST(UrlTextParseJson, RefusesAnythingButStrictBase64OfWellFormedUtf8) {
    EXPECT_FALSE(parseJsonString("e30"));
    EXPECT_FALSE(parseJsonString("e30=\n"));
    EXPECT_FALSE(parseJsonString("e3\n0="));
    EXPECT_FALSE(parseJsonString("e3-="));
    EXPECT_FALSE(parseJsonString("e3_="));
    EXPECT_FALSE(parseJsonString("e30%3D"));
    EXPECT_FALSE(parseJsonString(base64Encode("{\"a\":\"\xFF\"}")));
    EXPECT_FALSE(parseJsonString(base64Encode("\xC3")));
    EXPECT_FALSE(parseJsonString(base64Encode("\xED\xA0\x80")));
}

}  // namespace
}  // namespace vanto
