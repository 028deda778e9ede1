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

#include "vanto/sandbox/SandboxGateway.h"

namespace vanto::testing {

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
        !sandbox::useAsTestEnvironment(text.substr(0, text.find('\n')),
                                       text.substr(text.find('\n') + 1))) {
        std::fprintf(stderr, "the sandbox did not start\n");
        return false;
    }
    return true;
}

}  // namespace vanto::testing
