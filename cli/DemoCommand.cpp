#include <chrono>
#include <iostream>
#include <memory>
#include <optional>

#include "Commands.h"
#include "vanto/config/Constants.h"
#include "vanto/config/TransactionType.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/Encode.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/transport/Manager.h"
#include "vanto/web/WebViewPaymentRequest.h"

namespace vanto::cli {
namespace {

using namespace std::chrono_literals;

// Sends one request with a new manager, the way each payment does, and waits for its outcome on
// the main queue. Returns a one-line summary of it.
template <typename Request>
std::string sendAndWait(std::shared_ptr<Request> request,
                        const platform::URLSessionConfiguration& session,
                        std::string (*describe)(const typename Request::Response&)) {
    std::optional<std::string> summary;
    Manager::create(session)->send(
        request, std::nullopt,
        [&](std::optional<typename Request::Response> answer) {
            summary = answer ? describe(*answer) : "an empty answer";
        },
        [&](SDKError error) {
            summary = "transport failure " + std::to_string(error.code()) + " " +
                      error.errorDescription();
        });
    if (!platform::MainQueue::runUntil([&] { return summary.has_value(); }, 60s)) {
        return "no outcome within a minute";
    }
    return *summary;
}

std::string describePayment(const DirectPaymentResponse& answer) {
    if (answer.code != 0 || !answer.datosRespuesta) {
        return "refused by the gateway: code " + std::to_string(answer.code) + " " + answer.desc;
    }
    const auto& details = *answer.datosRespuesta;
    const std::string card = details.Ds_CardNumber.value_or("");
    return "code 0, Ds_Response " + details.Ds_Response.value_or("") + ", authorisation \"" +
           details.Ds_AuthorisationCode.value_or("") + "\", card ending in " +
           card.substr(card.size() > 4 ? card.size() - 4 : 0);
}

std::string describeSignature(const WebViewPaymentResponse& answer) {
    if (answer.code != 0 || !answer.datosPeticion) {
        return "refused by the gateway: code " + std::to_string(answer.code) + " " + answer.desc;
    }
    return "code 0, payment page parameters signed with " +
           answer.datosPeticion->Ds_SignatureVersion;
}

}  // namespace

int runDemo(std::ostream& out, std::ostream& err) {
    sandbox::SandboxOptions options;
    options.logRequests = false;
    sandbox::SandboxGateway gateway(options);
    if (!gateway.start()) {
        err << "vanto demo: the sandbox gateway did not start: " << gateway.lastError() << "\n";
        return kExitFailure;
    }
    Constants::setGatewayHost(EnviromentType::test, gateway.authority());
    auto session = platform::URLSessionConfiguration::defaultSessionConfiguration();
    session.additionalTrustAnchors = {gateway.certificatePem()};

    auto& configuration = VantoConfiguration::shared();
    const auto merchant = sandbox::SandboxGateway::defaultMerchant();
    configuration.setAppFuc(merchant.merchantCode);
    configuration.setAppTerminal(merchant.terminal);
    configuration.setAppLicense(merchant.signingCredential);
    configuration.setAppEnviroment(EnviromentType::test);
    const std::string normal = transactionTypeCode(TransactionType::normal);

    out << "Sandbox gateway at " << gateway.baseUrl() << ", merchant " << merchant.merchantCode
        << ", terminal " << merchant.terminal << ". Every call prints its request and reply "
        << "traces, card data masked.\n\n";
    out.flush();

    const auto pay = [&](std::string_view card, std::string_view order) {
        return sendAndWait(
            std::make_shared<DirectPaymentRequest>(Encode::encodeStringDirectPayment(
                card, "123", "3012", "1999", order, "", "true", normal, "Libro de ejemplo")),
            session, &describePayment);
    };
    const std::string accepted = pay(sandbox::kAcceptedCard, "DEMO0001");
    const std::string declined = pay(sandbox::kDeclinedCard, "DEMO0002");
    const std::string signature =
        sendAndWait(std::make_shared<WebViewPaymentRequest>(Encode::encodeStringWebViewPayment(
                        "DEMO0003", configuration.REQUEST_REFERENCE(), 19.99, "false", normal,
                        "Libro de ejemplo")),
                    session, &describeSignature);

    out << "\nDirect payment of 19.99 EUR, test card ending in 0002: " << accepted << "\n"
        << "Direct payment of 19.99 EUR, test card ending in 0010: " << declined << "\n"
        << "Signature of a web payment's page parameters: " << signature << "\n";
    gateway.stop();
    return kExitOk;
}

}  // namespace vanto::cli
