// Card data never show in clear in a trace, however the text that carries them is spelled.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "TestSupport.h"
#include "TraceMaskingOracle.h"
#include "vanto/transport/Trace.h"

namespace vanto {
namespace {

using namespace masking;

// The examples, each a row of masking-cases.txt, the library's own request among them.
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
