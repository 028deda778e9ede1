// The direct-payment service: test cards, references, request checks and the session cookie; and
// the outcome switches of both services.

#include <regex>

#include "SandboxTestSupport.h"
#include "TestRows.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/text/UrlText.h"

namespace vanto::sandbox::testing {
namespace {

using DirectPaymentTest = SandboxTest;

TEST_F(DirectPaymentTest, EachCardGetsItsOwnAnswerAndAnAuthorisedOneEchoesThePayment) {
    for (const auto& row : vanto::testing::readTestRows("sandbox-cards.txt")) {
        const std::string& pan = *row.at(0);
        const std::optional<std::string>& masked = row.at(3);
        SCOPED_TRACE(pan);
        // An order pays once: each card pays an order of its own.
        const std::string order = "DIR" + pan.substr(12);
        const DirectPaymentResponse response = pay(pan, order);
        EXPECT_EQ(response.code, std::stoll(*row.at(1)));
        EXPECT_FALSE(response.desc.empty());
        ASSERT_EQ(response.datosRespuesta.has_value(), row.at(2).has_value());
        if (!row[2]) {
            continue;
        }
        const DatosRespuesta& details = *response.datosRespuesta;
        EXPECT_EQ(details.Ds_Response, *row[2]);
        if (!masked) {
            EXPECT_EQ(details.Ds_AuthorisationCode, "");
            continue;
        }
        EXPECT_EQ(response.desc, "Operación autorizada");
        expectAcceptedEcho(details, order);
        EXPECT_EQ(details.Ds_CardNumber, *masked);
    }
}

TEST_F(DirectPaymentTest, ReferencesComeWithTheReferenceCardOrOnRequestAndPayWithoutCardData) {
    const DirectPaymentResponse first = pay("4000000000000028", "REF0001");
    ASSERT_TRUE(first.datosRespuesta);
    EXPECT_EQ(first.datosRespuesta->Ds_Response, "0000");
    const std::string reference = first.datosRespuesta->Ds_Merchant_Identifier.value_or("");
    ASSERT_FALSE(reference.empty());
    const DirectPaymentResponse second = pay("", "REF0002", reference);
    ASSERT_TRUE(second.code == 0 && second.datosRespuesta) << second.desc;
    const DatosRespuesta& paid = *second.datosRespuesta;
    EXPECT_EQ(std::tie(paid.Ds_Response, paid.Ds_Merchant_Identifier, paid.Ds_CardNumber),
              std::tie("0000", reference, "400000******0028"));
    EXPECT_FALSE(paid.Ds_AuthorisationCode.value_or("").empty());

    // Asked for, a reference comes only with an accepted payment (which cli.payments asks for).
    const std::string& required = VantoConfiguration::shared().REQUEST_REFERENCE();
    const DirectPaymentResponse declined = pay("4000000000000010", "REF0004", required);
    ASSERT_TRUE(declined.datosRespuesta);
    EXPECT_EQ(declined.datosRespuesta->Ds_Merchant_Identifier, "");
}

TEST_F(DirectPaymentTest, UnknownReferenceOrOneOfAnotherMerchantIsRefused) {
    EXPECT_EQ(pay("", "REF0005", "0123456789abcdef0123456789abcdef01234567").code, 9904);
    const DirectPaymentResponse other = pay("4000000000000028", "REF0006");
    ASSERT_TRUE(other.datosRespuesta);
    gateway_->addMerchant({"111222333", "1", "otra-credencial", "otra-clave"});
    VantoConfiguration::shared().setAppFuc("111222333");
    VantoConfiguration::shared().setAppLicense("otra-credencial");
    const auto response = serviceAnswer(postService(
        kDirectPath,
        directRequest("", "REF0007", other.datosRespuesta->Ds_Merchant_Identifier.value_or(""))));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->code, 9904);
}

TEST_F(DirectPaymentTest, OutcomeSwitchesReplaceTheAnswerOfBothServicesWhateverTheCard) {
    for (const auto& row : vanto::testing::readTestRows("sandbox-outcomes.txt")) {
        const std::string& switched = *row.at(0);
        const std::optional<std::string>& authorisation = row.at(2);
        SCOPED_TRACE(switched);
        const auto expectOutcome = [&](const auto& fields, const std::string& order) {
            EXPECT_EQ(fields.Ds_Response, row.at(1));
            if (authorisation == "code") {
                EXPECT_TRUE(
                    std::regex_match(fields.Ds_AuthorisationCode.value_or(""), kAuthorisationCode));
            } else {
                EXPECT_EQ(fields.Ds_AuthorisationCode, authorisation);
            }
            EXPECT_EQ(fields.Ds_Order, order);
        };
        // The declined card too: the switch decides, not the card. An order pays once: each
        // payment has an order of its own.
        for (const std::string suffix : {"-A", "-B"}) {
            const std::string order = switched + suffix;
            const DirectPaymentResponse response =
                pay(suffix == "-A" ? "4000000000000002" : "4000000000000010", order);
            ASSERT_TRUE(response.datosRespuesta) << order;
            expectOutcome(*response.datosRespuesta, order);
        }
        const std::string onPage = switched + "-W";
        expectOutcome(resultAt(locationOf(payOnPage(onPage, "4000000000000002")),
                               placeholderPage(row.at(3) == "ok")),
                      onPage);
    }
    const DirectPaymentResponse noDetails = pay("4000000000000002", "OUTCOME_NODATOS");
    EXPECT_TRUE(noDetails.code == 0 && !noDetails.desc.empty() && !noDetails.datosRespuesta);
    EXPECT_EQ(resultAt(locationOf(payOnPage("OUTCOME_NODATOS-W", "4000000000000002")),
                       placeholderPage(true))
                  .Ds_Response,
              "0000")
        << "a direct payment's switch only";
    EXPECT_EQ(pay("4000000000000003", "OUTCOME_0099-2").code, 9905) << "card data still checked";
}

// Requests that the sandbox refuses still get status 200 and a signed envelope with an error
// code and a Spanish text, never payment details.
class RefusedRequestTest : public SandboxTest {
  protected:
    DirectPaymentResponse refusal(const httplib::Result& result) {
        const std::optional<DirectPaymentResponse> response = serviceAnswer(result);
        if (!response) {
            ADD_FAILURE() << "no readable refusal";
            return {std::nullopt, 0, ""};
        }
        EXPECT_EQ(response->datosRespuesta.has_value(), response->code == 0);
        return *response;
    }
    DirectPaymentResponse refusal(const std::string& envelope) {
        return refusal(postService(kDirectPath, envelope));
    }
};

TEST_F(RefusedRequestTest, WrongSignatureChangedMessageOrUnknownMerchant) {
    std::string request = directRequest("4000000000000002", "BAD0001");
    const std::size_t signatureEnd = request.rfind('"');
    request[signatureEnd - 1] = request[signatureEnd - 1] == '0' ? '1' : '0';
    const DirectPaymentResponse wrongSignature = refusal(request);
    EXPECT_TRUE(wrongSignature.code == 9903 && wrongSignature.desc == "Firma incorrecta");

    std::string changed = directRequest("4000000000000002", "BAD0002");
    changed.replace(changed.find("1999"), 4, "0001");
    EXPECT_EQ(refusal(changed).code, 9903);

    VantoConfiguration::shared().setAppTerminal("2");
    const DirectPaymentResponse unknown = refusal(directRequest("4000000000000002", "BAD0003"));
    EXPECT_TRUE(unknown.code == 9902 && unknown.desc == "Comercio desconocido") << unknown.desc;
}

TEST_F(RefusedRequestTest, OnlyAFormBodyWithASignedMessageIsRead) {
    for (const std::string body :
         {"", "{", R"({"mensaje":"{}"})", R"({"mensaje":"[]","firma":"x"})",
          R"({"mensaje":1,"firma":"x"})"}) {
        const DirectPaymentResponse response = refusal(body);
        EXPECT_TRUE(response.code == 9901 && response.desc == "Datos de entrada incorrectos")
            << body << ": " << response.code << " " << response.desc;
    }
    const std::string request = directRequest("4000000000000002", "BAD0004");
    EXPECT_EQ(refusal(client_->Post(kDirectPath, request, kFormType)).code, 9901)
        << "without the datoEntrada= key";
    for (const char* type : {"application/json", "text/plain", "multipart/form-data"}) {
        EXPECT_EQ(refusal(client_->Post(kDirectPath, "datoEntrada=" + request, type)).code, 9901)
            << type;
    }
    EXPECT_EQ(refusal(client_->Post(kDirectPath, "datoEntrada=" + request,
                                    "Application/X-WWW-Form-Urlencoded; charset=UTF-8"))
                  .code,
              0);
    const std::string tooLong = "datoEntrada=" + request + std::string(1024 * 1024, ' ');
    EXPECT_EQ(refusal(client_->Post(kDirectPath, tooLong, kFormType)).code, 9901);
    // Form characters and a body beyond eight kilobytes are no reason to refuse.
    for (const std::string& description :
         {std::string("Libro+CD & DVD=50% /oferta"), std::string(10000, 'x')}) {
        const std::string order = "DIR" + std::to_string(description.size());
        EXPECT_EQ(refusal(directRequest("4000000000000002", order, "", description)).code, 0);
    }
}

/// The signed message of `request` with a member `levels` arrays deep added to its object `in`.
std::string withNestedMember(const std::string& request, const std::string& in, int levels) {
    std::string mensaje = readEnvelope(request)->mensaje;
    const std::string opening = "\"" + in + "\":{";
    mensaje.insert(mensaje.find(opening) + opening.size(),
                   "\"hondo\":" + std::string(levels, '[') + std::string(levels, ']') + ",");
    return signedText(mensaje);
}

TEST_F(RefusedRequestTest, DocumentsNestedTooDeeplyAreRefusedUnreadAndTheSandboxLivesOn) {
    // 300,000 levels in some 600 KB, within the size a body may have: far more than a thread's
    // stack holds when the document is walked recursively.
    constexpr int kTooDeep = 300000;
    EXPECT_EQ(refusal(withNestedMember(directRequest("4000000000000002", "DEEP01"), "datosPeticion",
                                       kTooDeep))
                  .code,
              9901);
    EXPECT_EQ(
        refusal(withNestedMember(directRequest("4000000000000002", "DEEP02"), "datosPeticion", 60))
            .code,
        0)
        << "a depth within the limit is read";
    const auto signature = serviceAnswer(postService(
        kSignaturePath, withNestedMember(webRequest("DEEP03"), "parametros", kTooDeep)));
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->code, 9901);

