#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace CLI {
class App;
}

namespace vanto {
class PaymentJournal;
enum class JournalOpenMode;
}  // namespace vanto

namespace vanto::cli {

/// Where a run keeps its payment journal: --journal PATH, --no-journal, or the default file in the
/// user's state folder.
struct JournalChoice {
    std::string path;
    bool off = false;
};

/// Adds --journal and --no-journal to `command`.
void addJournalOptions(CLI::App& command, JournalChoice& choice);

/// The default journal: "vanto/journal.sqlite" in $XDG_STATE_HOME, or else in ~/.local/state,
/// its folders created for their owner only. None, with `problem` set, when there is no such
/// folder and none can be made.
std::optional<std::string> defaultJournalPath(std::string& problem);

/// The journal the run's payments record in, installed for the library's flows until the object
/// goes. With --no-journal it lives in memory only: the run can still tell a payment in doubt,
/// and nothing is written to disk. A journal that cannot be opened is installed all the same, so
/// that every payment is refused (5552) rather than made unrecorded; its problem goes to `err`.
class JournalForRun {
  public:
    /// None, with `problem` set, when the default journal has no folder to live in.
    static std::unique_ptr<JournalForRun> start(const JournalChoice& choice, std::string& problem);
    ~JournalForRun();
    JournalForRun(const JournalForRun&) = delete;
    JournalForRun& operator=(const JournalForRun&) = delete;

    PaymentJournal& journal() const { return *journal_; }
    /// Why the journal cannot record payments, when it cannot; "" when it can.
    std::string problem() const;

  private:
    explicit JournalForRun(std::shared_ptr<PaymentJournal> journal);
    std::shared_ptr<PaymentJournal> journal_;
};

/// Opens the journal a `vanto journal` command reads: the chosen one, as `mode` allows (never
/// created), not installed. None, with `problem` set, when it cannot be opened; `missing` says
/// whether that is because there is no file.
std::shared_ptr<PaymentJournal> openJournalToRead(const JournalChoice& choice, JournalOpenMode mode,
                                                  std::string& problem, bool& missing);

/// A text as a terminal may show it: the backslash, control characters (C1 ones included) and
/// bytes that are not UTF-8 as escapes (\\, \n, \r, \t, \xHH), so that no order number or note
/// can forge a line or reach the terminal as a command. The journal keeps them as given.
std::string printable(std::string_view text);

}  // namespace vanto::cli
