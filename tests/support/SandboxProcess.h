#pragma once

// A sandbox gateway in a child process, for test programs that must have only the library in
// their own process (the sandbox keeps its own copies of what it receives). The child dies with
// the process that started it.

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/platform/URLSession.h"
#include "vanto/sandbox/SandboxGateway.h"

namespace vanto::testing {

/// Where the sandbox of a child process listens, and the certificate to trust.
struct SandboxProcess {
    std::string port;
    std::string certificatePem;
};

/// Forks the child (call before any thread is started) and waits, at most 30 seconds, for it to
/// announce its port and certificate; none when it does not.
inline std::optional<SandboxProcess> startSandboxProcess() {
    int channel[2];
    if (pipe(channel) != 0) {
        return std::nullopt;
    }
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        return std::nullopt;
    }
    if (child == 0) {
        close(channel[0]);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(0);
        }
        sandbox::SandboxOptions options;
        options.logRequests = false;
        auto* gateway = new sandbox::SandboxGateway(options);  // ends with the process
        if (!gateway->start()) {
            _exit(1);
        }
        const std::string announcement =
            std::to_string(gateway->port()) + "\n" + gateway->certificatePem();
        if (write(channel[1], announcement.data(), announcement.size()) < 0) {
            _exit(1);
        }
        close(channel[1]);
        for (;;) {
            pause();
        }
    }
    close(channel[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        pollfd ready{channel[0], POLLIN, 0};
        if (poll(&ready, 1, 30000) != 1) {
            close(channel[0]);
            return std::nullopt;
        }
        const ssize_t count = read(channel[0], buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    close(channel[0]);
    const auto newline = text.find('\n');
    if (newline == std::string::npos) {
        return std::nullopt;
    }
    return SandboxProcess{text.substr(0, newline), text.substr(newline + 1)};
}

/// Points the library at the sandbox at `authority`: the test environment's host, `certificatePem`
/// trusted by every session made from now on, the sandbox's default merchant in the shared
/// configuration. False when the address is not taken.
inline bool payThroughSandboxAt(const std::string& authority, const std::string& certificatePem) {
    if (certificatePem.empty() || !Constants::setGatewayHost(EnviromentType::test, authority)) {
        return false;
    }
    auto session = platform::URLSessionConfiguration::defaultSessionConfiguration();
    session.additionalTrustAnchors = {certificatePem};
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(session);
    auto& configuration = VantoConfiguration::shared();
    const auto merchant = sandbox::SandboxGateway::defaultMerchant();
    configuration.setAppEnviroment(EnviromentType::test);
    configuration.setAppFuc(merchant.merchantCode);
    configuration.setAppTerminal(merchant.terminal);
    configuration.setAppLicense(merchant.signingCredential);
    return true;
}

/// Starts the sandbox's process and points the library at it. False, with a line on standard
/// error, when the sandbox does not start.
inline bool payThroughSandboxProcess() {
    const auto sandbox = startSandboxProcess();
    if (!sandbox || !payThroughSandboxAt("127.0.0.1:" + sandbox->port, sandbox->certificatePem)) {
        std::fprintf(stderr, "the sandbox did not start\n");
        return false;
    }
    return true;
}

}  // namespace vanto::testing
