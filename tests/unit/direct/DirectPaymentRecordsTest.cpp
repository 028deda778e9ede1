#include <array>
#include <concepts>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "RecordTestSupport.h"

#include "vanto/direct/DatosRespuesta.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/direct/DirectPaymentResponseKO.h"
#include "vanto/direct/DirectPaymentResponseOK.h"

namespace vanto {

// Failed comparisons show the records as their JSON.
static void PrintTo(const DatosRespuesta& record, std::ostream* out) {
    *out << record.toJSON();
}
static void PrintTo(const DirectPaymentResponse& record, std::ostream* out) {
    *out << record.toJSON();
}
static void PrintTo(const DirectPaymentResponseOK& record, std::ostream* out) {
    *out << record.toJSON();
}

namespace {

using testing::Decodable;
using testing::Encodable;
using testing::Members;
using testing::objectOf;

// The result records are made by the library with all their values, never empty.
static_assert(!std::is_default_constructible_v<DirectPaymentResponseOK>);
static_assert(!std::is_default_constructible_v<DirectPaymentResponseKO>);
static_assert(Decodable<DirectPaymentResponseOK> && Encodable<DirectPaymentResponseOK>);
static_assert(!Decodable<DirectPaymentResponseKO> && !Encodable<DirectPaymentResponseKO>);

// The seventeen detail keys in their wire order.
constexpr std::array<std::string_view, 17> kDetailKeys{"Ds_Card_Country",
                                                       "Ds_Amount",
                                                       "Ds_MerchantData",
                                                       "Ds_Currency",
                                                       "Ds_Order",
                                                       "Ds_MerchantCode",
                                                       "Ds_Card_Type",
                                                       "Ds_Card_Brand",
                                                       "Ds_AuthorisationCode",
                                                       "Ds_Language",
                                                       "Ds_SecurePayment",
                                                       "Ds_Response",
                                                       "Ds_TransactionType",
                                                       "Ds_Terminal",
                                                       "Ds_ExpiryDate",
                                                       "Ds_Merchant_Identifier",
                                                       "Ds_CardNumber"};

std::string answerWithDetails(const std::string& details) {
    return R"({"code":0,"desc":"OK","datosRespuesta":)" + details + '}';
}

DatosRespuesta noDetails() {
    return DatosRespuesta(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                          std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                          std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                          std::nullopt, std::nullopt);
}

// Every field a different text, so that two fields mixed up show, with characters that need
// escaping or are not ASCII.
DatosRespuesta fullDetails() {
    return DatosRespuesta("724", "1999", "pedido/7 \"especial\"", "978", "1234ABCD", "999008881",
                          "C", "VISA", "A1B2C3", "2", "1", "0000", "0", "3", "2912", "ident\\42",
                          "454881******0004 ñ");
}

TEST(DirectPaymentResponseDecoding, AnswerWithoutDetails) {
    const auto plain = DirectPaymentResponse::fromJSON(R"({"code":0,"desc":"OK"})");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->code, 0);
    EXPECT_EQ(plain->desc, "OK");
    EXPECT_FALSE(plain->datosRespuesta);

