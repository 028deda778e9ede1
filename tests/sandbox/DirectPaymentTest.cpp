// The direct-payment service: test cards, references, request checks, cookies and recording.

#include <regex>
#include <set>

#include "SandboxTestSupport.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/text/CardText.h"

namespace vanto::sandbox::testing {
namespace {

using DirectPaymentTest = SandboxTest;

TEST(TestCards, PassTheLuhnTestAndAreDistinct) {
    std::set<std::string_view> numbers;
    for (const TestCard& card : testCards()) {
        EXPECT_TRUE(lunhsTest(card.number)) << card.number;
        numbers.insert(card.number);
    }
    EXPECT_EQ(numbers.size(), 4u);
}

TEST_F(DirectPaymentTest, AcceptedCardIsAuthorisedAndTheOrderEchoed) {
    const DirectPaymentResponse response = pay("4000000000000002", "DIR0001");
    ASSERT_EQ(response.code, 0);
    ASSERT_TRUE(response.datosRespuesta);
    const DatosRespuesta& details = *response.datosRespuesta;
    EXPECT_EQ(details.Ds_Response, "0000");
    EXPECT_TRUE(
        std::regex_match(details.Ds_AuthorisationCode.value_or(""), std::regex("[0-9A-Z]{6}")));
    EXPECT_EQ(details.Ds_CardNumber, "400000******0002");
    EXPECT_EQ(details.Ds_ExpiryDate, "2912");
    EXPECT_EQ(details.Ds_Amount, "1999");
    EXPECT_EQ(details.Ds_Currency, "978");
    EXPECT_EQ(details.Ds_Order, "DIR0001");
    EXPECT_EQ(details.Ds_MerchantCode, "999008881");
    EXPECT_EQ(details.Ds_Terminal, "1");
    EXPECT_EQ(details.Ds_TransactionType, "0");
    EXPECT_EQ(details.Ds_MerchantData, "datos del comercio");
    EXPECT_EQ(details.Ds_Merchant_Identifier, "");
    for (const auto& field :
         {details.Ds_SecurePayment, details.Ds_Language, details.Ds_Card_Country,
          details.Ds_Card_Brand, details.Ds_Card_Type}) {
        EXPECT_FALSE(field.value_or("").empty());
    }
}

TEST_F(DirectPaymentTest, DeclinedCardHasResponse0190AndNoAuthorisation) {
    const DirectPaymentResponse response = pay("4000000000000010", "DIR0002");
    ASSERT_EQ(response.code, 0);
    ASSERT_TRUE(response.datosRespuesta);
    EXPECT_EQ(response.datosRespuesta->Ds_Response, "0190");
    EXPECT_EQ(response.datosRespuesta->Ds_AuthorisationCode, "");
}

TEST_F(DirectPaymentTest, GatewayErrorCardAndBadCardDataGiveAnErrorCodeWithoutDetails) {
    for (const std::string pan : {"4000000000000036", "4000000000000003"}) {
        const DirectPaymentResponse response = pay(pan, "DIR0003");
        EXPECT_NE(response.code, 0) << pan;
        EXPECT_FALSE(response.desc.empty()) << pan;
        EXPECT_FALSE(response.datosRespuesta) << pan;
    }
}

TEST_F(DirectPaymentTest, ReferenceCardGivesAReferenceThatLaterPaysWithoutCardData) {
    const DirectPaymentResponse first = pay("4000000000000028", "REF0001");
    ASSERT_TRUE(first.datosRespuesta);
    EXPECT_EQ(first.datosRespuesta->Ds_Response, "0000");
    const std::string reference = first.datosRespuesta->Ds_Merchant_Identifier.value_or("");
    ASSERT_FALSE(reference.empty());

    const DirectPaymentResponse second = pay("", "REF0002", reference);
    ASSERT_EQ(second.code, 0) << second.desc;
    ASSERT_TRUE(second.datosRespuesta);
    EXPECT_EQ(second.datosRespuesta->Ds_Response, "0000");
    EXPECT_EQ(second.datosRespuesta->Ds_Merchant_Identifier, reference);
    EXPECT_EQ(second.datosRespuesta->Ds_CardNumber, "400000******0028");
    EXPECT_FALSE(second.datosRespuesta->Ds_AuthorisationCode.value_or("").empty());
}

TEST_F(DirectPaymentTest, RequiredIdentifierGivesAReferenceOnlyForAnAcceptedPayment) {
    const std::string& required = VantoConfiguration::shared().REQUEST_REFERENCE();
    const DirectPaymentResponse accepted = pay("4000000000000002", "REF0003", required);
    ASSERT_TRUE(accepted.datosRespuesta);
    const std::string reference = accepted.datosRespuesta->Ds_Merchant_Identifier.value_or("");
    EXPECT_FALSE(reference.empty());
    EXPECT_NE(reference, required);

    const DirectPaymentResponse declined = pay("4000000000000010", "REF0004", required);
    ASSERT_TRUE(declined.datosRespuesta);
    EXPECT_EQ(declined.datosRespuesta->Ds_Merchant_Identifier, "");
}

TEST_F(DirectPaymentTest, UnknownReferenceOrOneOfAnotherMerchantIsRefused) {
    EXPECT_NE(pay("", "REF0005", "0123456789abcdef0123456789abcdef01234567").code, 0);

    const DirectPaymentResponse other = pay("4000000000000028", "REF0006");
    ASSERT_TRUE(other.datosRespuesta);
    gateway_->addMerchant({"111222333", "1", "otra-credencial", "otra-clave"});
    VantoConfiguration::shared().setAppFuc("111222333");
    VantoConfiguration::shared().setAppLicense("otra-credencial");
    const httplib::Result result = postService(
        kDirectPath,
        directRequest("", "REF0007", other.datosRespuesta->Ds_Merchant_Identifier.value_or("")));
    ASSERT_TRUE(result);
    const std::optional<Envelope> envelope = readEnvelope(result->body);
    ASSERT_TRUE(envelope);
    const auto response = DirectPaymentResponse::fromJSON(envelope->mensaje);
    ASSERT_TRUE(response);
    EXPECT_NE(response->code, 0);
}

TEST_F(DirectPaymentTest, DescriptionsWithFormCharactersOrBeyondEightKilobytesVerify) {
    EXPECT_EQ(pay("4000000000000002", "DIR0004", "", "Libro+CD & DVD=50% /oferta").code, 0);
    EXPECT_EQ(pay("4000000000000002", "DIR0005", "", std::string(10000, 'x')).code, 0);
}

// Requests that the sandbox refuses still get status 200 and a signed envelope with an error
// code and a Spanish text, never payment details.
class RefusedRequestTest : public SandboxTest {
  protected:
    DirectPaymentResponse refusal(const std::string& envelope) {
        const httplib::Result result = postService(kDirectPath, envelope);
        if (!result || result->status != 200) {
            ADD_FAILURE() << "no answer with status 200";
            return {std::nullopt, 0, ""};
        }
        const std::optional<Envelope> reply = readEnvelope(result->body);
        auto response = reply ? DirectPaymentResponse::fromJSON(reply->mensaje) : std::nullopt;
        if (!response) {
            ADD_FAILURE() << "unreadable refusal: " << result->body;
            return {std::nullopt, 0, ""};
        }
        EXPECT_FALSE(response->datosRespuesta);
        return *response;
    }
};

TEST_F(RefusedRequestTest, WrongSignatureOrMessageChangedAfterSigning) {
    std::string request = directRequest("4000000000000002", "BAD0001");
    const std::size_t signatureEnd = request.rfind('"');
    request[signatureEnd - 1] = request[signatureEnd - 1] == '0' ? '1' : '0';
    const DirectPaymentResponse wrongSignature = refusal(request);
    EXPECT_NE(wrongSignature.code, 0);
    EXPECT_EQ(wrongSignature.desc, "Firma incorrecta");

    std::string changed = directRequest("4000000000000002", "BAD0002");
    changed.replace(changed.find("1999"), 4, "0001");
    EXPECT_EQ(refusal(changed).desc, "Firma incorrecta");
}

TEST_F(RefusedRequestTest, UnknownMerchantOrTerminal) {
    VantoConfiguration::shared().setAppTerminal("2");
    const DirectPaymentResponse response = refusal(directRequest("4000000000000002", "BAD0003"));
    EXPECT_NE(response.code, 0);
    EXPECT_EQ(response.desc, "Comercio desconocido");
}

TEST_F(RefusedRequestTest, BodiesThatAreNotASignedMessage) {
    for (const std::string body :
         {"", "{", R"({"mensaje":"{}"})", R"({"mensaje":"[]","firma":"x"})",
          R"({"mensaje":1,"firma":"x"})"}) {
        const DirectPaymentResponse response = refusal(body);
        EXPECT_NE(response.code, 0) << body;
        EXPECT_EQ(response.desc, "Datos de entrada incorrectos") << body;
    }
    const httplib::Result withoutKey =
        client_->Post(kDirectPath, directRequest("4000000000000002", "BAD0004"), kFormType);
    ASSERT_TRUE(withoutKey);
    const auto reply = readEnvelope(withoutKey->body);
    ASSERT_TRUE(reply);
    const auto response = DirectPaymentResponse::fromJSON(reply->mensaje);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->desc, "Datos de entrada incorrectos");
}

using SessionCookieTest = SandboxTest;

std::string cookieValue(const std::string& setCookie) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(
        setCookie, match, std::regex("VANTOSANDBOX=([0-9a-f]{32}); Path=/; Secure; HttpOnly")))
        << setCookie;
    return match.size() > 1 ? match[1].str() : "";
}

