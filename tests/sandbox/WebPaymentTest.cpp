// The signature service and the hosted payment page.

#include <regex>

#include <nlohmann/json.hpp>

#include "SandboxTestSupport.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/Encode.h"
#include "vanto/text/Base64.h"
#include "vanto/text/UrlText.h"
#include "vanto/web/Parameters.h"

namespace vanto::sandbox::testing {
namespace {

constexpr const char* kDataError = "Error en datos enviados. Contacte con su comercio";

std::string encoded(const std::string& text) {
    return safeAddingPercentEncoding(text, rfc3986Unreserved()).value_or("");
}

/// The form that the library posts to the payment page.
std::string pageForm(const std::string& version, const std::string& signature,
                     const std::string& parameters) {
    return "Ds_SignatureVersion=" + encoded(version) + "&Ds_Signature=" + encoded(signature) +
           "&Ds_MerchantParameters=" + encoded(parameters);
}

class WebPaymentTest : public SandboxTest {
  protected:
    httplib::Result openPage(const std::string& order, const std::string& identifier = "") {
        const WebViewPaymentResponse signedParameters = signWebPayment(order, identifier);
        if (!signedParameters.datosPeticion) {
            ADD_FAILURE() << "the signature service did not sign order " << order;
            return client_->Get(kPagePath);
        }
        const vanto::datosPeticion& fields = *signedParameters.datosPeticion;
        return client_->Post(
            kPagePath,
            pageForm(fields.Ds_SignatureVersion, fields.Ds_Signature, fields.Ds_MerchantParameters),
            kFormType);
    }

    static std::string pageIdOf(const std::string& html) {
        std::smatch match;
        return std::regex_search(html, match,
                                 std::regex(R"re(name="pagina" value="([0-9a-f]+)")re"))
                   ? match[1].str()
                   : "";
    }

    httplib::Result submit(const std::string& pageId, const std::string& number,
                           const std::string& action = "pagar") {
        return client_->Post("/sandbox/pago",
                             "pagina=" + pageId + "&numero=" + encoded(number) +
                                 "&caducidad=12%2F29&cvv=123&accion=" + action,
                             kFormType);
    }

    /// Opens the page of a new order and submits `number`; the answer must be a redirection.
    std::string payOnPage(const std::string& order, const std::string& number,
                          const std::string& identifier = "", const std::string& action = "pagar") {
        const httplib::Result page = openPage(order, identifier);
        if (!page || page->status != 200) {
            ADD_FAILURE() << "no payment page for order " << order;
            return "";
        }
        const httplib::Result answer = submit(pageIdOf(page->body), number, action);
        if (!answer || answer->status != 303) {
            ADD_FAILURE() << "the card form did not redirect for order " << order;
            return "";
        }
        return answer->get_header_value("Location");
    }

