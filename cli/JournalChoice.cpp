#include "JournalChoice.h"

#include <algorithm>

#include <CLI/CLI.hpp>

#include "vanto/journal/PaymentJournal.h"
#include "vanto/text/Utf8.h"

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

std::string printable(std::string_view text) {
    constexpr std::string_view kHex = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    const auto escape = [&](unsigned char byte) {
        shown += "\\x";
        shown += kHex[byte >> 4];
        shown += kHex[byte & 0xf];
    };
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 2 && byte == 0xc2 && static_cast<unsigned char>(text[at + 1]) < 0xa0) {
            escape(byte);  // U+0080 to U+009F: C1 controls, such as the one-byte CSI
            escape(static_cast<unsigned char>(text[at + 1]));
        } else if (length > 1) {
            shown.append(text.substr(at, length));
        } else if (length == 0 || byte < 0x20 || byte == 0x7f) {
            switch (byte) {
                case '\n':
                    shown += "\\n";
                    break;
                case '\r':
                    shown += "\\r";
                    break;
                case '\t':
                    shown += "\\t";
                    break;
                default:
                    escape(byte);
            }
        } else if (byte == '\\') {
            shown += "\\\\";
        } else {
            shown += static_cast<char>(byte);
        }
        at += std::max<std::size_t>(length, 1);
    }
    return shown;
}

}  // namespace vanto::cli
