#pragma once

namespace CLI {
class App;
class ParseError;
}  // namespace CLI

namespace vanto::cli {

/// What a parse error of the options comes to: the help or the version on standard output and
/// kExitOk, or one line on standard error and kExitBadInput. Values given on the command line may
/// be card data, so messages that would quote them are replaced by ones that only name what is
/// wrong.
int reportParseError(const CLI::App& app, const CLI::ParseError& error);

}  // namespace vanto::cli
