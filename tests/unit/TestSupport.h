#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/platform/ProcessState.h"

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
