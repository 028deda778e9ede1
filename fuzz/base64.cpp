// Strict Base64 and the payment result's Base64 JSON text: whatever decodes, encodes back to a
// text that decodes to the same bytes, and any bytes survive encoding and decoding.
#include <string>

#include "FuzzSupport.h"
#include "vanto/text/UrlText.h"
#include "vanto/text/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = vanto::fuzz::textOf(data, size);

    const std::optional<std::string> decoded = vanto::base64Decode(input);
    if (decoded) {
        FUZZ_CHECK(input.size() % 4 == 0);
        FUZZ_CHECK(decoded->size() <= input.size() / 4 * 3 &&
                   decoded->size() + 2 >= input.size() / 4 * 3);
        FUZZ_CHECK(vanto::base64Decode(vanto::base64Encode(*decoded)) == decoded);
    }
    const std::string encoded = vanto::base64Encode(input);
    FUZZ_CHECK(encoded.size() == (input.size() + 2) / 3 * 4);
    FUZZ_CHECK(vanto::base64Decode(encoded) == std::string(input));

    const std::optional<std::string> json = vanto::parseJsonString(input);
    FUZZ_CHECK(json.has_value() == (decoded && vanto::isValidUtf8(*decoded)));
    FUZZ_CHECK(!json || *json == *decoded);
    return 0;
}
