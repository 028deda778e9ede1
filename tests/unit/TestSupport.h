#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/IAClientServiceSSM.h"

namespace vanto::testing {

/// Contents of a file under tests/data, without its final line break.
inline std::string readTestData(const std::string& name) {
    std::ifstream file(std::string(VANTO_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    std::string text = contents.str();
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

/// Gives each test a fresh shared configuration and the client identification of the sample
/// orders ("1.0", "ShopApp"), and puts the defaults back afterwards.
class ConfiguredTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VantoConfiguration::shared() = VantoConfiguration();
        IAClientServiceSSM::setVerSDK("1.0");
        IAClientServiceSSM::setAppBundle("ShopApp");
    }
    void TearDown() override {
        VantoConfiguration::shared() = VantoConfiguration();
        IAClientServiceSSM::setVerSDK(std::nullopt);
        IAClientServiceSSM::setAppBundle(std::nullopt);
    }
};

}  // namespace vanto::testing
