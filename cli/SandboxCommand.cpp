#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <nlohmann/json.hpp>

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

bool writeCertificate(const std::string& path, const std::string& pem) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << pem;
    file.close();
    return !file.fail();
}

/// One line of JSON for scripts that start the sandbox: where it listens, where its certificate
/// is (null when it is only printed), and the process to signal.
std::string startLine(const sandbox::SandboxGateway& gateway, const std::string& certificateFile) {
    nlohmann::ordered_json details;
    details["address"] = gateway.baseUrl();
    details["authority"] = gateway.authority();
    details["certificate_file"] =
        certificateFile.empty()
            ? nlohmann::ordered_json()
            : nlohmann::ordered_json(std::filesystem::absolute(certificateFile).string());
    details["pid"] = ::getpid();
    nlohmann::ordered_json line;
    line["vanto_sandbox"] = std::move(details);
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
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
    if (!settings.certificateOut.empty() &&
        !writeCertificate(settings.certificateOut, gateway.certificatePem())) {
        err << "vanto sandbox: cannot write the certificate to " << settings.certificateOut << '\n';
        return kExitFailure;
    }
    const std::string& certificateFile =
        settings.certificateOut.empty() ? settings.certificateFile : settings.certificateOut;
    out << startLine(gateway, certificateFile) << '\n';
    describe(gateway, settings.recordFile, out);

    int received = 0;
    sigwait(&signals, &received);
    // Nothing more goes to `out` here: a console nobody reads would hold the stop up. The
    // sandbox says that it stops on its own non-blocking console lines.
    gateway.stop();
    return kExitOk;
}

}  // namespace vanto::cli
