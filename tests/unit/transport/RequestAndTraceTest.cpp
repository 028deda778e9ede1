#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/encoding/Encode.h"
#include "vanto/transport/Manager.h"
#include "vanto/transport/Response.h"
#include "vanto/transport/SDKError.h"
#include "vanto/transport/Session.h"
#include "vanto/transport/Trace.h"
#include "vanto/transport/TraceSink.h"
#include "vanto/web/WebViewPaymentRequest.h"

namespace vanto {
namespace {

using platform::HTTPCookie;

class RequestBuilding : public testing::ConfiguredTest {
  protected:
    static platform::URLRequest built(const RequestService& request) {
        auto result = request.build();
        EXPECT_TRUE(result.hasValue());
        return std::move(result).value();
    }
};

TEST_F(RequestBuilding, PostsTheFormBodyVerbatimWithOneContentTypeAndRefusesOneNotText) {
    Session::shared().setCookies({});  // no Cookie field either
    const DirectPaymentRequest request("{\"a\":\"x&y=z+1% 2\"}");
    const auto urlRequest = built(request);
    EXPECT_EQ(urlRequest.httpBody, "datoEntrada={\"a\":\"x&y=z+1% 2\"}");
    EXPECT_EQ(urlRequest.timeoutInterval, 50.0);
    ASSERT_EQ(urlRequest.allHTTPHeaderFields.fields().size(), 1u);
    EXPECT_EQ(urlRequest.allHTTPHeaderFields.value("content-type"),
              "application/x-www-form-urlencoded");
    EXPECT_EQ(built(DirectPaymentRequest("")).httpBody, "datoEntrada=");
    const auto notText = DirectPaymentRequest("\xC3\x28").build();
    ASSERT_FALSE(notText.hasValue());
    EXPECT_EQ(notText.error().kind, platform::PlatformError::Kind::invalidRequest);
}

TEST_F(RequestBuilding, ReadsTheEnvironmentWhenBuiltNotWhenMade) {
    const WebViewPaymentRequest request("x");
    VantoConfiguration::shared().setAppEnviroment(EnviromentType::real);
    EXPECT_EQ(built(request).url, Constants::getURLParameters(EnviromentType::real));
}

// The rules a cookie applies by (path, host-only, secure) are the cookie store's, whose test
// reads them through libcurl's jar; here, what this list adds to them.
TEST(CookieStore, ReplacesTheSameCookieInPlaceAndScopesEachToItsHost) {
    auto& session = Session::shared();
    session.setCookies({{.name = "A", .value = "1", .domain = "pay.example"},
                        {.name = "B", .value = "2", .domain = "pay.example", .path = "/zel"}});
    session.updateCookies({{.name = "A", .value = "9", .domain = "pay.example"},
                           {.name = "A", .value = "other", .domain = "other.example"},
                           {.name = "B", .value = "root", .domain = "pay.example"},
                           {.name = "a", .value = "lower", .domain = "pay.example"}});
    const auto cookies = session.cookies();
    ASSERT_EQ(cookies.size(), 5u);
    EXPECT_EQ(cookies[0].value, "9") << "same name, domain and path: replaced in place";
    EXPECT_EQ(cookies[1].value, "2");
    EXPECT_EQ(cookies[2].value, "other") << "another host's cookie of that name is its own";
    EXPECT_EQ(cookies[3].value, "root") << "another path's cookie of that name is its own";
    EXPECT_EQ(cookies[4].name, "a") << "names compare case-sensitively";

    const auto values = [&](std::string_view url) {
        std::string joined;
        for (const auto& cookie : session.cookiesForURL(url)) {
            joined += cookie.value + " ";
        }
        return joined;
    };
    EXPECT_EQ(values("https://pay.example/zel/x"), "9 2 root lower ");
    EXPECT_EQ(values("https://OTHER.example:444/"), "other ") << "hosts compare without case";
    EXPECT_EQ(values("not an address"), "");
    session.setCookies(
        {{.name = "S", .value = "sub", .domain = "pay.example", .includesSubdomains = true},
         {.name = "E",
          .value = "gone",
          .domain = "pay.example",
          .expiresDate = std::chrono::system_clock::time_point{}},
         {.name = "U", .value = "unscoped"}});
    EXPECT_EQ(values("https://sub.pay.example/"), "sub unscoped ");
    EXPECT_EQ(values("https://elsewhere.example/"), "unscoped ")
        << "a cookie put in without a domain goes everywhere";
    std::vector<HTTPCookie> list = cookies;
    update(list, {.name = "Z", .value = "0"});
    EXPECT_EQ(list, cookies) << "update leaves a list without the name unchanged";
    session.setCookies({});
}

TEST(StatusCheck, DecodesExactly200To299) {
    // A 1xx status is never a final reply over HTTP/1.1, so the lower boundary is checked here
    // rather than against a server.
    for (const int status : {0, 199, 200, 299, 300}) {
        EXPECT_EQ(Manager::acceptsStatus(status), status == 200 || status == 299) << status;
    }
}

TEST(SDKErrors, CarryTheCodeAndTextOfTheirCase) {
    const platform::PlatformError cause{platform::PlatformError::Kind::couldNotConnect,
                                        "could not connect", ""};
    for (const auto& error :
         {SDKError::connectionError(cause), SDKError::requestError(cause),
          SDKError::nonURLResponse(std::nullopt), SDKError::wrongStatusCode(404),
          SDKError::malformedURL("x"), SDKError::signatureNotValid()}) {
        EXPECT_EQ(error.code(), 5550);
        EXPECT_EQ(error.errorDescription(), "Error de conexión.");
    }
    for (const auto& error : {SDKError::wrongJsonDecodeNames(cause), SDKError::internalError(),
                              SDKError::wrongBodyData()}) {
        EXPECT_EQ(error.code(), 5548);
        EXPECT_EQ(error.errorDescription(), "Error interno de la librería.");
    }
}

TEST(ReplyDecoding, NeedsAnEnvelopeWithATextMessageOfTheExpectedRecord) {
    const DirectPaymentRequest request("x");
    const auto decoded =
        request.result(R"({"mensaje":"{\"code\":0,\"desc\":\"OK\"}","firma":null})");
    ASSERT_TRUE(decoded.isSuccess());
    EXPECT_EQ(decoded.value()->code, 0);
    EXPECT_TRUE(request.result(R"({"mensaje":"{\"code\":7,\"desc\":\"x\"}"})").isSuccess());
    for (const std::string body :
         {"", "not json", R"({"firma":"x"})", R"({"mensaje":5})",
          R"({"mensaje":"{\"desc\":\"no code\"}"})", R"({"mensaje":"[]"})"}) {
        const auto failed = request.result(body);
        ASSERT_FALSE(failed.isSuccess()) << body;
        EXPECT_EQ(failed.error().kind(), SDKError::Case::wrongJsonDecodeNames);
        EXPECT_EQ(failed.error().code(), 5548);
    }
    EXPECT_EQ(Response::fromJSON(R"({"mensaje":"m","firma":"f","otro":1})"), Response("m", "f"));
    EXPECT_EQ(Response("m", std::nullopt).toJSON(), R"({"mensaje":"m"})");
}

TEST(Traces, PrintTheBannersLabelsAndPlaceholders) {
    platform::URLRequest request("https://gateway.example/zel/x");
    EXPECT_EQ(requestTrace(request),
              "====== REQUEST ======\nMethod: NOT DEFINED\nURL: https://gateway.example/zel/x\n"
              "HEADERS: NOT DEFINED\nBODY: NOT DEFINED");
    request.httpMethod = "POST";
    request.allHTTPHeaderFields.set("Content-Type", "text/plain");
    request.allHTTPHeaderFields.set("Cookie", "A=1");
    request.httpBody = platform::SecretText("\xFF");
    EXPECT_EQ(requestTrace(request),
              "====== REQUEST ======\nMethod: POST\nURL: https://gateway.example/zel/x\n"
              "HEADERS: [Content-Type: text/plain, Cookie: A=1]\nBODY: NOT DEFINED");

    platform::HTTPURLResponse response{"https://gateway.example/zel/x", 404, {}};
    response.allHeaderFields.add("Location", "/ko?numero=4548812049400004&cvv=123");
    response.allHeaderFields.add("Set-Cookie", "tarjeta=4548812049400004; Path=/");
    request.allHTTPHeaderFields.set("Cookie", "caducidad=1229");
    EXPECT_NE(requestTrace(request).find("Cookie: caducidad=****]"), std::string::npos);
    EXPECT_EQ(responseTrace(response, std::string()),
              "====== RESPONSE ======\nSTATUS CODE: 404\nHEADERS: [Location: "
              "/ko?numero=************0004&cvv=***, Set-Cookie: tarjeta=************0004; "
              "Path=/]\nBODY: ");
    response.allHeaderFields = {};
    response.allHeaderFields.add("Server", "sandbox");
    EXPECT_EQ(responseTrace(response, std::string()),
              "====== RESPONSE ======\nSTATUS CODE: 404\nHEADERS: [Server: sandbox]\nBODY: ");
    EXPECT_EQ(responseTrace(response, std::nullopt),
              "====== RESPONSE ======\nSTATUS CODE: 404\nHEADERS: [Server: sandbox]\nBODY: EMPTY "
              "RESPONSE");
}

TEST(TraceSink, RunsWithNoLockHeldSoItMayTraceAndChooseAnotherSink) {
    std::vector<std::string> first;
    std::vector<std::string> second;
    setTraceSink([&](std::string_view block) {
        first.emplace_back(block);
        if (block == "outer") {
            writeTrace("inner");
            setTraceSink([&](std::string_view later) { second.emplace_back(later); });
            writeTrace("after");
        }
    });
    writeTrace("outer");
    writeTrace("last");
    EXPECT_EQ(first, (std::vector<std::string>{"outer", "inner"}))
        << "a block the sink writes follows the one it is handling";
    EXPECT_EQ(second, (std::vector<std::string>{"after", "last"}));
    setTraceSink([](std::string_view) { throw std::runtime_error("sink failed"); });
    writeTrace("lost");
    setTraceSink([&](std::string_view block) { second.emplace_back(block); });
    writeTrace("kept");
    EXPECT_EQ(second.back(), "kept") << "a throwing sink loses its block, not the traces after";
    setTraceSink(nullptr);
}

}  // namespace
}  // namespace vanto