    /// Checks the shape and signature of a return address and reads its result the way the
    /// library's presenter does.
    static Parameters resultAt(const std::string& location, const std::string& expectedStart) {
        std::smatch match;
        const bool shaped = std::regex_match(
            location, match,
            std::regex(
                "(.*?)[?&]Ds_SignatureVersion=HMAC_SHA256_V1&Ds_MerchantParameters=([A-Za-z0-9+/]"
                "+={0,2})&Ds_Signature=([A-Za-z0-9+/]+={0,2})"));
        if (!shaped) {
            ADD_FAILURE() << "unexpected return address " << location;
            return {};
        }
        EXPECT_EQ(match[1].str(), expectedStart);
        EXPECT_EQ(match[3].str(),
                  hmacBase64(SandboxGateway::defaultMerchant().pageSecret, match[2].str()));
        const auto text = parseJsonString(getUrlParams(location)["Ds_MerchantParameters"]);
        const auto parameters = text ? Parameters::fromJSON(*text) : std::nullopt;
        if (!parameters) {
            ADD_FAILURE() << "unreadable result in " << location;
            return {};
        }
        return *parameters;
    }
};

TEST_F(WebPaymentTest, SignatureServiceSignsTheOrderParametersWithThePageSecret) {
    const WebViewPaymentResponse response = signWebPayment("WEB0001");
    ASSERT_EQ(response.code, 0) << response.desc;
    ASSERT_TRUE(response.datosPeticion);
    const vanto::datosPeticion& fields = *response.datosPeticion;
    EXPECT_EQ(fields.Ds_SignatureVersion, "HMAC_SHA256_V1");
    EXPECT_EQ(fields.Ds_Signature, hmacBase64(SandboxGateway::defaultMerchant().pageSecret,
                                              fields.Ds_MerchantParameters));
    const std::optional<std::string> decoded = base64Decode(fields.Ds_MerchantParameters);
    ASSERT_TRUE(decoded);
    const nlohmann::json parameters = nlohmann::json::parse(*decoded, nullptr, false);
    ASSERT_TRUE(parameters.is_object());
    EXPECT_EQ(parameters.value("Ds_Merchant_Order", ""), "WEB0001");
    EXPECT_EQ(parameters.value("Ds_Merchant_Amount", ""), "1999");
    EXPECT_EQ(parameters.value("Ds_Merchant_MerchantCode", ""), "999008881");
    EXPECT_EQ(parameters.value("Ds_Merchant_UrlOK", ""), "REDIR_URL_OK");
    EXPECT_EQ(parameters.value("Ds_Merchant_ProductDescription", ""), "Libro de pruebas");
}

TEST_F(WebPaymentTest, SignatureServiceRefusesAWrongSignature) {
    VantoConfiguration::shared().setAppLicense("not-the-credential");
    const WebViewPaymentResponse response = signWebPayment("WEB0002");
    EXPECT_EQ(response.desc, "Firma incorrecta");
    EXPECT_NE(response.code, 0);
    EXPECT_FALSE(response.datosPeticion);
}

TEST_F(WebPaymentTest, PageRefusesTamperedOrUnreadableData) {
    const WebViewPaymentResponse response = signWebPayment("WEB0003");
    ASSERT_TRUE(response.datosPeticion);
    const vanto::datosPeticion& fields = *response.datosPeticion;
    std::string otherSignature = fields.Ds_Signature;
    otherSignature[0] = otherSignature[0] == 'A' ? 'B' : 'A';
    const std::string otherParameters = base64Encode(R"({"Ds_Merchant_Order":"WEB0003",)"
                                                     R"("Ds_Merchant_Amount":"1",)"
                                                     R"("Ds_Merchant_MerchantCode":"999008881",)"
                                                     R"("Ds_Merchant_Terminal":"1"})");
    const std::vector<std::string> forms = {
        pageForm(fields.Ds_SignatureVersion, otherSignature, fields.Ds_MerchantParameters),
        pageForm(fields.Ds_SignatureVersion, fields.Ds_Signature, otherParameters),
        pageForm("HMAC_SHA512_V2", fields.Ds_Signature, fields.Ds_MerchantParameters),
        pageForm(fields.Ds_SignatureVersion, fields.Ds_Signature, "no es base64"),
        "",
    };
    for (const std::string& form : forms) {
        const httplib::Result page = client_->Post(kPagePath, form, kFormType);
        ASSERT_TRUE(page);
        EXPECT_NE(page->body.find(kDataError), std::string::npos) << form;
        EXPECT_EQ(page->body.find("card-number"), std::string::npos) << form;
    }
}

TEST_F(WebPaymentTest, PageShowsASpanishCardFormForGenuineData) {
    const httplib::Result page = openPage("WEB0004");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->get_header_value("Content-Type").find("charset=utf-8"), std::string::npos);
    for (const char* expected :
         {"<meta charset=\"utf-8\">", "id=\"card-number\"", "id=\"card-expiry\"", "id=\"card-cvv\"",
          "id=\"pay-button\"", ">Pagar<", "MM/AA", "WEB0004", "19,99 €"}) {
        EXPECT_NE(page->body.find(expected), std::string::npos) << expected;
    }
    EXPECT_FALSE(pageIdOf(page->body).empty());
}

TEST_F(WebPaymentTest, AcceptedCardReturnsToUrlOkWithTheSignedResult) {
    VantoConfiguration::shared().setAppURLOK("https://tienda.example/ok");
    VantoConfiguration::shared().setAppURLKO("https://tienda.example/ko");
    const std::string location = payOnPage("WEB0005", "4000 0000 0000 0002");
    const Parameters result = resultAt(location, "https://tienda.example/ok");
    EXPECT_EQ(result.Ds_Response, "0000");
    EXPECT_TRUE(
        std::regex_match(result.Ds_AuthorisationCode.value_or(""), std::regex("[0-9A-Z]{6}")));
    EXPECT_EQ(result.Ds_Card_Number, "400000******0002");
    EXPECT_EQ(result.Ds_ExpiryDate, "2912");
    EXPECT_EQ(result.Ds_Order, "WEB0005");
    EXPECT_EQ(result.Ds_Amount, "1999");
    EXPECT_EQ(result.Ds_Currency, "978");
    EXPECT_EQ(result.Ds_MerchantCode, "999008881");
    EXPECT_EQ(result.Ds_Terminal, "1");
    EXPECT_EQ(result.Ds_TransactionType, "0");
    EXPECT_EQ(result.Ds_MerchantData, "datos del comercio");
    EXPECT_EQ(result.Ds_Merchant_Identifier, "");
    EXPECT_TRUE(std::regex_match(result.Ds_Date.value_or(""), std::regex(R"(\d\d/\d\d/\d{4})")));
    EXPECT_TRUE(std::regex_match(result.Ds_Hour.value_or(""), std::regex(R"(\d\d:\d\d)")));
}

TEST_F(WebPaymentTest, DeclinedOrCancelledPaymentReturnsToUrlKo) {
    VantoConfiguration::shared().setAppURLOK("https://tienda.example/ok");
    VantoConfiguration::shared().setAppURLKO("https://tienda.example/ko?tienda=1");
    const Parameters declined =
        resultAt(payOnPage("WEB0006", "4000000000000010"), "https://tienda.example/ko?tienda=1");
    EXPECT_EQ(declined.Ds_Response, "0190");
    EXPECT_EQ(declined.Ds_AuthorisationCode, "");

    const Parameters cancelled =
        resultAt(payOnPage("WEB0007", "", "", "cancelar"), "https://tienda.example/ko?tienda=1");
    EXPECT_EQ(cancelled.Ds_Response, "9915");
}

TEST_F(WebPaymentTest, PlaceholderReturnAddressLeadsToAPageOfTheSandbox) {
    const std::string location = payOnPage("WEB0008", "4000000000000002");
    const std::string page = "https://" + gateway_->authority() + "/sandbox/REDIR_URL_OK";
    EXPECT_EQ(resultAt(location, page).Ds_Response, "0000");

    const httplib::Result shown = client_->Get(location.substr(location.find("/sandbox/")));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->status, 200);
    EXPECT_NE(shown->body.find("Pago autorizado"), std::string::npos);
    EXPECT_NE(shown->body.find("400000******0002"), std::string::npos);
}

