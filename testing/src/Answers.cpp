#include <nlohmann/json.hpp>

#include "vanto/testing/FakeGatewayService.h"
#include "vanto/text/UrlText.h"

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

std::string returnAddress(std::string_view base, PageResult result, std::string_view order,
                          std::string_view amount) {
    std::string parameters = "!not-base64!";
    if (result != PageResult::malformed) {
        const bool accepted = result == PageResult::accepted;
        const nlohmann::ordered_json fields = {
            {"Ds_Amount", amount},
            {"Ds_Currency", "978"},
            {"Ds_Order", order},
            {"Ds_MerchantCode", "999008881"},
            {"Ds_Terminal", "1"},
            {"Ds_Response", accepted                          ? "0000"
                            : result == PageResult::cancelled ? "9915"
                                                              : "0190"},
            {"Ds_AuthorisationCode", accepted ? "123456" : ""},
            {"Ds_TransactionType", "0"},
            {"Ds_SecurePayment", "1"},
            {"Ds_Card_Number", accepted ? "************0002" : ""},
        };
        parameters = base64Encode(fields.dump());
    }
    return std::string(base) + (base.find('?') == std::string_view::npos ? "?" : "&") +
           "Ds_SignatureVersion=HMAC_SHA256_V1&Ds_MerchantParameters=" + parameters +
           "&Ds_Signature=c2lnbmF0dXJl";
}

}  // namespace vanto::testing
