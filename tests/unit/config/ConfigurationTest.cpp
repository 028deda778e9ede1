#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "vanto/config/CodeTables.h"
#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/platform/URLSession.h"
#include "vanto/transport/Session.h"
#include "vanto/transport/TraceSink.h"
#include "vanto/web/WebViewPaymentRequest.h"

namespace vanto {
namespace {

// A value outside a table reaches the typed setters as a cast from an unknown raw value.
TEST(CodeTables, MapEachRawValueAndRefuseAnyOther) {
    VantoConfiguration configuration;
    for (const auto& row : testing::readTestRows("code-tables.txt")) {
        const int raw = std::stoi(*row.at(1));
        const std::string text = row.at(2).value_or("");
        SCOPED_TRACE(*row[0] + " " + *row[1]);
        if (row[0] == "environment") {
            const auto env = static_cast<EnviromentType>(raw);
            EXPECT_EQ(enviromentTypeFromRawValue(raw).has_value(), row[2].has_value());
            EXPECT_EQ(getEnviromentType(env), text);
            EXPECT_EQ(configuration.setAppEnviroment(raw), row[2].has_value());
            EXPECT_EQ(configuration.setAppEnviroment(env), row[2].has_value());
            if (!row[2]) {
                EXPECT_EQ(Constants::getURLDirectPayment(env), "");
                EXPECT_EQ(Constants::getURLParameters(env), "");
                EXPECT_EQ(Constants::getURLWebViewPayment(env), "");
                EXPECT_FALSE(Constants::setGatewayHost(env, "127.0.0.1:40443"));
                EXPECT_EQ(Constants::gatewayAuthority(env), "");
            }
        } else if (row[0] == "method") {
            const auto method = static_cast<PaymentMethod>(raw);
            EXPECT_EQ(paymentMethodFromRawValue(raw).has_value(), row[2].has_value());
            EXPECT_EQ(getValue(method), text);
            EXPECT_EQ(configuration.setAppMerchantPayMethods(raw), row[2].has_value());
            EXPECT_EQ(configuration.setAppMerchantPayMethods(method), row[2].has_value());
        } else {
            const auto type = static_cast<TransactionType>(raw);
            EXPECT_EQ(transactionTypeFromRawValue(raw).has_value(), row[2].has_value());
            EXPECT_EQ(getTransctionType(type), text);
            EXPECT_EQ(transactionTypeCode(type), row.size() > 3 ? *row[3] : "");
        }
    }
    EXPECT_EQ(configuration.appEnviroment(), EnviromentType::real) << "kept";
    EXPECT_EQ(configuration.appMerchantPayMethods(), PaymentMethod::methodZ) << "kept";
    EXPECT_EQ(Constants::gatewayAuthority(EnviromentType::real), VANTO_TEST_HOST_REAL)
        << "production is untouched";
}

class GatewayEndpoints : public ::testing::Test {
  protected:
    void TearDown() override { ProcessState::reset(); }
};

TEST_F(GatewayEndpoints, AddressEachServiceAtTheBuildHostOrTheOneSetAtRunTime) {
    const std::string integration = "https://" VANTO_TEST_HOST_INTEGRATION ":25443/zel/";
    EXPECT_EQ(Constants::getURLDirectPayment(EnviromentType::integration),
              integration + "virtualControllerV2/pagoVirtual");
    EXPECT_EQ(Constants::getURLParameters(EnviromentType::integration),
              integration + "virtualControllerV2/generaFirmaPagoVirtual");
    EXPECT_EQ(Constants::getURLWebViewPayment(EnviromentType::integration),
              integration + "realizarPago");
    EXPECT_EQ(Constants::getURLWebViewPayment(EnviromentType::test),
              "https://" VANTO_TEST_HOST_TEST ":25443/zel/realizarPago");
    EXPECT_EQ(Constants::getURLDirectPayment(EnviromentType::real),
              "https://" VANTO_TEST_HOST_REAL "/zel/virtualControllerV2/pagoVirtual");

    EXPECT_TRUE(Constants::setGatewayHost(EnviromentType::real, "[::1]:8443"));
    EXPECT_EQ(Constants::getURLWebViewPayment(EnviromentType::real),
              "https://[::1]:8443/zel/realizarPago");
    EXPECT_EQ(Constants::getURLWebViewPayment(EnviromentType::integration),
              integration + "realizarPago")
        << "other environments are untouched";
    EXPECT_TRUE(Constants::setGatewayHost(EnviromentType::real, ""));
    EXPECT_EQ(Constants::gatewayAuthority(EnviromentType::real), VANTO_TEST_HOST_REAL);
}

TEST_F(GatewayEndpoints, TakeOnlyAHostAndPortAtRunTime) {
    std::string authority = VANTO_TEST_HOST_TEST ":25443";
    for (const auto& row : testing::readTestRows("gateway-hosts.txt")) {
        const bool taken = row.at(1) == "yes";
        EXPECT_EQ(Constants::setGatewayHost(EnviromentType::test, *row.at(0)), taken) << *row[0];
        authority = taken ? *row[0] : authority;
        EXPECT_EQ(Constants::gatewayAuthority(EnviromentType::test), authority) << *row[0];
    }
}

TEST(ClientIdentification, DefaultsToBuildVersionAndProgramNameUntilSet) {
    IAClientServiceSSM::setVerSDK("");
    EXPECT_EQ(IAClientServiceSSM::getVerSDK(), "") << "an empty version is a version";
    IAClientServiceSSM::setAppBundle(std::nullopt);
    IAClientServiceSSM::setVerSDK(std::nullopt);
    EXPECT_EQ(IAClientServiceSSM::getAppBundle(), "vanto_unit_tests");
    EXPECT_EQ(IAClientServiceSSM::getVerSDK(), VANTO_PROJECT_VERSION);
}

TEST(ProcessStateReset, PutsEverySettingBackToItsDefault) {
    const auto builtInHost = Constants::gatewayAuthority(EnviromentType::test);
    const auto ownDirectRoad = directPaymentService();
    VantoConfiguration::shared().setAppFuc("123456789");
    ASSERT_TRUE(Constants::setGatewayHost(EnviromentType::test, "127.0.0.1:40443"));
    IAClientServiceSSM::setVerSDK("9.9");
    auto session = platform::URLSessionConfiguration::defaultSessionConfiguration();
    session.additionalTrustAnchors = {"anchor"};
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(session);
    int traced = 0;
    setTraceSink([&traced](std::string_view) { ++traced; });
    Session::shared().setCookies({{.name = "A", .value = "1"}});
    setDirectPaymentService(std::make_shared<ManagerGatewayService<DirectPaymentRequest>>());
    setWebViewPaymentService(std::make_shared<ManagerGatewayService<WebViewPaymentRequest>>());

    ProcessState::reset();

    EXPECT_EQ(VantoConfiguration::shared().appFuc(), VantoConfiguration().appFuc());
    EXPECT_EQ(Constants::gatewayAuthority(EnviromentType::test), builtInHost);
    EXPECT_EQ(IAClientServiceSSM::getVerSDK(), VANTO_PROJECT_VERSION);
    EXPECT_TRUE(platform::URLSessionConfiguration::defaultSessionConfiguration()
                    .additionalTrustAnchors.empty());
    EXPECT_TRUE(Session::shared().cookies().empty());
    EXPECT_NE(directPaymentService(), directPaymentService())
        << "the library's own road is made afresh for each payment, a chosen one is kept";
    EXPECT_NE(webViewPaymentService(), webViewPaymentService());
    ::testing::internal::CaptureStdout();
    writeTrace("a block");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "a block\n");
    EXPECT_EQ(traced, 0);
}

}  // namespace
}  // namespace vanto
