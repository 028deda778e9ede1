#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace vanto::cli {

/// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitBadInput = 2;
/// What a run needs could not be had: the built-in sandbox did not start, no outcome came.
inline constexpr int kExitCannotRun = 3;

struct PaymentOptions;

/// `vanto encode direct|web`: reads one JSON object from `in` and writes the signed request
/// envelope and a line break to `out`; on bad input one line to `err` and kExitBadInput.
int runEncode(const std::string& kind, std::istream& in, std::ostream& out, std::ostream& err);

/// `vanto demo`: an accepted and a refused direct payment and an accepted web payment against the
/// built-in sandbox, each outcome on one line of `out`: on the library's Qt screens, typed into
/// and filled in by the program itself, when the build has them and there is a display; through
/// the presenters otherwise. With `traces`, the library's traces go to standard error.
int runDemo(bool traces, std::ostream& out, std::ostream& err);

/// `vanto pay`: a direct payment through the direct-payment presenter, without a screen. Writes
/// the outcome record as one JSON object on the last line of `out` (traces go to standard error)
/// and returns kExitOk for an accepted payment, kExitFailure for a refused one.
int runPay(PaymentOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

/// `vanto web`: a web payment in the payment page window (Qt), where the cardholder types the card
/// data; with `headless`, through the web-payment presenter, with a minimal browser that fills the
/// sandbox's card form. Output and statuses as runPay.
int runWeb(PaymentOptions& options, bool headless, std::istream& in, std::ostream& out,
           std::ostream& err);

/// `{"code":<code>,"desc":<desc>}`, the properties of a refusal record.
std::string refusalJson(std::int64_t code, std::string_view desc);

/// Options of `vanto sandbox`.
struct SandboxSettings {
    std::string host = "127.0.0.1";
    int port = 0;
    std::string certificateFile;
    std::string keyFile;
    /// A file to append every request to, as one line of JSON with card data masked.
    std::string recordFile;
    /// A file to write the served certificate to, in PEM.
    std::string certificateOut;
};

/// `vanto sandbox`: runs the sandbox gateway, prints a line of JSON for scripts (address,
/// authority, certificate file, process id), then its address, merchant, test cards and
/// certificate to `out`, and serves until SIGINT or SIGTERM; kExitFailure when it cannot start.
int runSandbox(const SandboxSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace vanto::cli
