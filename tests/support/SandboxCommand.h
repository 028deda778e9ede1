#pragma once

// `vanto sandbox` in a process of its own, the way scripts and integrators run it.

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace vanto::testing {

/// `program sandbox --cert-out <certificateFile> <arguments>`, started and its start-up line read.
/// Its standard output is a pipe the test reads only when it chooses (`printed`); waiting for its
/// end reads its standard error.
struct SandboxCommand {
    Pipe out;
    Pipe err;
    std::unique_ptr<ChildProcess> child;
    std::string printed;
    std::string program_;

    SandboxCommand(const std::string& program, const std::string& certificateFile,
                   std::vector<std::string> arguments = {})
        : program_(program) {
        arguments.insert(arguments.begin(), {"sandbox", "--cert-out", certificateFile});
        child = std::make_unique<ChildProcess>(
            program, arguments,
            ChildOptions{.streams = {-1, out.write.get(), err.write.get()},
                         .watched = err.read.get()});
        out.write.reset();
        err.write.reset();
        readUntil("\n");
    }
    /// Reads its standard output until it holds `wanted`, for at most 30 seconds.
    bool readUntil(std::string_view wanted) {
        return testing::readUntil(out.read.get(), printed, wanted, std::chrono::seconds(30));
    }
    /// A text member of its start-up line; "" when there is none of that name.
    std::string field(const std::string& name) const {
        const std::string line = printed.substr(0, printed.find('\n'));
        std::smatch match;
        return std::regex_search(line, match, std::regex("\"" + name + "\":\"([^\"]*)\""))
                   ? match[1].str()
                   : "";
    }
    std::string certificate() const { return fileBytes(field("certificate_file")); }
    int port() const {
        const std::string authority = field("authority");
        return std::atoi(authority.substr(authority.rfind(':') + 1).c_str());
    }
    /// `program pay` of 1.00 for `order` through it, the accepted card typed on standard input
    /// (as a script gives card data to any gateway but the built-in one); `journal` is the
    /// journal's option.
    std::unique_ptr<ChildProcess> pay(const std::string& order,
                                      const std::string& journal = "--no-journal",
                                      const ChildOptions& options = {}) const {
        auto paying = std::make_unique<ChildProcess>(
            program_,
            std::vector<std::string>{"pay", "--environment", "test", "--gateway",
                                     field("authority"), "--trust", field("certificate_file"),
                                     "--card", "-", "--expiry", "-", "--cvv", "-", "--amount", "1",
                                     "--order", order, journal},
            options);
        paying->finishInput("4000000000000002\n12/30\n7391\n");
        return paying;
    }
    /// Ends it as Ctrl+C does: whether it then ended by itself, with status 0, within 30 seconds.
    bool stop() {
        child->signal(SIGTERM);
        return child->exitCode(std::chrono::seconds(30)) == 0;
    }
};

}  // namespace vanto::testing