TEST_F(SessionCookieTest, IssuedOnEveryAnswerAndRecognisedWhenSentBack) {
    const httplib::Result first = postService(kDirectPath, directRequest("4000000000000002", "C1"));
    ASSERT_TRUE(first);
    const std::string issued = cookieValue(first->get_header_value("Set-Cookie"));

    const httplib::Result second =
        postService(kSignaturePath, "{}", {{"Cookie", "other=1; VANTOSANDBOX=" + issued}});
    ASSERT_TRUE(second);
    EXPECT_EQ(cookieValue(second->get_header_value("Set-Cookie")), issued);

    const httplib::Result forged =
        postService(kDirectPath, directRequest("4000000000000002", "C3"),
                    {{"Cookie", "VANTOSANDBOX=00000000000000000000000000000000"}});
    ASSERT_TRUE(forged);
    const std::string fresh = cookieValue(forged->get_header_value("Set-Cookie"));
    EXPECT_NE(fresh, issued);
    EXPECT_NE(fresh, "00000000000000000000000000000000");

    const std::vector<RecordedRequest> recorded = gateway_->requests();
    ASSERT_EQ(recorded.size(), 3u);
    EXPECT_FALSE(recorded[0].carriedSessionCookie);
    EXPECT_TRUE(recorded[1].carriedSessionCookie);
    EXPECT_FALSE(recorded[2].carriedSessionCookie);
}

