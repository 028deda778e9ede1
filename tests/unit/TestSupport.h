#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "FuzzSupport.h"
#include "TestRows.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/platform/ProcessState.h"

namespace vanto::testing {

/// The seeds the fuzzer `target` starts from (fuzz/corpus/<target>), each file's bytes.
inline std::vector<std::string> fuzzSeeds(const std::string& target) {
    std::vector<std::string> seeds;
    const auto folder = std::filesystem::path(VANTO_TEST_DATA_DIR) / "../../fuzz/corpus" / target;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(file.path(), std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return seeds;
}

/// Runs a fuzzer's checks on each input: a property that does not hold fails the test, with the
/// input, instead of stopping the program.
template <typename Check>
void expectFuzzChecksHold(const std::vector<std::string>& inputs, Check check) {
    const auto stop = fuzz::propertyFailed;
    fuzz::propertyFailed = [](const char* property, const char* file, int line) {
        throw std::runtime_error(std::string(property) + " (" + file + ":" + std::to_string(line) +
                                 ")");
    };
    for (const std::string& input : inputs) {
        try {
            check(std::string_view(input));
        } catch (const std::runtime_error& error) {
            ADD_FAILURE() << error.what() << " for " << ::testing::PrintToString(input);
        }
    }
    fuzz::propertyFailed = stop;
}

/// The message the fake gateway's last request would have sent, parsed.
template <typename Fake>
nlohmann::json sentMessage(const Fake& service) {
    return nlohmann::json::parse(service.lastMessage());
}

/// Gives each test the library's defaults with the client identification of the sample orders
/// ("1.0", "ShopApp"), and puts the defaults back afterwards.
class ConfiguredTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ProcessState::reset();
        IAClientServiceSSM::setVerSDK("1.0");
        IAClientServiceSSM::setAppBundle("ShopApp");
    }
    void TearDown() override { ProcessState::reset(); }
};

}  // namespace vanto::testing
