#include "JournalChoice.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <CLI/CLI.hpp>

#include "vanto/journal/PaymentJournal.h"

namespace vanto::cli {
namespace {

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Makes `folder` and the folders above it that are missing, each for its owner only.
bool makeOwnerOnly(const std::filesystem::path& folder, std::string& problem) {
    std::filesystem::path made;
    for (const auto& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "cannot make the folder " + made.string() + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

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
    // The XDG base directories: a relative $XDG_STATE_HOME is to be ignored.
    std::filesystem::path state = fromEnvironment("XDG_STATE_HOME");
    if (state.empty() || state.is_relative()) {
        const std::string home = fromEnvironment("HOME");
        if (home.empty()) {
            problem =
                "no state folder for the journal ($XDG_STATE_HOME and $HOME are not set): "
                "give --journal PATH or --no-journal";
            return std::nullopt;
        }
        state = std::filesystem::path(home) / ".local" / "state";
    }
    const auto folder = state / "vanto";
    if (!makeOwnerOnly(folder, problem)) {
        problem += ": give --journal PATH or --no-journal";
        return std::nullopt;
    }
    return (folder / "journal.sqlite").string();
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

std::shared_ptr<PaymentJournal> openJournalToRead(const JournalChoice& choice,
                                                  std::string& problem) {
    const auto path = chosenPath(choice, problem);
    if (!path) {
        return nullptr;
    }
    auto journal = PaymentJournal::open(*path);
    if (const auto cannot = journal->problem()) {
        problem = cannot->text;
        return nullptr;
    }
    return journal;
}

}  // namespace vanto::cli
