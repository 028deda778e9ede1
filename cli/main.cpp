#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "Commands.h"
#include "vanto/Version.h"

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

    auto* demo = app.add_subcommand("demo", "Show the library at work on sample data");

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

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? vanto::cli::kExitOk : vanto::cli::kExitBadInput;
    }
    if (encode->parsed()) {
        return vanto::cli::runEncode(kind, std::cin, std::cout, std::cerr);
    }
    if (demo->parsed()) {
        return vanto::cli::runDemo(std::cout, std::cerr);
    }
    if (sandbox->parsed()) {
        return vanto::cli::runSandbox(sandboxSettings, std::cout, std::cerr);
    }
    return vanto::cli::kExitBadInput;
}
