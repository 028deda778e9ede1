#include <pthread.h>

#include <algorithm>
#include <csignal>
#include <iostream>

#include "Commands.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/sandbox/TestCards.h"

namespace vanto::cli {

namespace {

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

void describe(const sandbox::SandboxGateway& gateway, const std::string& recordFile,
              std::ostream& out) {
    const sandbox::Merchant merchant = sandbox::SandboxGateway::defaultMerchant();
    out << "Sandbox gateway listening on " << gateway.baseUrl() << "\n\n"
        << "Point an environment at it with\n"
        << "  vanto::Constants::setGatewayHost(vanto::EnviromentType::test, \""
        << gateway.authority() << "\")\n"
        << "and add the certificate below to the session's trust anchors.\n\n"
        << "Merchant code " << merchant.merchantCode << ", terminal " << merchant.terminal
        << ", signing credential \"" << merchant.signingCredential << "\"\n\n"
        << "Test cards, listed with their numbers in /usr/share/doc/vanto/sandbox/README.md "
           "(share/doc/vanto/ under another install prefix; card numbers are not printed):\n";
    for (const sandbox::TestCard& card : sandbox::testCards()) {
        out << "  the card ending in " << card.number.substr(card.number.size() - 4) << ": "
            << card.behaviour << '\n';
    }
    out << "\nOrder numbers switch answers and faults on (OUTCOME_0100, AUTHSTEP, "
           "PAGEFAULT_500...): see the same README.\n"
        << "Requests received, card data masked: GET " << gateway.baseUrl() << "/sandbox/recorded";
    if (!recordFile.empty()) {
        out << ", and appended to " << recordFile;
    }
    out << "\n\n" << gateway.certificatePem() << "\nStop with Ctrl+C.\n" << std::flush;
}

}  // namespace

int runSandbox(const SandboxSettings& settings, std::ostream& out, std::ostream& err) {
    // Blocked before the server starts, so that its threads inherit the mask and the signals
    // reach only the sigwait below.
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    sandbox::SandboxOptions options;
    options.host = settings.host;
    // The certificate names the address given, so that clients can reach it by that address.
    if (std::find(options.certificateNames.begin(), options.certificateNames.end(),
                  settings.host) == options.certificateNames.end()) {
        options.certificateNames.push_back(settings.host);
    }
    options.port = settings.port;
    options.certificateFile = settings.certificateFile;
    options.keyFile = settings.keyFile;
    options.recordFile = settings.recordFile;
    sandbox::SandboxGateway gateway(options);
    if (!gateway.start()) {
        err << "vanto sandbox: " << gateway.lastError() << '\n';
        return kExitFailure;
    }
    describe(gateway, settings.recordFile, out);

    int received = 0;
    sigwait(&signals, &received);
    out << "Stopping the sandbox gateway.\n" << std::flush;
    gateway.stop();
    return kExitOk;
}

}  // namespace vanto::cli
