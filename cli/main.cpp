#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "CardInput.h"
#include "Commands.h"
#include "PaymentOptions.h"
#include "ScreensProgram.h"
#include "UsageErrors.h"
#include "vanto/Version.h"

namespace vanto::cli {
namespace {

constexpr const char* kPayHelp =
    "A direct payment without a screen, through the built-in sandbox gateway unless "
    "--environment says otherwise. The card data come from standard input: --card - --expiry - "
    "--cvv - read one line each, in that order (on a terminal they are asked for and typed "
    "without echo); as arguments they are taken only against the built-in sandbox, whose test "
    "cards are public. Each step of the payment is recorded in the payment journal (--journal, "
    "--no-journal) before it goes ahead; a journal that cannot record it refuses the payment "
    "with code 5552 and nothing is sent. Prints the outcome record as JSON on the last line; "
    "exit status 0 accepted, 1 refused (nothing charged), 2 bad usage, 3 could not run, 4 in "
    "doubt: the request left and no answer of the gateway was read, so the gateway may have "
    "charged the card (see vanto journal unresolved), 5 the outcome line could not be written to "
    "standard output (the journal keeps the payment answered), 6 the outcome was told but the "
    "journal could not record the payment's last steps (it holds the payment unresolved)";

constexpr const char* kWebHelp =
    "A web payment through the gateway's payment page, against the built-in sandbox gateway "
    "unless --environment says otherwise. The page opens in a window (Qt) where the cardholder "
    "types the card data; with --headless a minimal browser fills the card form of the "
    "sandbox's page with --card, --expiry and --cvv instead (it understands only that page; the "
    "card data as for pay). Journal, output and exit status as for pay (in doubt: the payment "
    "page opened and no result was read)";

// `vanto web` with a window: checked here, shown by the screens program, which this process
// becomes.
int runWebInWindow(const PaymentOptions& options, char** argv) {
    std::optional<CheckedPayment> checked;
    std::string problem;
    if (const int status = checkWindowOptions(options, checked, problem); status != kExitOk) {
        std::cerr << "vanto web: " << problem << '\n';
        return status;
    }
    if (!buildHasScreens()) {
        std::cerr << "vanto web: this build has no payment page window (built without Qt); use "
                     "--headless\n";
        return kExitBadInput;
    }
    runScreensProgram(argv, problem);
    std::cerr << "vanto web: " << problem << '\n';
    return kExitCannotRun;
}

// `vanto demo`: on the screens when there is a display and the screens program starts, through
// the presenters in this process otherwise.
int runDemoHere(bool traces, const JournalChoice& journal, char** argv) {
    if (buildHasScreens() && canOpenWindows()) {
        std::string problem;
        runScreensProgram(argv, problem);
        std::cerr << "vanto demo: " << problem << "; paying through the presenters instead\n";
    }
    return runDemo(traces, journal, nullptr, std::cout, std::cerr);
}

}  // namespace
}  // namespace vanto::cli

