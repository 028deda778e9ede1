#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingViews.h"
#include "TestSupport.h"
#include "vanto/config/Constants.h"
#include "vanto/testing/FakeGatewayService.h"
#include "vanto/text/UrlText.h"
#include "vanto/transport/TraceSink.h"
#include "vanto/web/WebViewPaymentPresenter.h"

namespace vanto {
namespace {

using FakeService = testing::FakeGatewayService<WebViewPaymentRequest>;
using RecordingView = testing::RecordingWebView;

class WebPresenter : public testing::ConfiguredTest {
  protected:
    std::shared_ptr<RecordingView> view = std::make_shared<RecordingView>();
    std::shared_ptr<FakeService> service = std::make_shared<FakeService>();
    std::shared_ptr<WebViewPaymentPresenter<RecordingView>> presenter =
        std::make_shared<WebViewPaymentPresenter<RecordingView>>(view, service);
    std::vector<platform::URLRequest> pages;

    void load(double amount, TransactionType type = TransactionType::normal) {
        presenter->loadWebViewRequest(
            "ORDER1", "REQUIRED", amount, type, "Libro",
            [this](platform::URLRequest page) { pages.push_back(std::move(page)); });
    }
    void answerWith(const std::string& json) {
        auto answer = WebViewPaymentResponse::fromJSON(json);
        ASSERT_TRUE(answer) << json;
        service->answer(std::move(answer));
    }
    // What the view is told for a navigation to `address` followed by "?" and `query`.
    std::vector<std::string> navigate(const std::string& address, const std::string& query) {
        view->told.clear();
        presenter->webViewNotifyUser(address + "?" + query);
        return view->told;
    }
    static std::string result(const std::string& json) {
        return "Ds_SignatureVersion=HMAC_SHA256_V1&Ds_MerchantParameters=" + base64Encode(json) +
               "&Ds_Signature=c2ln";
    }
};

TEST_F(WebPresenter, AsksForTheSignedParametersAndBuildsThePaymentPageRequest) {
    ASSERT_TRUE(Constants::setGatewayHost(EnviromentType::integration, "gw.example"));
    std::vector<std::string> traces;
    setTraceSink([&traces](std::string_view block) { traces.emplace_back(block); });
    load(19.99, TransactionType::preauthorization);
    const auto parameters = sentMessage(*service)["parametros"];
    EXPECT_EQ(parameters["Ds_Merchant_Amount"], "1999");
    EXPECT_EQ(parameters["Ds_Merchant_TransactionType"], "1");
    EXPECT_EQ(parameters["Ds_Merchant_DirectPayment"], "false");
    EXPECT_EQ(parameters["Ds_Merchant_Identifier"], "REQUIRED");

    answerWith(
        R"({"code":0,"desc":"","datosPeticion":{"Ds_SignatureVersion":"v1","Ds_Signature":"a+b/c=","Ds_MerchantParameters":"e30="}})");
    ASSERT_EQ(pages.size(), 1u);
    const auto& page = pages[0];
    EXPECT_EQ(page.url, "https://gw.example/zel/realizarPago");
    EXPECT_EQ(page.httpMethod, "POST");
    const std::string body =
        "Ds_SignatureVersion=v1&Ds_Signature=a%2Bb%2Fc%3D&Ds_MerchantParameters=e30%3D";
    EXPECT_EQ(page.httpBody, body);
    ASSERT_EQ(body.size(), 77u);
    const std::vector<platform::HeaderFields::Field> headers = {
        {"User-Agent",
         "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.22 (KHTML, like Gecko) "
         "Chrome/25.0.1364.97 Safari/537.22"},
        {"Content-Length", "77"},
        {"Content-Type", "application/x-www-form-urlencoded"}};
    EXPECT_EQ(page.allHTTPHeaderFields.fields(), headers) << "in this order, and no cookie";
    EXPECT_EQ(page.timeoutInterval, 50.0);
    EXPECT_EQ(page.cachePolicy, platform::CachePolicy::reloadIgnoringLocalAndRemoteCacheData);
    EXPECT_EQ(traces, std::vector<std::string>{page.url}) << "the page's address is written";
    EXPECT_TRUE(view->told.empty());
}

// The signature service's refusals are the web screen's cases.
TEST_F(WebPresenter, ReportsTheTransportsFailure) {
    load(1.0);
    service->fail(SDKError::nonURLResponse(std::nullopt));
    EXPECT_EQ(view->told, std::vector<std::string>{"KO 5550 Error de conexión. 0"});
    EXPECT_TRUE(pages.empty());
}

// Passing the screen's requests on is the web screen's case.
TEST_F(WebPresenter, RefusesWhatCannotBeSent) {
    load(std::numeric_limits<double>::infinity());
    load(1.0, static_cast<TransactionType>(42));
    EXPECT_EQ(view->told,
              (std::vector<std::string>{"KO 5548 El importe tiene que ser igual o mayor de 0,00 0",
                                        "KO 5548 Error interno de la librería. 0"}));
    EXPECT_TRUE(service->calls.empty()) << "nothing was sent";
}

TEST_F(WebPresenter, ReadsThePaymentResultAtTheReturnAddresses) {
    const std::string ko = "REDIR_URL_KO";
    // The testing component's return addresses, as an application's own tests make them.
    using testing::PageResult;
    for (const auto& [made, told] :
         {std::pair{PageResult::accepted, "OK 0 0"}, std::pair{PageResult::declined, "KO 78 190 0"},
          std::pair{PageResult::cancelled, "KO 78 9915 0"},
          std::pair{PageResult::malformed, "KO 5548 Mapping Error 0"}}) {
        view->told.clear();
        presenter->webViewNotifyUser(testing::returnAddress(ko, made));
        EXPECT_EQ(view->told, std::vector<std::string>{told});
    }
    ASSERT_EQ(view->accepted.size(), 1u);
    EXPECT_EQ(view->accepted[0].desc, "");
    EXPECT_EQ(view->accepted[0].Ds_Order, "ORDER1");
    EXPECT_EQ(view->accepted[0].Ds_Card_Number, "************0002");
    auto& configuration = VantoConfiguration::shared();
    for (const auto& row : testing::readTestRows("web-results.txt")) {
        if (row.at(0) == "set") {
            row.at(1) == "OK" ? configuration.setAppURLOK(*row.at(2))
                              : configuration.setAppURLKO(*row.at(2));
            continue;
        }
        const std::string query = row.at(0) == "result" ? result(*row.at(2)) : *row.at(2);
        EXPECT_EQ(navigate(*row.at(1), query),
                  row.at(3) ? std::vector<std::string>{*row[3]} : std::vector<std::string>{})
            << *row[1] << " " << query;
    }
}

TEST_F(WebPresenter, AViewGoneAwayIsToldNothing) {
    load(1.0);
    std::weak_ptr<WebViewPaymentPresenter<RecordingView>> alive = presenter;
    presenter.reset();
    view.reset();
    EXPECT_FALSE(alive.expired());
    service->answer(WebViewPaymentResponse::fromJSON(R"({"code":9999,"desc":"x"})"));
    EXPECT_TRUE(alive.expired());
}

}  // namespace
}  // namespace vanto
