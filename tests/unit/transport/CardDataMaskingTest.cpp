// Card data never show in clear in a trace, however the text that carries them is spelled.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "TestSupport.h"
#include "TraceMaskingOracle.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/Encode.h"
#include "vanto/transport/Trace.h"

namespace vanto {
namespace {

using namespace masking;

class CardDataMasking : public testing::ConfiguredTest {};

TEST_F(CardDataMasking, ChangesOnlyTheCardDataOfTheLibrarysOwnRequest) {
    VantoConfiguration::shared().setAppFuc("123456789");
    const std::string body =
        "datoEntrada=" + std::string(Encode::encodeStringDirectPayment(
                                         "4000000000001234", "987", "2912", "1999",
                                         "ORDER4000000000001234", "", "true", "0", "Libro 1/2")
                                         .view());
    // Everything but the card data is as sent, down to the signature and the escaped solidus;
    // the card number repeated in the order is masked there too.
    std::string expected = body;
    for (const auto& [clear, hidden] :
         {std::pair<std::string, std::string>{"4000000000001234", "************1234"},
          {R"(CVV2\":\"987)", R"(CVV2\":\"***)"},
          {R"(EXPIRYDATE\":\"2912)", R"(EXPIRYDATE\":\"****)"}}) {
        for (auto at = expected.find(clear); at != std::string::npos; at = expected.find(clear)) {
            expected.replace(at, clear.size(), hidden);
        }
    }
    ASSERT_NE(expected.find(R"(\"DS_MERCHANT_PAN\":\"************1234\")"), std::string::npos);
    ASSERT_NE(expected.find(R"(Libro 1\\\/2)"), std::string::npos);
    EXPECT_EQ(maskCardData(body), expected);
}

// The examples, each a row of masking-cases.txt.
TEST(CardDataMaskingExamples, MaskValuesWhereTheyStandAndNothingElse) {
    for (const auto& row : testing::readTestRows("masking-cases.txt")) {
        EXPECT_EQ(maskCardData(*row.at(0)), *row.at(1)) << *row[0];
    }
}

// The inputs the fuzzer starts from, the tests' data and the examples, masked and unmasked,
// under the fuzzer's own checks.
TEST(CardDataMaskingProperty, HoldsForEverySeedAndExample) {
    std::vector<std::string> inputs = testing::fuzzSeeds("trace_masking");
    for (const auto& row : testing::readTestRows("masking-cases.txt")) {
        inputs.insert(inputs.end(), {*row.at(0), *row.at(1)});
    }
    for (const auto& file : std::filesystem::directory_iterator(VANTO_TEST_DATA_DIR)) {
        inputs.push_back(testing::fileBytes(file.path().string()));
    }
    ASSERT_GT(inputs.size(), 80u);
    testing::expectFuzzChecksHold(inputs, checkTraceMasking);
}

}  // namespace
}  // namespace vanto
