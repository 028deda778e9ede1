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
TEST(Configuration, SettersRefuseValuesOutsideTheTablesAndKeepTheOldValue) {
    VantoConfiguration configuration;
    EXPECT_TRUE(configuration.setAppEnviroment(EnviromentType::real));
    for (const int raw : {3, 7, -1}) {
        EXPECT_FALSE(configuration.setAppEnviroment(raw)) << raw;
        EXPECT_FALSE(configuration.setAppEnviroment(static_cast<EnviromentType>(raw))) << raw;
    }
    EXPECT_EQ(configuration.appEnviroment(), EnviromentType::real);
    EXPECT_TRUE(configuration.setAppEnviroment(0));
    EXPECT_EQ(configuration.appEnviroment(), EnviromentType::test);

    EXPECT_TRUE(configuration.setAppMerchantPayMethods(PaymentMethod::methodZ));
    for (const int raw : {6, 9, -1}) {
        EXPECT_FALSE(configuration.setAppMerchantPayMethods(raw)) << raw;
        EXPECT_FALSE(configuration.setAppMerchantPayMethods(static_cast<PaymentMethod>(raw)))
            << raw;
    }
    EXPECT_EQ(getValue(configuration.appMerchantPayMethods()), "z");
    EXPECT_TRUE(configuration.setAppMerchantPayMethods(1));
    EXPECT_EQ(getValue(configuration.appMerchantPayMethods()), "R");
}

TEST(CodeTables, MapRawValuesTextsAndWireCodesAndGiveNothingOutsideTheTables) {
    EXPECT_EQ(getEnviromentType(EnviromentType::test), "Test");
    EXPECT_EQ(getEnviromentType(EnviromentType::real), "Real");
    for (int raw = 0; raw < 6; ++raw) {
        EXPECT_EQ(getValue(*paymentMethodFromRawValue(raw)), std::string(1, "TRDPOz"[raw]));
    }
    for (int raw = 0; raw < 4; ++raw) {
        EXPECT_EQ(transactionTypeCode(*transactionTypeFromRawValue(raw)),
                  std::string(1, "A017"[raw]));
    }
    EXPECT_EQ(getTransctionType(TransactionType::authentication), "PAYMENT_TYPE_AUTHENTICATION");

    EXPECT_EQ(enviromentTypeFromRawValue(3), std::nullopt);
    EXPECT_EQ(paymentMethodFromRawValue(-1), std::nullopt);
    EXPECT_EQ(transactionTypeFromRawValue(4), std::nullopt);
    EXPECT_EQ(getEnviromentType(static_cast<EnviromentType>(7)), "");
    EXPECT_EQ(getValue(static_cast<PaymentMethod>(9)), "");
    EXPECT_EQ(getTransctionType(static_cast<TransactionType>(42)), "");
    EXPECT_EQ(transactionTypeCode(static_cast<TransactionType>(42)), "");
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

TEST_F(GatewayEndpoints, AnEnvironmentOutsideTheTableHasNoAddress) {
    for (const int raw : {3, 7, -1}) {
        const auto env = static_cast<EnviromentType>(raw);
        EXPECT_EQ(Constants::getURLDirectPayment(env), "") << raw;
        EXPECT_EQ(Constants::getURLParameters(env), "") << raw;
        EXPECT_EQ(Constants::getURLWebViewPayment(env), "") << raw;
        EXPECT_FALSE(Constants::setGatewayHost(env, "127.0.0.1:40443")) << raw;
        EXPECT_EQ(Constants::gatewayAuthority(env), "") << raw;
    }
    EXPECT_EQ(Constants::gatewayAuthority(EnviromentType::real), VANTO_TEST_HOST_REAL)
        << "production is untouched";
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
