// The input of `vanto encode`: the first byte chooses direct (odd) or web (even), the rest is
// the JSON read from standard input. Bad input gives one line; good input encodes into a signed
// envelope that carries the card data as given.
#include <string>

#include <nlohmann/json.hpp>

#include "EncodeInput.h"
#include "FuzzSupport.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/encoding/Sha256.h"

namespace {

using nlohmann::json;

void checkDirectEnvelope(const vanto::cli::EncodeInput& input,
                         const vanto::cli::DirectPaymentInput& direct,
                         const std::string& envelope) {
    const json outer = json::parse(envelope, nullptr, false);
    FUZZ_CHECK(outer.is_object() && outer["mensaje"].is_string() && outer["firma"].is_string());
    const std::string mensaje = outer["mensaje"].get<std::string>();
    FUZZ_CHECK(outer["firma"] == vanto::sha256(mensaje + input.configuration.appLicense()));
    const json message = json::parse(mensaje, nullptr, false);
    FUZZ_CHECK(message.is_object());
    const json& datos = message["datosPeticion"];
    FUZZ_CHECK(datos["DS_MERCHANT_PAN"] == direct.pan && datos["DS_MERCHANT_CVV2"] == direct.cvv2 &&
               datos["DS_MERCHANT_EXPIRYDATE"] == direct.expiryDate);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    vanto::IAClientServiceSSM::setVerSDK(std::nullopt);
    vanto::IAClientServiceSSM::setAppBundle(std::nullopt);
    const std::string kind = (data[0] & 1) != 0 ? "direct" : "web";
    const auto read = vanto::cli::readEncodeInput(kind, vanto::fuzz::textOf(data + 1, size - 1));
    if (const auto* message = std::get_if<std::string>(&read)) {
        FUZZ_CHECK(!message->empty() && message->find('\n') == std::string::npos);
        return 0;
    }
    // Whatever the JSON parser took in is well-formed text, which the encoders always take.
    const auto& input = std::get<vanto::cli::EncodeInput>(read);
    const std::string envelope = vanto::cli::encode(input);
    FUZZ_CHECK(!envelope.empty());
    if (const auto* direct = std::get_if<vanto::cli::DirectPaymentInput>(&input.arguments)) {
        checkDirectEnvelope(input, *direct, envelope);
    }
    return 0;
}
