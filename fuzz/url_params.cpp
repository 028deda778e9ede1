// The return address of the payment page split into its parameters. The first line of the input
// is the configured failure address, the rest the address to split.
#include "FuzzSupport.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/text/UrlText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = vanto::fuzz::textOf(data, size);
    const std::size_t lineEnd = input.find('\n');
    const std::string_view failureAddress = input.substr(0, lineEnd);
    const std::string_view url =
        lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);
    vanto::VantoConfiguration::shared().setAppURLKO(std::string(failureAddress));

    const auto params = vanto::getUrlParams(url);
    // The query is split at every "&", and a key ends at its piece's first "=".
    FUZZ_CHECK(!params.empty());
    for (const auto& [key, value] : params) {
        FUZZ_CHECK(key.find('&') == std::string::npos && key.find('=') == std::string::npos);
        FUZZ_CHECK(value.find('&') == std::string::npos);
    }
    return 0;
}
