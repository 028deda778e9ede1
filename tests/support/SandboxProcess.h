#pragma once

// A sandbox gateway in a child process, for test programs that must have only the library in
// their own process (the sandbox keeps its own copies of what it receives). The child dies with
// the process that started it.

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "ChildProcess.h"

#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/platform/URLSession.h"
#include "vanto/sandbox/SandboxGateway.h"

namespace vanto::testing {

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

/// Starts the sandbox in a child process (call before any thread is started) and points the
/// library at it. False, with a line on standard error, when it does not announce its port and
/// certificate within 30 seconds.
inline bool payThroughSandboxProcess() {
    Pipe channel;
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        channel.read.reset();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(0);
        }
        sandbox::SandboxOptions options;
        options.logRequests = false;
        auto* gateway = new sandbox::SandboxGateway(options);  // ends with the process
        const std::string announcement =
            gateway->start() ? gateway->authority() + "\n" + gateway->certificatePem() : "";
        if (announcement.empty() ||
            write(channel.write.get(), announcement.data(), announcement.size()) < 0) {
            _exit(1);
        }
        for (;;) {
            pause();
        }
    }
    channel.write.reset();
    std::string text;
    if (child < 0 ||
        !readUntil(channel.read.get(), text, "-----END CERTIFICATE-----\n",
                   std::chrono::seconds(30)) ||
        !payThroughSandboxAt(text.substr(0, text.find('\n')), text.substr(text.find('\n') + 1))) {
        std::fprintf(stderr, "the sandbox did not start\n");
        return false;
    }
    return true;
}

}  // namespace vanto::testing
