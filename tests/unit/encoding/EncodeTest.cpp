#include <map>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "TestSupport.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/Encode.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/encoding/Sha256.h"

namespace vanto {
namespace {

using nlohmann::json;
using testing::readTestData;

class EncodeTest : public testing::ConfiguredTest {
  protected:
    void SetUp() override {
        ConfiguredTest::SetUp();
        auto& configuration = VantoConfiguration::shared();
        configuration.setAppFuc("123456789");
        configuration.setAppTerminal("1");
    }

    static std::string sampleDirectOrder() {
        return std::string(Encode::encodeStringDirectPayment("4000000000001234", "123", "2912",
                                                             "1999", "1234ABCD", "", "true", "0",
                                                             "Libro 1/2")
                               .view());
    }
    static std::string sampleWebOrder() {
        return Encode::encodeStringWebViewPayment("1234ABCD", "REQUIRED", 19.99, "false", "0",
                                                  "Libro");
    }
    // The "mensaje" and "firma" members of an envelope, checking on the way that it is exactly
    // an object of those two texts.
    static std::pair<std::string, std::string> split(const std::string& envelope) {
        const json parsed = json::parse(envelope);
        EXPECT_EQ(parsed.size(), 2u);
        return {parsed.at("mensaje").get<std::string>(), parsed.at("firma").get<std::string>()};
    }
};

TEST_F(EncodeTest, WritesBothSampleOrdersByteForByte) {
    EXPECT_EQ(sampleDirectOrder(), readTestData("direct-example.envelope"));
    EXPECT_EQ(sampleWebOrder(), readTestData("web-example.envelope"));
}

TEST_F(EncodeTest, SignatureCoversMessageTextFollowedByTheCredential) {
    const auto [message, unsigned_firma] = split(sampleDirectOrder());
    EXPECT_EQ(unsigned_firma, sha256(message));

    VantoConfiguration::shared().setAppLicense("sq7HjrUOBfKmC576ILgskD5srU870gJ7");
    const auto [sameMessage, firma] = split(sampleDirectOrder());
    EXPECT_EQ(sameMessage, message) << "the credential must never travel";
    EXPECT_EQ(firma, sha256(message + "sq7HjrUOBfKmC576ILgskD5srU870gJ7"));
    EXPECT_EQ(sampleDirectOrder().find("sq7HjrUOBfKmC576ILgskD5srU870gJ7"), std::string::npos);
}

TEST_F(EncodeTest, TextThatIsNotUtf8GivesNoRequest) {
    EXPECT_EQ(
        std::string(Encode::encodeStringDirectPayment("4000000000001234", "123", "2912", "1999",
                                                      "A", "", "true", "0", "bad \xC3\x28 text")
                        .view()),
        "");
    EXPECT_EQ(Encode::encodeStringWebViewPayment("A\xFF", "", 1.0, "false", "0", "x"), "");
}

TEST_F(EncodeTest, WebRequestRepairsEmptyReturnAddressesAndKeepsSetOnes) {
    auto& configuration = VantoConfiguration::shared();
    configuration.setAppURLOK("");
    configuration.setAppURLKO("https://shop.example/ko");
    const auto [message, firma] = split(sampleWebOrder());
    EXPECT_EQ(configuration.appURLOK(), "REDIR_URL_OK");
    EXPECT_EQ(configuration.appURLKO(), "https://shop.example/ko");
    const json parameters = json::parse(message).at("parametros");
    EXPECT_EQ(parameters.at("Ds_Merchant_UrlOK"), "REDIR_URL_OK");
    EXPECT_EQ(parameters.at("Ds_Merchant_UrlKO"), "https://shop.example/ko");
    EXPECT_NE(message.find(R"("Ds_Merchant_UrlKO":"https:\/\/shop.example\/ko")"),
              std::string::npos);
}

// Every text reaches its member as it was given, in the order the members are written, whatever
// it needs escaped: each argument and configuration text is its own name followed by quotation
// marks, a backslash, a solidus, controls and characters outside ASCII.
TEST_F(EncodeTest, EveryTextReachesItsMemberWhateverItNeedsEscaped) {
    using nlohmann::ordered_json;
    const auto awkward = [](const std::string& name) {
        return name + "\"\\/\x01\t\"\xC3\xB1\xE2\x82\xAC";
    };
    auto& configuration = VantoConfiguration::shared();
    IAClientServiceSSM::setVerSDK(awkward("version"));
    IAClientServiceSSM::setAppBundle(awkward("bundle"));
    configuration.setAppFuc(awkward("fuc"));
    configuration.setAppTerminal(awkward("terminal"));
    configuration.setAppCurrency(awkward("currency"));
    configuration.setAppMerchantURL(awkward("url"));
    configuration.setAppMerchantData(awkward("data"));
    configuration.setAppMerchantConsumerLanguage(awkward("language"));
    configuration.setAppMerchantGroup(awkward("group"));
    configuration.setAppURLKO(awkward("ko"));
    configuration.setAppURLOK(awkward("ok"));
    configuration.setAppMerchantName(awkward("name"));
    configuration.setAppMerchantTitular(awkward("titular"));
    configuration.setAppMerchantDescription(awkward("descriptor"));
    ASSERT_TRUE(configuration.setAppMerchantPayMethods(5));

    const auto [direct, directFirma] = split(std::string(
        Encode::encodeStringDirectPayment(awkward("pan"), awkward("cvv2"), awkward("expiry"),
                                          awkward("amount"), awkward("order"), awkward("id"),
                                          awkward("direct"), awkward("type"), awkward("product"))
            .view()));
    EXPECT_EQ(directFirma, sha256(direct));
    const auto [web, webFirma] = split(
        Encode::encodeStringWebViewPayment(awkward("order"), awkward("id"), 19.99,
                                           awkward("direct"), awkward("type"), awkward("product")));
    EXPECT_EQ(webFirma, sha256(web));

    std::map<std::string, ordered_json> expected;
    for (const auto& row : testing::readTestRows("request-members.txt")) {
        auto& message = expected[*row.at(0)];
        auto& object = row.at(1) == "-" ? message : message[*row[1]];
        const std::string& source = *row.at(3);
        object[*row.at(2)] = source.starts_with('=') ? source.substr(1) : awkward(source);
    }
    EXPECT_EQ(ordered_json::parse(direct), expected["direct"]);
    EXPECT_EQ(ordered_json::parse(web), expected["web"]);
}

// The web request sends the amount of each amount row as the amount helper writes it, and
// refuses one without hundredths without touching the configuration (whose empty return
// addresses it otherwise fills in).
TEST_F(EncodeTest, WebRequestSendsEachAmountAsTheAmountHelperWritesIt) {
    auto& configuration = VantoConfiguration::shared();
    for (const auto& row : testing::readTestRows("encoding-cases.txt")) {
        if (row.at(0) != "amount") {
            continue;
        }
        configuration.setAppURLOK("");
        configuration.setAppURLKO("");
        const std::string envelope =
            Encode::encodeStringWebViewPayment("1", "", std::stod(*row.at(1)), "false", "0", "x");
        const auto sent = envelope.empty() ? std::nullopt
                                           : std::optional(json::parse(split(envelope).first)
                                                               .at("parametros")
                                                               .at("Ds_Merchant_Amount")
                                                               .get<std::string>());
        EXPECT_EQ(sent, row[2]) << *row[1];
        EXPECT_EQ(configuration.appURLOK() + configuration.appURLKO(),
                  sent ? "REDIR_URL_OKREDIR_URL_KO" : "")
            << *row[1];
    }
}

}  // namespace
}  // namespace vanto