using RecordingTest = SandboxTest;

TEST_F(RecordingTest, KeepsMethodPathHeadersInArrivalOrderAndTheBodyVerbatim) {
    const std::string body = "datoEntrada={\"a\":\"x+y&z=%20\"}";
    const std::string request = std::string("POST ") + kDirectPath +
                                " HTTP/1.1\r\nHost: 127.0.0.1\r\nZ-Last: 1\r\n"
                                "Content-Type: application/x-www-form-urlencoded\r\n"
                                "A-First: 2\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                                body;
    ASSERT_TRUE(rawExchange(gateway_->port(), gateway_->certificatePem(), request));

    const std::vector<RecordedRequest> recorded = gateway_->requests();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].method, "POST");
    EXPECT_EQ(recorded[0].path, kDirectPath);
    EXPECT_EQ(recorded[0].body, body);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Host", "127.0.0.1"},
        {"Z-Last", "1"},
        {"Content-Type", "application/x-www-form-urlencoded"},
        {"A-First", "2"},
        {"Content-Length", std::to_string(body.size())},
        {"Connection", "close"}};
    EXPECT_EQ(recorded[0].headers, expected);
    EXPECT_EQ(recorded[0].header("content-type"), "application/x-www-form-urlencoded");

    gateway_->clearRequests();
    EXPECT_TRUE(gateway_->requests().empty());
}

}  // namespace
}  // namespace vanto::sandbox::testing