int main(int argc, char** argv) {
    using namespace vanto::cli;
    // A reader that has gone (a closed pipe or socket) makes a write fail, which the commands
    // handle, instead of ending the process in the middle of a payment or of serving one.
    std::signal(SIGPIPE, SIG_IGN);
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
    JournalChoice demoJournal;
    addJournalOptions(*demo, demoJournal);

    PaymentOptions payOptions;
    auto* pay = app.add_subcommand("pay", kPayHelp);
    addPaymentOptions(*pay, payOptions);

    PaymentOptions webOptions;
    bool headless = false;
    auto* web = app.add_subcommand("web", kWebHelp);
    addPaymentOptions(*web, webOptions);
    web->add_flag("--headless", headless, "Fill the sandbox's page without a window");

    SandboxSettings sandboxSettings;
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

    auto* journal = app.add_subcommand(
        "journal",
        "The payment journal: every payment's steps and outcome, and the payments a crash left "
        "in doubt or whose outcome no one received");
    journal->require_subcommand(1);
    JournalChoice journalChoice;
    bool journalJson = false;
    std::string journalOrder;
    std::string journalNote;
    addJournalOptions(*journal, journalChoice);
    journal->add_flag("--json", journalJson, "Print JSON instead of a table");
    auto* journalList = journal->add_subcommand("list", "Every payment, oldest first");
    auto* journalShow = journal->add_subcommand("show", "One order's latest payment, step by step");
    journalShow->add_option("order", journalOrder, "The order number")->required();
    auto* journalUnresolved = journal->add_subcommand(
        "unresolved",
        "The payments that need a review: in doubt (the gateway may have charged the card), or "
        "answered and never delivered");
    auto* journalReview =
        journal->add_subcommand("review", "Mark an order's unresolved payments reviewed");
    journalReview->add_option("order", journalOrder, "The order number")->required();
    journalReview->add_option("--note", journalNote, "What was found and done")->required();
    std::string journalCopy;
    auto* journalBackup = journal->add_subcommand(
        "backup", "Copy the journal, its write-ahead log folded in, into one new file");
    journalBackup->add_option("file", journalCopy, "Where the copy goes; must not exist")
        ->required();
    std::string journalSince;
    auto* journalExport = journal->add_subcommand(
        "export",
        "Write the journal's events (each payment's steps and each review), oldest first, as JSON "
        "Lines for a log shipper: one object per line, with its schema version and a cursor");
    journalExport->add_option("--since", journalSince,
                              "Only the events after the one with this cursor, as an earlier "
                              "export printed it");
    std::string journalBefore;
    auto* journalPrune = journal->add_subcommand(
        "prune",
        "Delete the resolved payments whose last step (and review) is before DATE, with their "
        "steps; never one unresolved, in doubt, damaged or under way. A pruned accepted payment "
        "no longer keeps its order from being paid again (5553)");
    journalPrune
        ->add_option("--resolved-before", journalBefore,
                     "A day as YYYY-MM-DD: the payments last changed before its start (UTC) go")
        ->required();
    for (auto* action : {journalList, journalShow, journalUnresolved, journalReview, journalBackup,
                         journalExport, journalPrune}) {
        action->fallthrough();  // --json and --journal may follow the action
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return reportParseError(app, error);
    }
    wipeCardArguments(*pay);
    wipeCardArguments(*web);
    if (encode->parsed()) {
        return runEncode(kind, std::cin, std::cout, std::cerr);
    }
    CardInput standardInput(STDIN_FILENO, STDERR_FILENO);
    if (pay->parsed()) {
        makeUndumpable();
        return runPay(payOptions, standardInput, std::cout, std::cerr);
    }
    if (web->parsed() && headless) {
        makeUndumpable();
        return runHeadlessWeb(webOptions, standardInput, std::cout, std::cerr);
    }
    if (web->parsed()) {
        return runWebInWindow(webOptions, argv);
    }
    if (demo->parsed()) {
        return runDemoHere(demoTraces, demoJournal, argv);
    }
    if (journal->parsed()) {
        const JournalAction action = journalShow->parsed()         ? JournalAction::show
                                     : journalUnresolved->parsed() ? JournalAction::unresolved
                                     : journalReview->parsed()     ? JournalAction::review
                                     : journalBackup->parsed()     ? JournalAction::backup
                                     : journalExport->parsed()     ? JournalAction::exportEvents
                                     : journalPrune->parsed()      ? JournalAction::prune
                                                                   : JournalAction::list;
        const std::string& argument = action == JournalAction::backup         ? journalCopy
                                      : action == JournalAction::exportEvents ? journalSince
                                      : action == JournalAction::prune        ? journalBefore
                                                                              : journalOrder;
        return runJournal(action, journalChoice, journalJson, argument, journalNote, std::cout,
                          std::cerr);
    }
    if (sandbox->parsed()) {
        return runSandbox(sandboxSettings, std::cout, std::cerr);
    }
    return kExitBadInput;
}
