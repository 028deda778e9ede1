#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "JsonWriterOracle.h"
#include "TestSupport.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/encoding/Sha256.h"
#include "vanto/text/CardText.h"

namespace vanto {
namespace {

TEST(RequestEncoding, AnswersEveryRowOfItsTable) {
    for (const auto& row : testing::readTestRows("encoding-cases.txt")) {
        const std::string& kind = *row.at(0);
        const std::string& text = *row.at(1);
        const auto& expected = row.at(2);
        SCOPED_TRACE(kind + " " + ::testing::PrintToString(text));
        if (kind == "escape") {
            std::string out;
            EXPECT_EQ(appendJsonEscaped(out, text) ? std::optional(out) : std::nullopt, expected);
        } else if (kind == "name") {
            const auto name = JsonWriter::Name::checked(text);
            EXPECT_EQ(name ? std::optional(std::string(name->view())) : std::nullopt, expected);
        } else if (kind == "amount") {
            const double amount = std::stod(text);
            EXPECT_EQ(amountText(amount), expected);
            EXPECT_EQ(amountInHundredths(amount),
                      expected ? std::optional(std::stoll(*expected)) : std::nullopt);
        } else {
            ADD_FAILURE() << "no such case";
        }
    }
}

TEST(HexEncoding, WritesTwoDigitsPerByteInTheChosenCase) {
    const std::array<std::uint8_t, 4> bytes = {0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(hexEncodedString(bytes), "000fa0ff");
    EXPECT_EQ(hexEncodedString(bytes, HexEncodingOptions::upperCase), "000FA0FF");
    EXPECT_EQ(hexEncodedString(std::span<const std::uint8_t>{}), "");
}

// What the writer writes reads back as the same members, and its nested copy as the same text
// carried as a string, on the fuzzer's seeds: either writer, growing from its smallest size,
// every byte that needs escaping, integers, nested objects and a value that is not UTF-8, which
// fails the writer whatever follows. The requests' sample orders show the text is compact.
TEST(JsonWriter, HoldsItsFuzzersPropertiesOnEverySeed) {
    const auto seeds = testing::fuzzSeeds("json_writer");
    ASSERT_GE(seeds.size(), 4u);
    testing::expectFuzzChecksHold(seeds, fuzz::checkJsonWriter);
}

}  // namespace
}  // namespace vanto
