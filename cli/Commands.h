#pragma once

#include <iosfwd>
#include <string>

namespace vanto::cli {

/// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitBadInput = 2;

/// `vanto encode direct|web`: reads one JSON object from `in` and writes the signed request
/// envelope and a line break to `out`; on bad input one line to `err` and kExitBadInput.
int runEncode(const std::string& kind, std::istream& in, std::ostream& out, std::ostream& err);

/// `vanto demo`: shows what the library does with sample merchant data and a sandbox test card.
int runDemo(std::ostream& out, std::ostream& err);

/// Options of `vanto sandbox`.
struct SandboxSettings {
    std::string host = "127.0.0.1";
    int port = 0;
    std::string certificateFile;
    std::string keyFile;
    /// A file to append every request to, as one line of JSON with card data masked.
    std::string recordFile;
};

/// `vanto sandbox`: runs the sandbox gateway, prints its address, merchant, test cards and
/// certificate to `out`, and serves until SIGINT or SIGTERM; kExitFailure when it cannot start.
int runSandbox(const SandboxSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace vanto::cli
