#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordTestSupport.h"

#include "vanto/web/Parameters.h"
#include "vanto/web/WebViewPaymentResponse.h"
#include "vanto/web/WebViewPaymentResponseKO.h"
#include "vanto/web/WebViewPaymentResponseOK.h"
#include "vanto/web/datosPeticion.h"

namespace vanto {
namespace {

using testing::Members;
using testing::objectOf;

// An accepted result that had only a response code: every result key, in wire order.
constexpr const char* kAcceptedWithOnlyAResponse =
    R"({"code":0,"desc":"","Ds_Date":"","Ds_Hour":"","Ds_SecurePayment":"",)"
    R"("Ds_Amount":"","Ds_Currency":"","Ds_Order":"","Ds_MerchantCode":"",)"
    R"("Ds_Terminal":"","Ds_Response":"0000","Ds_Signature":"",)"
    R"("Ds_TransactionType":"","Ds_MerchantData":"","Ds_AuthorisationCode":"",)"
    R"("Ds_ExpiryDate":"","Ds_Merchant_Identifier":"","Ds_ConsumerLanguage":"",)"
    R"("Ds_Card_Country":"","Ds_Card_Brand":"","Ds_Card_Number":""})";

const std::string kSigned =
    R"({"Ds_Signature":"c2ln+/=","Ds_MerchantParameters":"eyJhIjoxfQ==","Ds_SignatureVersion":"HMAC_SHA256_V1"})";

// Every field a different text, so that two fields mixed up show, with characters that need
// escaping or are not ASCII.
Parameters fullParameters() {
    return Parameters("01/02/2025", "10:15", "1", "1999", "978", "1234ABCD", "999008881", "3",
                      "0000", "c2ln+/=", "0", "pedido \"especial\"", "A1B2C3", "2912", "ident\\42",
                      "2", "724", "VISA", "454881******0004 ñ");
}

TEST(WebViewPaymentResponseDecoding, SignedValuesAreAllRequiredTexts) {
    const auto answer = WebViewPaymentResponse::fromJSON(
        R"({"code":0,"desc":"OK","extra":{},"datosPeticion":{"Ds_Signature":"c2ln+/=",)"
        R"("Ds_MerchantParameters":"eyJhIjoxfQ==","Ds_SignatureVersion":"HMAC_SHA256_V1",)"
        R"("unknown":[1]},"parameters":{"Ds_Order":"1234ABCD","other":true}})");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->datosPeticion, datosPeticion("c2ln+/=", "eyJhIjoxfQ==", "HMAC_SHA256_V1"));
    Parameters expected;
    expected.Ds_Order = "1234ABCD";
    EXPECT_EQ(answer->parameters, expected);
    EXPECT_EQ(WebViewPaymentResponse::fromJSON(
                  R"({"datosPeticion":null,"code":9999,"desc":"x","parameters":null})"),
              WebViewPaymentResponse(std::nullopt, 9999, "x", std::nullopt));

