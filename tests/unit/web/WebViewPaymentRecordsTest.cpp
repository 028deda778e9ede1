#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordTestSupport.h"

#include "vanto/web/WebViewPaymentResponse.h"

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

    testing::expectEveryMemberRequired<datosPeticion>({{"Ds_Signature", "\"s\""},
                                                       {"Ds_MerchantParameters", "\"p\""},
                                                       {"Ds_SignatureVersion", "\"v\""}});
    EXPECT_FALSE(WebViewPaymentResponse::fromJSON(
        R"({"code":0,"desc":"","datosPeticion":{"Ds_Signature":"s","Ds_SignatureVersion":"v"}})"));
    EXPECT_FALSE(WebViewPaymentResponse::fromJSON(R"({"code":0,"desc":"","datosPeticion":"x"})"));
}

TEST(WebViewPaymentResponseDecoding, CodeIsAWholeNumberInRangeAndDescARequiredText) {
    testing::expectTheCodeRule<WebViewPaymentResponse>({{"code", "0"}, {"desc", "\"\""}});
    testing::expectEveryMemberRequired<WebViewPaymentResponse>({{"code", "0"}, {"desc", "\"\""}});
}

TEST(ParametersDecoding, EachFieldIsTextNullOrAbsent) {
    EXPECT_EQ(Parameters::fromJSON(R"({"Ds_Response":null})"), Parameters());
    testing::expectOptionalTextMembers<Parameters, WebViewPaymentResponse>(
        testing::membersOf(kAcceptedWithOnlyAResponse), "parameters");
}

TEST(WebViewPaymentResponseDecoding, RejectsWhatIsNotOneJsonObjectWithoutThrowing) {
    testing::expectOnlyOneJsonObjectDecodes<Parameters, WebViewPaymentResponse,
                                            WebViewPaymentResponseOK, WebViewPaymentResponseKO>();
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
}

TEST(WebViewPaymentResponseOKRecord, PrintsEveryFieldWithTheCardDataMasked) {
    WebViewPaymentResponseOK accepted(fullParameters(), 42);
    accepted.Ds_Card_Number = "454881******0004";
    WebViewPaymentResponseOK printed = accepted;
    printed.Ds_ExpiryDate = "****";
    printed.Ds_Card_Number = "************0004";
    EXPECT_EQ(WebViewPaymentResponseOK::fromJSON(accepted.toJSON()), printed);
}

TEST(WebViewPaymentResponseKORecord, NeedsBothKeysAndRoundTrips) {
    const WebViewPaymentResponseKO mapping(5548, "Mapping Error/1");
    EXPECT_EQ(mapping.toJSON(), R"({"code":5548,"desc":"Mapping Error\/1"})");
    EXPECT_EQ(WebViewPaymentResponseKO::fromJSON(mapping.toJSON()), mapping);
    testing::expectTheCodeRule<WebViewPaymentResponseKO>({{"code", "0"}, {"desc", "\"\""}});

    testing::expectEveryMemberRequired<WebViewPaymentResponseKO>({{"code", "0"}, {"desc", "\"\""}});
    EXPECT_EQ(WebViewPaymentResponseKO(1, "\xc3").toJSON(), "");
    // A gateway's text that quotes the request prints with the card data masked.
    const std::string echoed =
        WebViewPaymentResponseKO(9999, R"({"DS_MERCHANT_PAN":"4000000000000028"})").toJSON();
    EXPECT_TRUE(echoed.starts_with(R"({"code":9999,"desc":)")) << echoed;
    EXPECT_EQ(echoed.find("4000000000000028"), std::string::npos) << echoed;
}

}  // namespace
}  // namespace vanto
