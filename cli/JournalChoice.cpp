#include "JournalChoice.h"

#include <CLI/CLI.hpp>

#include "vanto/journal/PaymentJournal.h"

namespace vanto::cli {
namespace {

std::optional<std::string> chosenPath(const JournalChoice& choice, std::string& problem) {
    if (choice.off) {
        return std::string(":memory:");
    }
    if (!choice.path.empty()) {
        return choice.path;
    }
    return defaultJournalPath(problem);
}

}  // namespace

void addJournalOptions(CLI::App& command, JournalChoice& choice) {
    auto* path = command.add_option(
        "--journal", choice.path,
        "The payment journal's file (default: vanto/journal.sqlite in $XDG_STATE_HOME, or in "
        "~/.local/state)");
    auto* off =
        command.add_flag("--no-journal", choice.off,
                         "Keep no journal on disk (the run still tells a payment in doubt)");
    path->excludes(off);
}

std::optional<std::string> defaultJournalPath(std::string& problem) {
    auto path = PaymentJournal::defaultPath("journal.sqlite");
    if (!path) {
        problem = path.problem().text + ": give --journal PATH or --no-journal";
        return std::nullopt;
    }
    return std::move(path).value();
}

std::unique_ptr<JournalForRun> JournalForRun::start(const JournalChoice& choice,
                                                    std::string& problem) {
    const auto path = chosenPath(choice, problem);
    if (!path) {
        return nullptr;
    }
    auto journal = PaymentJournal::open(*path);
    PaymentJournal::install(journal);
    return std::unique_ptr<JournalForRun>(new JournalForRun(std::move(journal)));
}

JournalForRun::JournalForRun(std::shared_ptr<PaymentJournal> journal)
    : journal_(std::move(journal)) {}

JournalForRun::~JournalForRun() {
    PaymentJournal::install(nullptr);
}

std::string JournalForRun::problem() const {
    const auto problem = journal_->problem();
    return problem ? problem->text : "";
}

std::shared_ptr<PaymentJournal> openJournalToRead(const JournalChoice& choice, JournalOpenMode mode,
                                                  std::string& problem, bool& missing) {
    const auto path = chosenPath(choice, problem);
    if (!path) {
        return nullptr;
    }
    JournalSettings settings;
    settings.mode = mode;
    auto journal = PaymentJournal::open(*path, settings);
    if (const auto cannot = journal->problem()) {
        problem = cannot->text;
        missing = cannot->kind == JournalProblem::Kind::missing;
        return nullptr;
    }
    return journal;
}

}  // namespace vanto::cli
