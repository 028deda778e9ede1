#include <nlohmann/json.hpp>

#include "vanto/testing/FakeGatewayService.h"

namespace vanto::testing {

std::string envelopeMessage(std::string_view envelope) {
    const auto parsed = nlohmann::json::parse(envelope, nullptr, false);
    if (!parsed.is_object() || !parsed.contains("mensaje") || !parsed["mensaje"].is_string()) {
        return "";
    }
    return parsed["mensaje"].get<std::string>();
}

DirectPaymentResponse acceptedDirectPayment(std::string authorisationCode) {
    DatosRespuesta details(std::nullopt, std::nullopt, std::nullopt, "978", std::nullopt,
                           std::nullopt, std::nullopt, std::nullopt, std::move(authorisationCode),
                           std::nullopt, std::nullopt, "0000", std::nullopt, std::nullopt,
                           std::nullopt, std::nullopt, "************0002");
    return DirectPaymentResponse(std::move(details), 0, "OK");
}

DirectPaymentResponse declinedDirectPayment(std::string dsResponse) {
    DatosRespuesta details(std::nullopt, std::nullopt, std::nullopt, "978", std::nullopt,
                           std::nullopt, std::nullopt, std::nullopt, "", std::nullopt, std::nullopt,
                           std::move(dsResponse), std::nullopt, std::nullopt, std::nullopt,
                           std::nullopt, std::nullopt);
    return DirectPaymentResponse(std::move(details), 0, "Denegada");
}

DirectPaymentResponse directPaymentError(std::int64_t code, std::string desc) {
    return DirectPaymentResponse(std::nullopt, code, std::move(desc));
}

WebViewPaymentResponse signedPaymentPage() {
    return WebViewPaymentResponse(
        datosPeticion("c2lnbmF0dXJl", "eyJEc19NZXJjaGFudF9PcmRlciI6IjEifQ==", "HMAC_SHA256_V1"), 0,
        "", std::nullopt);
}

}  // namespace vanto::testing
