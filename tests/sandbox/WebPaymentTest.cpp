// The signature service and the hosted payment page: entry, card form, page cookie,
// authentication step and the shapes of the return address.

#include <future>
#include <regex>

#include "SandboxTestSupport.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/sandbox/HeadlessBrowser.h"
#include "vanto/text/UrlText.h"

namespace vanto::sandbox::testing {
namespace {

using WebPaymentTest = SandboxTest;

constexpr const char* kDataError = "Error en datos enviados. Contacte con su comercio";

TEST_F(WebPaymentTest, SignatureServiceRefusesAWrongSignatureAndIncompleteMessages) {
    VantoConfiguration::shared().setAppLicense("not-the-credential");
    const WebViewPaymentResponse wrong = signWebPayment("WEB0002");
    EXPECT_TRUE(wrong.code == 9903 && !wrong.datosPeticion);
    VantoConfiguration::shared().setAppLicense(SandboxGateway::defaultMerchant().signingCredential);

    expectEveryMemberRequired(kSignaturePath, webRequest("WEB0003"), "parametros", 6 + 20);
    auto withoutReturn =
        nlohmann::ordered_json::parse(readEnvelope(webRequest("WEB0003"))->mensaje);
    withoutReturn["parametros"]["Ds_Merchant_UrlKO"] = "";
    EXPECT_EQ(serviceAnswer(postService(kSignaturePath, signedEnvelope(withoutReturn)))->code,
              9901);
}

TEST_F(WebPaymentTest, PageRefusesTamperedUnreadableOrIncompleteData) {
    const WebViewPaymentResponse response = signWebPayment("WEB0004");
    ASSERT_TRUE(response.datosPeticion);
    const vanto::datosPeticion& fields = *response.datosPeticion;
    const auto form = [](const std::string& version, const std::string& signature,
                         const std::string& parameters) {
        return pageForm({signature, parameters, version});
    };
    std::string otherSignature = fields.Ds_Signature;
    otherSignature[0] = otherSignature[0] == 'A' ? 'B' : 'A';
    // Signed with the page secret, but four members instead of twenty.
    const std::string incomplete =
        base64Encode(R"({"Ds_Merchant_Order":"WEB0004","Ds_Merchant_Amount":"1",)"
                     R"("Ds_Merchant_MerchantCode":"999008881","Ds_Merchant_Terminal":"1"})");
    const std::string secret = SandboxGateway::defaultMerchant().pageSecret;
    const std::vector<std::string> forms = {
        form(fields.Ds_SignatureVersion, otherSignature, fields.Ds_MerchantParameters),
        form(fields.Ds_SignatureVersion, fields.Ds_Signature, incomplete),
        form(fields.Ds_SignatureVersion, hmacBase64(secret, incomplete), incomplete),
        form("HMAC_SHA512_V2", fields.Ds_Signature, fields.Ds_MerchantParameters),
        form(fields.Ds_SignatureVersion, fields.Ds_Signature, "no es base64"),
        "",
    };
    const auto refused = [this](const std::string& body, const char* type) {
        const httplib::Result page = client_->Post(kPagePath, body, type);
        EXPECT_TRUE(page && page->body.find(kDataError) != std::string::npos &&
                    page->body.find("card-number") == std::string::npos)
            << type << " " << body;
    };
    for (const std::string& body : forms) {
        refused(body, kFormType);
    }
    refused(pageForm(fields), "text/plain");
}

TEST_F(WebPaymentTest, PageShowsASpanishCardFormThatNoCacheFrameOrReferrerKeeps) {
    const std::string description = "Descripción larga " + std::string(9000, 'x');
    const httplib::Result page = openPage("WEB0005", "", description);
    ASSERT_TRUE(page && page->status == 200);
    EXPECT_NE(page->get_header_value("Content-Type").find("charset=utf-8"), std::string::npos);
    for (const std::string expected :
         {"<meta charset=\"utf-8\">", "id=\"card-number\"", "id=\"card-expiry\"", "id=\"card-cvv\"",
          "id=\"pay-button\"", ">Pagar<", "MM/AA", "WEB0005", "19,99 €", description.c_str()}) {
        EXPECT_NE(page->body.find(expected), std::string::npos) << expected.substr(0, 40);
    }
    EXPECT_FALSE(inputValue(page->body, "pagina").empty());
    EXPECT_TRUE(std::regex_match(page->get_header_value("Set-Cookie"),
                                 std::regex("VANTOPAGE=[0-9a-f]{32}; Path=/; Secure; HttpOnly")));
    for (const auto& [name, value] : {std::pair{"Cache-Control", "no-store"},
                                      {"Referrer-Policy", "no-referrer"},
                                      {"Content-Security-Policy", "frame-ancestors 'none'"},
                                      {"X-Frame-Options", "DENY"}}) {
        EXPECT_EQ(page->get_header_value(name), value) << name;
    }
}

TEST_F(WebPaymentTest, TheSignedResultGoesToUrlOkWhenAcceptedAndToUrlKoOtherwise) {
    VantoConfiguration::shared().setAppURLOK("https://tienda.example/ok");
    VantoConfiguration::shared().setAppURLKO("https://tienda.example/ko?tienda=1");
    const Parameters accepted = resultAt(locationOf(payOnPage("WEB0006", "4000 0000 0000 0002")),
                                         "https://tienda.example/ok");
    expectAcceptedEcho(accepted, "WEB0006");
    EXPECT_EQ(accepted.Ds_Card_Number, "400000******0002");
    EXPECT_TRUE(std::regex_match(accepted.Ds_Date.value_or(""), std::regex(R"(\d\d/\d\d/\d{4})")));
    EXPECT_TRUE(std::regex_match(accepted.Ds_Hour.value_or(""), std::regex(R"(\d\d:\d\d)")));

    for (const auto& [order, card, action, response] :
         {std::tuple{"WEB0007", "4000000000000010", "pagar", "0190"},
          {"WEB0008", "4000000000000036", "pagar", "0909"},
          {"WEB0009", "", "cancelar", "9915"}}) {
        const Parameters result = resultAt(locationOf(payOnPage(order, card, "", action)),
                                           "https://tienda.example/ko?tienda=1");
        EXPECT_EQ(result.Ds_Response, response) << order;
        EXPECT_EQ(result.Ds_AuthorisationCode, "") << order;
    }
}

TEST_F(WebPaymentTest, CardFormWantsThePageCookieAsksAgainForAnInvalidCardAndPaysOnce) {
    const httplib::Result page = openPage("WEB0011");
    ASSERT_TRUE(page);
    const std::string pageId = inputValue(page->body, "pagina");
    const std::string form = cardForm(pageId, "4000000000000002");
    const std::string issued = pageCookie_;
    for (const std::string cookie : {"", "VANTOPAGE=00000000000000000000000000000000"}) {
        pageCookie_ = cookie;
        const httplib::Result refused = postForm(kCardFormPath, form, !cookie.empty());
        ASSERT_TRUE(refused && refused->status == 403) << cookie;
        EXPECT_NE(refused->body.find("Sesión no válida"), std::string::npos);
    }
    pageCookie_ = issued;

    const httplib::Result retry = submitCard(pageId, "4000000000000003");
    ASSERT_TRUE(retry && retry->status == 200);
    EXPECT_NE(retry->body.find("id=\"form-problem\""), std::string::npos);
    EXPECT_EQ(retry->body.find("4000000000000003"), std::string::npos);
    EXPECT_EQ(inputValue(retry->body, "pagina"), pageId);

    const std::string paid = locationOf(postForm(kCardFormPath, form));
    EXPECT_EQ(resultAt(paid, placeholderPage(true)).Ds_Response, "0000")
        << "neither the refused posts nor the invalid card closed the page";
    EXPECT_EQ(locationOf(submitCard(pageId, "4000000000000010", "cancelar")), paid)
        << "a later post gets the decision already taken";

    // The placeholder return address leads to a page of the sandbox.
    const httplib::Result shown = client_->Get(paid.substr(paid.find("/sandbox/")));
    ASSERT_TRUE(shown && shown->status == 200);
    EXPECT_NE(shown->body.find("Pago autorizado"), std::string::npos);
    EXPECT_NE(shown->body.find("400000******0002"), std::string::npos);
}

TEST_F(WebPaymentTest, TwoClicksOnAPayButtonThatAnswersSlowlyPayOnceAndGoTheSameWay) {
    const std::string order = "PAGEFAULT_DELAY_300-DOBLE";
    const httplib::Result page = openPage(order);
    ASSERT_TRUE(page);
    const std::string form = cardForm(inputValue(page->body, "pagina"), "4000000000000002");
    const auto click = [&] {
        return std::async(std::launch::async, [&] {
            return trustingClient("127.0.0.1", gateway_->port(), gateway_->certificatePem())
                ->Post(kCardFormPath, {{"Cookie", pageCookie_}}, form, kFormType);
        });
    };
    auto first = click();
    auto second = click();
    const std::string firstLocation = locationOf(first.get());
    EXPECT_EQ(locationOf(second.get()), firstLocation);
    EXPECT_EQ(resultAt(firstLocation, placeholderPage(true)).Ds_Response, "0000");
    const auto payments = gateway_->payments();
    ASSERT_EQ(std::count_if(payments.begin(), payments.end(),
                            [&](const DecidedPayment& paid) { return paid.orderNumber == order; }),
              1);
    EXPECT_TRUE(payments.back().accepted);
}

// An order decided once, accepted or declined, in either flow, is never decided again: the same
// signed page posted again (Back, then Refresh, after paying) gets the decision already taken, and
// anything else that would pay the order is refused as a repeated order.
TEST_F(WebPaymentTest, AnOrderIsDecidedOnceWhicheverFlowAsksAgain) {
    const WebViewPaymentResponse signedOnce = signWebPayment("ONCE1");
    ASSERT_TRUE(signedOnce.datosPeticion);
    const std::string entry = pageForm(*signedOnce.datosPeticion);
    const httplib::Result page = openPage("ONCE1");
    ASSERT_TRUE(page && page->status == 200);
    const httplib::Result secondPage =
        client_->Post(kPagePath, {{"Cookie", pageCookie_}}, entry, kFormType);
    ASSERT_TRUE(secondPage && secondPage->status == 200) << "not decided yet: a page opens";
    const std::string paid =
        locationOf(submitCard(inputValue(page->body, "pagina"), "4000000000000002"));
    EXPECT_EQ(locationOf(client_->Post(kPagePath, entry, kFormType)), paid) << "re-posted";
    const auto repeated = [](const httplib::Result& answer) {
        return answer && answer->status == 200 &&
               answer->body.find("Error 9910: Pedido repetido") != std::string::npos;
    };
    EXPECT_TRUE(repeated(submitCard(inputValue(secondPage->body, "pagina"), "4000000000000002")))
        << "a page of the order opened before it was decided";
    // The same order with another description, signed as the signature service would.
    std::string parameters = *base64Decode(signedOnce.datosPeticion->Ds_MerchantParameters);
    parameters.replace(parameters.find("Libro de pruebas"), 5, "Disco");
    datosPeticion other = *signedOnce.datosPeticion;
    other.Ds_MerchantParameters = base64Encode(parameters);
    other.Ds_Signature =
        hmacBase64(SandboxGateway::defaultMerchant().pageSecret, other.Ds_MerchantParameters);
    EXPECT_TRUE(repeated(client_->Post(kPagePath, pageForm(other), kFormType)));
    EXPECT_EQ(pay("4000000000000002", "ONCE1").code, 9910);
    EXPECT_EQ(signWebPayment("ONCE1").code, 9910);

    EXPECT_EQ(pay("4000000000000010", "ONCE2").datosRespuesta->Ds_Response, "0190");
    const DirectPaymentResponse again = pay("4000000000000002", "ONCE2");
    EXPECT_TRUE(again.code == 9910 && again.desc == "Pedido repetido") << again.desc;
    EXPECT_EQ(signWebPayment("ONCE2").code, 9910);
    EXPECT_EQ(pay("4000000000000003", "ONCE3").code, 9905);
    EXPECT_EQ(pay("4000000000000002", "ONCE3").code, 0) << "refused for its data: not decided";
    const auto payments = gateway_->payments();
    EXPECT_EQ(payments.size(), 3u) << "ONCE1, ONCE2 and ONCE3, once each";
}

TEST_F(WebPaymentTest, PageKeepsACardOnRequestAndPaysWithItLater) {
    const std::string& required = VantoConfiguration::shared().REQUEST_REFERENCE();
    const std::string first = locationOf(payOnPage("WEB0012", "4000000000000002", required));
    const std::string reference =
        resultAt(first, placeholderPage(true)).Ds_Merchant_Identifier.value_or("");
    ASSERT_FALSE(reference.empty());

    const httplib::Result stored = openPage("WEB0013", reference);
    ASSERT_TRUE(stored && stored->body.find("400000******0002") != std::string::npos);
    const Parameters result = resultAt(
        locationOf(submitCard(inputValue(stored->body, "pagina"), "")), placeholderPage(true));
    EXPECT_EQ(result.Ds_Response, "0000");
    EXPECT_EQ(result.Ds_Merchant_Identifier, reference);
}

/// The authentication page's form: its action and its hidden fields as a form body.
std::pair<std::string, std::string> authenticationForm(const std::string& html) {
    std::smatch action;
    EXPECT_TRUE(std::regex_search(
        html, action, std::regex(R"re(<form id="auth-form" method="post" action="([^"]+)")re")));
    std::string body;
    const std::regex hidden(R"re(<input type="hidden" name="([^"]+)" value="([^"]*)")re");
    for (auto field = std::sregex_iterator(html.begin(), html.end(), hidden);
         field != std::sregex_iterator(); ++field) {
        body += (body.empty() ? "" : "&") + (*field)[1].str() + "=" + (*field)[2].str();
    }
    return {action.size() > 1 ? action[1].str() : "", body};
}

using AuthenticationStepTest = SandboxTest;

TEST_F(AuthenticationStepTest, PageSubmitsItselfByScriptAndCanBePostedAsItStands) {
    const httplib::Result step = payOnPage("AUTH0001", "4000000000000044");
    ASSERT_TRUE(step && step->status == 200);
    // Without a script engine the visible button, which has no name, posts the same fields that
    // the page's script submits on load in a browser.
    EXPECT_NE(step->body.find(R"(<button id="auth-continue" type="submit">)"), std::string::npos);
    const auto [action, fields] = authenticationForm(step->body);
    EXPECT_EQ(action, "/sandbox/autenticacion");

    const std::string pageId = inputValue(step->body, "pagina");
    EXPECT_EQ(submitCard(pageId, "4000000000000002")->status, 200)
        << "a page waiting for authentication takes no second card";
    EXPECT_EQ(postForm(action, fields, false)->status, 403) << "the page's cookie is required";
    EXPECT_EQ(postForm(action, "pagina=" + pageId + "&autenticacion=0000")->status, 200)
        << "a wrong token shows the expired page";
    const Parameters result = resultAt(locationOf(postForm(action, fields)), placeholderPage(true));
    EXPECT_EQ(result.Ds_Response, "0000");
    EXPECT_EQ(result.Ds_Card_Number, "400000******0044");
    EXPECT_FALSE(result.Ds_AuthorisationCode.value_or("").empty());
}

TEST_F(AuthenticationStepTest, OrderSwitchSendsAcceptedCardsThroughItAndCombines) {
    const httplib::Result declined = payOnPage("AUTHSTEP-1", "4000000000000010");
    EXPECT_EQ(resultAt(locationOf(declined), placeholderPage(false)).Ds_Response, "0190");

    const httplib::Result step =
        payOnPage("AUTHSTEP-OUTCOME_0099-RESULT_OKTOKO", "4000000000000002");
    ASSERT_TRUE(step && step->status == 200);
    const auto [action, fields] = authenticationForm(step->body);
    const Parameters result =
        resultAt(locationOf(postForm(action, fields)), placeholderPage(false));
    EXPECT_EQ(result.Ds_Response, "0099");
    EXPECT_FALSE(result.Ds_AuthorisationCode.value_or("").empty());
}

using HeadlessBrowserTest = SandboxTest;

TEST_F(HeadlessBrowserTest, SaysWhichPageStoppedItAndRefusesAPageOverOneMebibyte) {
    // Walks the page of a new order with the accepted card, loading every page: why it ended.
    const auto walk = [this](const std::string& order, const std::string& description) {
        const auto signedParameters = signWebPayment(order, "", description).datosPeticion;
        platform::URLRequest request(gateway_->baseUrl() + kPagePath);
        request.httpMethod = "POST";
        request.httpBody =
            platform::SecretText(signedParameters ? pageForm(*signedParameters) : "");
        request.allHTTPHeaderFields.set("Content-Type", kFormType);
        HeadlessBrowser browser(gateway_->certificatePem());
        PageWalk pageWalk{[](const std::string&) { return true; },
                          [](const HeadlessBrowser::Page&) { return true; }};
        return walkPaymentPage(browser, request, {"4000000000000002", "12/30", "123"}, pageWalk);
    };
    const std::string failed = walk("PAGEFAULT_500-1", "Libro");
    EXPECT_NE(failed.find("status 500, \"Error 500\""), std::string::npos) << failed;

    // Each "&" of the description takes five bytes on the page: some 1.2 MB in all.
    const std::string huge = walk("NAVEGADOR2", std::string(250 * 1000, '&'));
    EXPECT_NE(huge.find("larger than 1 MiB"), std::string::npos) << huge;
}

}  // namespace
}  // namespace vanto::sandbox::testing
