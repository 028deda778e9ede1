// vanto-screens: the commands of `vanto` that show the library's Qt screens. `vanto` checks their
// options and becomes this program, so that `vanto` itself links no Qt.
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "CardInput.h"
#include "Commands.h"
#include "PaymentOptions.h"
#include "QtScreens.h"
#include "ScreensProgram.h"
#include "UsageErrors.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/transport/Trace.h"

namespace vanto::cli {
namespace {

// The payment page in a window, where the cardholder types the card data.
int runWebWindow(PaymentOptions& options, std::ostream& out, std::ostream& err) {
    std::optional<CheckedPayment> checked;
    std::string problem;
    if (const int status = checkWindowOptions(options, checked, problem); status != kExitOk) {
        err << "vanto web: " << problem << '\n';
        return status;
    }
    // Read here, not by `vanto` before it became this program: standard input is still whole.
    CardInput standardInput(STDIN_FILENO, STDERR_FILENO);
    if (!takeCredential(options, standardInput, problem)) {
        err << "vanto web: " << problem << '\n';
        return kExitBadInput;
    }
    const auto journal = JournalForRun::start(options.journal, problem);
    const auto gateway =
        journal ? GatewayForRun::start(checked->gateway, options, problem) : nullptr;
    if (!gateway) {
        err << "vanto web: " << maskCardData(problem) << '\n';
        return kExitCannotRun;
    }
    if (const auto cannot = journal->problem(); !cannot.empty()) {
        err << "vanto web: " << maskCardData(cannot) << '\n';
    }
    std::optional<WebOutcome> outcome;
    {
        QtSession session(!options.allowNetwork);
        outcome = webPaymentInWindow(session, checked->payment, false, problem);
    }
    return reportWebOutcome(outcome, problem, journal->journal(), checked->payment.order, out, err);
}

// The demo's payments on the screens, typed and filled in by the program itself.
std::optional<DemoPayments> onScreens(const GatewayForRun&) {
    auto session = std::make_shared<QtSession>(true);
    DemoPayments payments;
    payments.way = "payment screens (Qt)";
    payments.direct = [session](Payment& payment, std::string& problem) {
        return directPaymentOnScreen(*session, payment, problem);
    };
    payments.web = [session](Payment& payment, std::string& problem) {
        return webPaymentInWindow(*session, payment, true, problem);
    };
    return payments;
}

}  // namespace
}  // namespace vanto::cli

int main(int argc, char** argv) {
    using namespace vanto::cli;
    // A reader that has gone (a closed pipe or socket) makes a write fail, which the commands
    // handle, instead of ending the process in the middle of a payment or of serving one.
    std::signal(SIGPIPE, SIG_IGN);
    // Its payments are the command line's: the gateway knows the client by the name `vanto`.
    vanto::IAClientServiceSSM::setAppBundle("vanto");
    CLI::App app{
        "vanto-screens: the payment screens of the vanto command line (Qt). `vanto web` "
        "without --headless and `vanto demo` on a display run it; see `vanto --help`"};
    app.require_subcommand(1);
    auto* demo = app.add_subcommand("demo", "The demo's three payments on the payment screens");
    bool demoTraces = false;
    demo->add_flag("--traces", demoTraces,
                   "Also write the library's traces (card data masked) to standard error");
    JournalChoice demoJournal;
    addJournalOptions(*demo, demoJournal);
    PaymentOptions webOptions;
    auto* web = app.add_subcommand("web", "A web payment in the payment page window");
    addPaymentOptions(*web, webOptions);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return reportParseError(app, error);
    }
    wipeCardArguments(*web);
    if (web->parsed()) {
        return runWebWindow(webOptions, std::cout, std::cerr);
    }
    if (demo->parsed()) {
        return runDemo(demoTraces, demoJournal, canOpenWindows() ? DemoScreens(onScreens) : nullptr,
                       std::cout, std::cerr);
    }
    return kExitBadInput;
}
