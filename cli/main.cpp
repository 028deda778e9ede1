#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "Commands.h"
#include "PaymentOptions.h"
#include "vanto/Version.h"

namespace vanto::cli {
namespace {

// One line on standard error for bad usage. Values given on the command line may be card data,
// so messages that would quote them are replaced by ones that only name what is wrong.
int reportParseError(const CLI::App& app, const CLI::ParseError& error) {
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
        return app.exit(error) == 0 ? kExitOk : kExitBadInput;  // --help, --version
    }
    const auto kind = static_cast<CLI::ExitCodes>(error.get_exit_code());
    std::string message = error.what();
    if (kind == CLI::ExitCodes::ExtrasError) {
        message = "unexpected arguments";
    } else if (kind == CLI::ExitCodes::ValidationError || kind == CLI::ExitCodes::ConversionError) {
        const auto colon = message.find(':');
        message =
            (colon == std::string::npos ? std::string("an option") : message.substr(0, colon)) +
            ": the value given is not valid";
    }
    std::cerr << "vanto: " << message << " (see --help)\n";
    return kExitBadInput;
}

}  // namespace
}  // namespace vanto::cli

int main(int argc, char** argv) {
    CLI::App app{"vanto: card payments through the gateway, from the command line"};
    app.set_version_flag("--version", VANTO_VERSION);
    app.require_subcommand(1);

    std::string kind;
    auto* encode = app.add_subcommand(
        "encode", "Print the signed request for the order data read as JSON from standard input");
    encode->add_option("kind", kind, "Which request: direct or web")
        ->required()
        ->check(CLI::IsMember({"direct", "web"}));

    auto* demo = app.add_subcommand(
        "demo",
        "Three payments through the library against the built-in sandbox gateway: on its payment "
        "screens (Qt) when there is a display, through its presenters otherwise");
    bool demoTraces = false;
    demo->add_flag("--traces", demoTraces,
                   "Also write the library's traces (card data masked) to standard error");

    vanto::cli::PaymentOptions payOptions;
    auto* pay = app.add_subcommand(
        "pay",
        "A direct payment without a screen, through the built-in sandbox gateway unless "
        "--environment says otherwise. Prints the outcome record as JSON on the last line; exit "
        "status 0 accepted, 1 refused, 2 bad usage, 3 could not run");
    vanto::cli::addPaymentOptions(*pay, payOptions);

    vanto::cli::PaymentOptions webOptions;
    bool headless = false;
    auto* web = app.add_subcommand(
        "web",
        "A web payment through the gateway's payment page, against the built-in sandbox gateway "
        "unless --environment says otherwise. The page opens in a window (Qt) where the "
        "cardholder types the card data; with --headless a minimal browser fills the card form "
        "of the sandbox's page with --card, --expiry and --cvv instead (it understands only that "
        "page). Output and exit status as for pay");
    vanto::cli::addPaymentOptions(*web, webOptions);
    web->add_flag("--headless", headless, "Fill the sandbox's page without a window");

    vanto::cli::SandboxSettings sandboxSettings;
    auto* sandbox =
        app.add_subcommand("sandbox", "Run the local sandbox gateway over HTTPS until interrupted");
    sandbox->add_option("--host", sandboxSettings.host, "Loopback address to listen on")
        ->capture_default_str();
    sandbox->add_option("--port", sandboxSettings.port, "Port to listen on; 0 picks a free one")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    auto* certificate = sandbox
                            ->add_option("--cert", sandboxSettings.certificateFile,
                                         "PEM certificate to serve instead of a generated one")
                            ->check(CLI::ExistingFile);
    auto* key = sandbox->add_option("--key", sandboxSettings.keyFile, "PEM private key of --cert")
                    ->check(CLI::ExistingFile);
    certificate->needs(key);
    key->needs(certificate);
    sandbox->add_option("--record", sandboxSettings.recordFile,
                        "Append every request to this file as one line of JSON, card data masked");
    sandbox->add_option("--cert-out", sandboxSettings.certificateOut,
                        "Write the served certificate to this file, in PEM");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return vanto::cli::reportParseError(app, error);
    }
    if (encode->parsed()) {
        return vanto::cli::runEncode(kind, std::cin, std::cout, std::cerr);
    }
    if (pay->parsed()) {
        return vanto::cli::runPay(payOptions, std::cin, std::cout, std::cerr);
    }
    if (web->parsed()) {
        return vanto::cli::runWeb(webOptions, headless, std::cin, std::cout, std::cerr);
    }
    if (demo->parsed()) {
        return vanto::cli::runDemo(demoTraces, std::cout, std::cerr);
    }
    if (sandbox->parsed()) {
        return vanto::cli::runSandbox(sandboxSettings, std::cout, std::cerr);
    }
    return vanto::cli::kExitBadInput;
}