TEST_F(WebPaymentTest, InvalidCardIsAskedForAgainAndAPagePaysOnce) {
    const httplib::Result page = openPage("WEB0009");
    ASSERT_TRUE(page);
    const std::string pageId = pageIdOf(page->body);

    const httplib::Result retry = submit(pageId, "4000000000000003");
    ASSERT_TRUE(retry);
    EXPECT_EQ(retry->status, 200);
    EXPECT_NE(retry->body.find("id=\"form-problem\""), std::string::npos);
    EXPECT_EQ(retry->body.find("4000000000000003"), std::string::npos);
    EXPECT_EQ(pageIdOf(retry->body), pageId);

    const httplib::Result paid = submit(pageId, "4000000000000002");
    ASSERT_TRUE(paid);
    EXPECT_EQ(paid->status, 303);
    const httplib::Result again = submit(pageId, "4000000000000002");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200);
    EXPECT_FALSE(again->has_header("Location"));
}

TEST_F(WebPaymentTest, PageKeepsACardOnRequestAndPaysWithItLater) {
    const std::string& required = VantoConfiguration::shared().REQUEST_REFERENCE();
    const std::string first = payOnPage("WEB0010", "4000000000000002", required);
    const std::string page = "https://" + gateway_->authority() + "/sandbox/REDIR_URL_OK";
    const std::string reference = resultAt(first, page).Ds_Merchant_Identifier.value_or("");
    ASSERT_FALSE(reference.empty());

    const httplib::Result stored = openPage("WEB0011", reference);
    ASSERT_TRUE(stored);
    EXPECT_NE(stored->body.find("400000******0002"), std::string::npos);
    const httplib::Result paid = submit(pageIdOf(stored->body), "");
    ASSERT_TRUE(paid);
    const Parameters result = resultAt(paid->get_header_value("Location"), page);
    EXPECT_EQ(result.Ds_Response, "0000");
    EXPECT_EQ(result.Ds_Merchant_Identifier, reference);
}

}  // namespace
}  // namespace vanto::sandbox::testing