    const Members complete{{"Ds_Signature", "\"s\""},
                           {"Ds_MerchantParameters", "\"p\""},
                           {"Ds_SignatureVersion", "\"v\""}};
    for (std::size_t index = 0; index < complete.size(); ++index) {
        SCOPED_TRACE(complete[index].first);
        Members lacking = complete;
        lacking.erase(lacking.begin() + static_cast<std::ptrdiff_t>(index));
        const std::string answerLacking =
            R"({"code":0,"desc":"OK","datosPeticion":)" + objectOf(lacking) + '}';
        EXPECT_FALSE(WebViewPaymentResponse::fromJSON(answerLacking));
        EXPECT_FALSE(datosPeticion::fromJSON(objectOf(lacking)));

        for (const char* wrong : {"null", "1", "false"}) {
            Members wrongType = complete;
            wrongType[index].second = wrong;
            EXPECT_FALSE(datosPeticion::fromJSON(objectOf(wrongType))) << wrong;
        }
    }
    EXPECT_TRUE(datosPeticion::fromJSON(objectOf(complete)));
    EXPECT_FALSE(WebViewPaymentResponse::fromJSON(R"({"code":0,"desc":"OK","datosPeticion":"x"})"));
    EXPECT_FALSE(WebViewPaymentResponse::fromJSON(R"({"code":0,"desc":"OK","parameters":[]})"));
}

TEST(WebViewPaymentResponseDecoding, CodeIsAWholeNumberInRangeAndDescARequiredText) {
    testing::expectTheCodeRule<WebViewPaymentResponse>({{"code", "0"}, {"desc", "\"\""}});
    testing::expectEveryMemberRequired<WebViewPaymentResponse>({{"code", "0"}, {"desc", "\"\""}});
}

TEST(ParametersDecoding, EachFieldIsTextNullOrAbsent) {
    const auto onlyResponse = Parameters::fromJSON(R"({"Ds_Response":"0000"})");
    ASSERT_TRUE(onlyResponse);
    Parameters expected;
    expected.Ds_Response = "0000";
    EXPECT_EQ(*onlyResponse, expected);

    const auto nullResponse = Parameters::fromJSON(R"({"Ds_Response":null})");
    ASSERT_TRUE(nullResponse);
    EXPECT_EQ(*nullResponse, Parameters());

    const Members resultKeys = testing::membersOf(kAcceptedWithOnlyAResponse);
    for (auto result = resultKeys.begin() + 2; result != resultKeys.end(); ++result) {
        const std::string& name = result->first;
        SCOPED_TRACE(name);
        for (const char* wrong : {"0", "1.5", "1e400", "true", "{}", "[]"}) {
            EXPECT_FALSE(Parameters::fromJSON(objectOf({{name, wrong}}))) << wrong;
            EXPECT_FALSE(WebViewPaymentResponse::fromJSON(R"({"code":0,"desc":"","parameters":)" +
                                                          objectOf({{name, wrong}}) + '}'))
                << wrong;
        }
        const auto text = Parameters::fromJSON(objectOf({{name, "\"v\""}, {"Ds_Other", "1e400"}}));
        ASSERT_TRUE(text);
        EXPECT_EQ(text->toJSON(), objectOf({{name, "\"v\""}}));
    }
}

TEST(ParametersDecoding, RejectsWhatIsNotOneJsonObjectWithoutThrowing) {
    // What the return address carries after Base64 decoding may be anything at all.
    const std::vector<std::string> broken{"",
                                          "[]",
                                          "\"Ds_Response\"",
                                          "0",
                                          R"({"Ds_Response":"0000")",
                                          R"({"Ds_Response":"0000"}x)",
                                          "{\"Ds_Response\":\"\xc0\xaf\"}",
                                          "{\"Ds_Response\":\"\xf4\x90\x80\x80\"}",
                                          std::string("\x89PNG\r\n\x1a\n\0\0", 10),
                                          std::string(100000, '{')};
    for (const std::string& text : broken) {
        SCOPED_TRACE(text.substr(0, 40));
        EXPECT_NO_THROW({
            EXPECT_FALSE(Parameters::fromJSON(text));
            EXPECT_FALSE(WebViewPaymentResponse::fromJSON(text));
            EXPECT_FALSE(WebViewPaymentResponseOK::fromJSON(text));
            EXPECT_FALSE(WebViewPaymentResponseKO::fromJSON(text));
        });
    }
}

TEST(WebViewPaymentResponseEncoding, WritesPresentValuesInOrderWithEscapedSolidus) {
    Parameters result;
    result.Ds_Date = "01/02/2025";
    result.Ds_Response = "0000";
    EXPECT_EQ(result.toJSON(), R"({"Ds_Date":"01\/02\/2025","Ds_Response":"0000"})");
    EXPECT_EQ(Parameters().toJSON(), "{}");
    EXPECT_EQ(WebViewPaymentResponse(std::nullopt, 0, "OK", std::nullopt).toJSON(),
              R"({"code":0,"desc":"OK"})");
    EXPECT_EQ(WebViewPaymentResponse(datosPeticion("s/", "p", "v"), 0, "OK", result).toJSON(),
              R"({"datosPeticion":{"Ds_Signature":"s\/","Ds_MerchantParameters":"p",)"
              R"("Ds_SignatureVersion":"v"},"code":0,"desc":"OK",)"
              R"("parameters":{"Ds_Date":"01\/02\/2025","Ds_Response":"0000"}})");

    result.Ds_Card_Number = "\xff";
    EXPECT_EQ(result.toJSON(), "");
}

TEST(WebViewPaymentResponseEncoding, RoundTripKeepsEveryField) {
    const WebViewPaymentResponse full(datosPeticion("c2ln+/=", "eyJhIjoxfQ==", "HMAC_SHA256_V1"),
                                      INT64_MIN, "Firma / \"correcta\"", fullParameters());
    EXPECT_EQ(WebViewPaymentResponse::fromJSON(full.toJSON()), full);
    EXPECT_EQ(Parameters::fromJSON(fullParameters().toJSON()), fullParameters());
    EXPECT_EQ(datosPeticion::fromJSON(kSigned)->toJSON(),
              R"({"Ds_Signature":"c2ln+\/=","Ds_MerchantParameters":"eyJhIjoxfQ==",)"
              R"("Ds_SignatureVersion":"HMAC_SHA256_V1"})");
}

TEST(WebViewPaymentResponseOKRecord, TakesCodeAndEveryParameterOrEmptyText) {
    Parameters onlyResponse;
    onlyResponse.Ds_Response = "0000";
    EXPECT_EQ(WebViewPaymentResponseOK(onlyResponse, 0).toJSON(), kAcceptedWithOnlyAResponse);

    EXPECT_EQ(WebViewPaymentResponseOK(fullParameters(), 99),
              WebViewPaymentResponseOK(99, "", "01/02/2025", "10:15", "1", "1999", "978",
                                       "1234ABCD", "999008881", "3", "0000", "c2ln+/=", "0",
                                       "pedido \"especial\"", "A1B2C3", "2912", "ident\\42", "2",
                                       "724", "VISA", "454881******0004 ñ"));
}

TEST(WebViewPaymentResponseOKRecord, DecodingNeedsAllTwentyOneKeysWithTheirTypes) {
    const Members members = testing::membersOf(kAcceptedWithOnlyAResponse);
    testing::expectEveryMemberRequired<WebViewPaymentResponseOK>(members);
    testing::expectTheCodeRule<WebViewPaymentResponseOK>(members);

    const WebViewPaymentResponseOK accepted(fullParameters(), 42);
    EXPECT_EQ(WebViewPaymentResponseOK::fromJSON(accepted.toJSON()), accepted);
}

TEST(WebViewPaymentResponseKORecord, NeedsBothKeysAndRoundTrips) {
    const WebViewPaymentResponseKO mapping(5548, "Mapping Error/1");
    EXPECT_EQ(mapping.toJSON(), R"({"code":5548,"desc":"Mapping Error\/1"})");
    EXPECT_EQ(WebViewPaymentResponseKO::fromJSON(mapping.toJSON()), mapping);
    testing::expectTheCodeRule<WebViewPaymentResponseKO>({{"code", "0"}, {"desc", "\"\""}});

    testing::expectEveryMemberRequired<WebViewPaymentResponseKO>({{"code", "0"}, {"desc", "\"\""}});
    EXPECT_EQ(WebViewPaymentResponseKO(1, "\xc3").toJSON(), "");
}

}  // namespace
}  // namespace vanto