    const auto nullDetails =
        DirectPaymentResponse::fromJSON(R"({"datosRespuesta":null,"code":190,"desc":"Denegada"})");
    ASSERT_TRUE(nullDetails);
    EXPECT_EQ(nullDetails->code, 190);
    EXPECT_FALSE(nullDetails->datosRespuesta);
}

TEST(DirectPaymentResponseDecoding, DetailsDecodeOnlyWhatIsSentAndIgnoreUnknownKeys) {
    const auto answer = DirectPaymentResponse::fromJSON(
        R"({"extra":[1,{"a":null}],"code":0,"desc":"OK",)"
        R"("datosRespuesta":{"Ds_Response":"0000","Ds_Unknown":1e400,"Ds_Order":null}})");
    ASSERT_TRUE(answer);
    DatosRespuesta expected = noDetails();
    expected.Ds_Response = "0000";
    EXPECT_EQ(answer->datosRespuesta, expected);

    const DirectPaymentResponseOK accepted(*answer);
    EXPECT_EQ(accepted.code, 0);
    EXPECT_EQ(accepted.desc, "OK");
    EXPECT_EQ(accepted.Ds_Response, "0000");
    EXPECT_EQ(accepted.toJSON(),
              R"({"code":0,"desc":"OK","Ds_Card_Country":"","Ds_Amount":"","Ds_MerchantData":"",)"
              R"("Ds_Currency":"","Ds_Order":"","Ds_MerchantCode":"","Ds_Card_Type":"",)"
              R"("Ds_Card_Brand":"","Ds_AuthorisationCode":"","Ds_Language":"",)"
              R"("Ds_SecurePayment":"","Ds_Response":"0000","Ds_TransactionType":"",)"
              R"("Ds_Terminal":"","Ds_ExpiryDate":"","Ds_Merchant_Identifier":"",)"
              R"("Ds_CardNumber":""})");
}

TEST(DirectPaymentResponseDecoding, EveryDetailMustBeTextOrNull) {
    for (const std::string_view key : kDetailKeys) {
        const std::string name(key);
        SCOPED_TRACE(name);
        for (const char* wrong : {"0", "1e400", "true", "{}", "[\"0000\"]"}) {
            EXPECT_FALSE(
                DirectPaymentResponse::fromJSON(answerWithDetails(objectOf({{name, wrong}}))))
                << wrong;
            EXPECT_FALSE(DatosRespuesta::fromJSON(objectOf({{name, wrong}}))) << wrong;
        }
        EXPECT_TRUE(DirectPaymentResponse::fromJSON(answerWithDetails(objectOf({{name, "null"}}))));
        const auto text = DatosRespuesta::fromJSON(objectOf({{name, "\"v\""}}));
        ASSERT_TRUE(text);
        EXPECT_EQ(text->toJSON(), objectOf({{name, "\"v\""}}));
    }
    EXPECT_FALSE(DirectPaymentResponse::fromJSON(answerWithDetails("\"0000\"")));
    EXPECT_FALSE(DirectPaymentResponse::fromJSON(answerWithDetails("[]")));
}

TEST(DirectPaymentResponseDecoding, CodeIsAWholeNumberInRangeAndDescARequiredText) {
    testing::expectTheCodeRule<DirectPaymentResponse>({{"code", "0"}, {"desc", "\"\""}});
    EXPECT_FALSE(DirectPaymentResponse::fromJSON(R"({"desc":"OK"})"));
    EXPECT_FALSE(DirectPaymentResponse::fromJSON(R"({"code":0})"));
    EXPECT_FALSE(DirectPaymentResponse::fromJSON(R"({"code":0,"desc":null})"));
    EXPECT_FALSE(DirectPaymentResponse::fromJSON(R"({"code":0,"desc":0})"));
}

TEST(DirectPaymentResponseDecoding, RejectsWhatIsNotOneJsonObjectWithoutThrowing) {
    // A control character must be escaped inside a JSON string, the NUL byte too.
    constexpr char kRawNul[] = "{\"code\":0,\"desc\":\"a\0b\"}";
    const std::vector<std::string> broken{
        "",
        "[]",
        R"([{"code":0,"desc":"OK"}])",
        R"("{\"code\":0,\"desc\":\"OK\"}")",
        "null",
        R"({"code":0,"desc":"OK")",
        R"({"code":0,"desc":"OK"} {})",
        R"({"code":0,"desc":"OK",})",
        "{\"code\":0,\"desc\":\"\xff\"}",
        "{\"code\":0,\"desc\":\"\xc3\"}",
        "{\"code\":0,\"desc\":\"\xed\xa0\x80\"}",
        R"({"code":0,"desc":"\ud800"})",
        std::string(kRawNul, sizeof kRawNul - 1),
        std::string(100000, '['),
    };
    for (const std::string& text : broken) {
        SCOPED_TRACE(text.substr(0, 40));
        EXPECT_NO_THROW({
            EXPECT_FALSE(DirectPaymentResponse::fromJSON(text));
            EXPECT_FALSE(DatosRespuesta::fromJSON(text));
            EXPECT_FALSE(DirectPaymentResponseOK::fromJSON(text));
        });
    }
}

TEST(DirectPaymentResponseEncoding, WritesPresentValuesCompactlyWithEscapedSolidus) {
    DatosRespuesta details = noDetails();
    details.Ds_Order = "a/b";
    details.Ds_Response = "0000";
    EXPECT_EQ(
        DirectPaymentResponse(details, 0, "OK").toJSON(),
        R"({"datosRespuesta":{"Ds_Order":"a\/b","Ds_Response":"0000"},"code":0,"desc":"OK"})");
    EXPECT_EQ(DirectPaymentResponse(std::nullopt, -1, "Error/1").toJSON(),
              R"({"code":-1,"desc":"Error\/1"})");
    EXPECT_EQ(noDetails().toJSON(), "{}");

    details.Ds_CardNumber = "\xff";
    EXPECT_EQ(details.toJSON(), "");
    EXPECT_EQ(DirectPaymentResponse(details, 0, "OK").toJSON(), "");
}

TEST(DirectPaymentResponseEncoding, RoundTripKeepsEveryField) {
    const DirectPaymentResponse full(fullDetails(), INT64_MIN, "Operación / \"autorizada\"");
    EXPECT_EQ(DirectPaymentResponse::fromJSON(full.toJSON()), full);
    EXPECT_EQ(DatosRespuesta::fromJSON(fullDetails().toJSON()), fullDetails());

    const DirectPaymentResponse bare(std::nullopt, 0, "");
    EXPECT_EQ(DirectPaymentResponse::fromJSON(bare.toJSON()), bare);
}

TEST(DirectPaymentResponseOKRecord, TakesEveryDetailOrEmptyText) {
    const DirectPaymentResponseOK accepted(DirectPaymentResponse(fullDetails(), 0, "OK"));
    EXPECT_EQ(accepted,
              DirectPaymentResponseOK(0, "OK", "724", "1999", "pedido/7 \"especial\"", "978",
                                      "1234ABCD", "999008881", "C", "VISA", "A1B2C3", "2", "1",
                                      "0000", "0", "3", "2912", "ident\\42", "454881******0004 ñ"));

    const DirectPaymentResponseOK bare(DirectPaymentResponse(std::nullopt, 0, "Sin datos"));
    EXPECT_EQ(bare, DirectPaymentResponseOK(0, "Sin datos", "", "", "", "", "", "", "", "", "", "",
                                            "", "", "", "", "", "", ""));
}

TEST(DirectPaymentResponseOKRecord, DecodingNeedsAllNineteenKeysWithTheirTypes) {
    Members members{{"code", "0"}, {"desc", "\"OK\""}};
    for (const std::string_view key : kDetailKeys) {
        members.emplace_back(std::string(key), "\"" + std::string(key) + "\"");
    }
    const auto complete = DirectPaymentResponseOK::fromJSON(objectOf(members));
    ASSERT_TRUE(complete);
    EXPECT_EQ(complete->Ds_Card_Country, "Ds_Card_Country");
    EXPECT_EQ(complete->Ds_CardNumber, "Ds_CardNumber");

    testing::expectEveryMemberRequired<DirectPaymentResponseOK>(members);
    testing::expectTheCodeRule<DirectPaymentResponseOK>(members);
}

TEST(DirectPaymentResponseOKRecord, RoundTripKeepsEveryField) {
    const DirectPaymentResponseOK accepted(DirectPaymentResponse(fullDetails(), 7, "a/b"));
    const std::string json = accepted.toJSON();
    EXPECT_NE(json.find(R"("Ds_MerchantData":"pedido\/7 \"especial\"")"), std::string::npos);
    EXPECT_EQ(DirectPaymentResponseOK::fromJSON(json), accepted);
}

}  // namespace
}  // namespace vanto