    EXPECT_EQ(pay("4000000000000002", "DEEP04").code, 0) << "still serving";
}

TEST_F(RefusedRequestTest, EveryMemberOfTheMessageMustBeAText) {
    expectEveryMemberRequired(kDirectPath, directRequest("4000000000000002", "BAD0005"),
                              "datosPeticion", 4 + 17);
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
    const auto issuedBy = [](const httplib::Result& answer) {
        return answer ? cookieValue(answer->get_header_value("Set-Cookie")) : "no answer";
    };
    const std::string issued =
        issuedBy(postService(kDirectPath, directRequest("4000000000000002", "C1")));
    EXPECT_EQ(issuedBy(postService(kSignaturePath, "{}",
                                   {{"Cookie", "other=1; VANTOSANDBOX=" + issued}})),
              issued);
    const std::string fresh =
        issuedBy(postService(kDirectPath, directRequest("4000000000000002", "C3"),
                             {{"Cookie", "VANTOSANDBOX=00000000000000000000000000000000"}}));
    EXPECT_NE(fresh, issued);
    EXPECT_NE(fresh, "00000000000000000000000000000000");

    const std::vector<RecordedRequest> recorded = gateway_->requests();
    ASSERT_EQ(recorded.size(), 3u);
    EXPECT_FALSE(recorded[0].carriedSessionCookie);
    EXPECT_TRUE(recorded[1].carriedSessionCookie);
    EXPECT_FALSE(recorded[2].carriedSessionCookie);
}

}  // namespace
}  // namespace vanto::sandbox::testing
