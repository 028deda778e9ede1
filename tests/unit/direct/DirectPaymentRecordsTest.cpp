#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordTestSupport.h"

#include "vanto/direct/DirectPaymentResponse.h"

namespace vanto {
namespace {

using testing::Members;
using testing::objectOf;

// An accepted payment whose answer had only a response code: every detail key, in wire order.
constexpr const char* kAcceptedWithOnlyAResponse =
    R"({"code":0,"desc":"OK","Ds_Card_Country":"","Ds_Amount":"","Ds_MerchantData":"",)"
    R"("Ds_Currency":"","Ds_Order":"","Ds_MerchantCode":"","Ds_Card_Type":"",)"
    R"("Ds_Card_Brand":"","Ds_AuthorisationCode":"","Ds_Language":"",)"
    R"("Ds_SecurePayment":"","Ds_Response":"0000","Ds_TransactionType":"",)"
    R"("Ds_Terminal":"","Ds_ExpiryDate":"","Ds_Merchant_Identifier":"",)"
    R"("Ds_CardNumber":""})";

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

TEST(DirectPaymentResponseDecoding, DetailsDecodeOnlyWhatIsSentAndIgnoreUnknownKeys) {
    const auto answer = DirectPaymentResponse::fromJSON(
        R"({"extra":[1,{"a":null}],"code":0,"desc":"OK",)"
        R"("datosRespuesta":{"Ds_Response":"0000","Ds_Unknown":1e400,"Ds_Order":null}})");
    ASSERT_TRUE(answer);
    DatosRespuesta expected = noDetails();
    expected.Ds_Response = "0000";
    EXPECT_EQ(answer->datosRespuesta, expected);
    EXPECT_EQ(DirectPaymentResponse::fromJSON(R"({"datosRespuesta":null,"code":190,"desc":"x"})"),
              DirectPaymentResponse(std::nullopt, 190, "x"));

    const DirectPaymentResponseOK accepted(*answer);
    EXPECT_EQ(accepted.toJSON(), kAcceptedWithOnlyAResponse);
}

TEST(DirectPaymentResponseDecoding, EveryDetailMustBeTextOrNull) {
    testing::expectOptionalTextMembers<DatosRespuesta, DirectPaymentResponse>(
        testing::membersOf(kAcceptedWithOnlyAResponse), "datosRespuesta");
}

TEST(DirectPaymentResponseDecoding, CodeIsAWholeNumberInRangeAndDescARequiredText) {
    testing::expectTheCodeRule<DirectPaymentResponse>({{"code", "0"}, {"desc", "\"\""}});
    testing::expectEveryMemberRequired<DirectPaymentResponse>({{"code", "0"}, {"desc", "\"\""}});
}

TEST(DirectPaymentResponseDecoding, RejectsWhatIsNotOneJsonObjectWithoutThrowing) {
    testing::expectOnlyOneJsonObjectDecodes<DirectPaymentResponse, DatosRespuesta,
                                            DirectPaymentResponseOK>();
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
    const Members members = testing::membersOf(kAcceptedWithOnlyAResponse);
    testing::expectEveryMemberRequired<DirectPaymentResponseOK>(members);
    testing::expectTheCodeRule<DirectPaymentResponseOK>(members);
}

TEST(DirectPaymentResponseOKRecord, PrintsEveryFieldWithTheCardDataMasked) {
    DirectPaymentResponseOK accepted(DirectPaymentResponse(fullDetails(), 7, "a/b"));
    accepted.Ds_CardNumber = "454881******0004";
    DirectPaymentResponseOK printed = accepted;
    printed.Ds_ExpiryDate = "****";
    printed.Ds_CardNumber = "************0004";
    EXPECT_EQ(DirectPaymentResponseOK::fromJSON(accepted.toJSON()), printed);
}

}  // namespace
}  // namespace vanto
