#include "UsageErrors.h"

#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "Commands.h"

namespace vanto::cli {

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

}  // namespace vanto::cli
