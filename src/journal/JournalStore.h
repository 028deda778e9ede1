#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vanto/journal/PaymentJournal.h"
#include "vanto/platform/Expected.h"

struct sqlite3;

namespace vanto::journal {

// The version of the file's layout that this library writes (PRAGMA user_version).
inline constexpr int kSchemaVersion = 2;

// Done, with nothing to return.
struct Recorded {};

// What a new payment is, as the flow knows it when the payment begins.
struct NewPayment {
    PaymentFlowKind flow = PaymentFlowKind::direct;
    std::string order;
    std::string amount;
    std::string currency;
    std::string transactionType;
    std::string merchant;
    std::string terminal;
    std::string environment;
    std::optional<std::string> cardLastFour;
};

// One step to record, with what it adds to the payment.
struct StepWrite {
    StepWrite() = default;
    StepWrite(PaymentStep recorded, std::string why = {})
        : step(recorded), detail(std::move(why)) {}

    PaymentStep step = PaymentStep::prepared;
    std::string detail;
    // When the step happened, if not when it is written.
    std::optional<std::chrono::system_clock::time_point> at;
    // Replaces the payment's outcome when present.
    std::optional<JournalOutcome> outcome;
    // Once set, a payment stays in doubt.
    bool inDoubt = false;
    std::optional<std::string> cardLastFour;
};

// What tells whether a file changed: where it is, its size and the time it was last written.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path`; none when there is none.
std::optional<FileIdentity> identityOf(const std::string& path);

// The kind of problem an SQLite result code stands for, told apart by the system's error of the
// call that failed (0 when none): a disk with no room left is full, whatever SQLite names it.
JournalProblem::Kind problemOf(int code, int systemError);

// The name of a review's row among the steps: no step of a payment has it.
inline constexpr std::string_view kReviewEvent = "reviewed";

// A payment as the file holds it: the entry without its standing, which depends on who still
// runs, and what the standing is worked out from.
struct StoredPayment {
    JournalEntry entry;
    PaymentStep state = PaymentStep::prepared;
    bool inDoubt = false;
    // Whether the row lost the form the library writes (an unknown state, a flow, amount or
    // currency it never writes, an in-doubt mark other than 0 or 1): the file was damaged there.
    bool damaged = false;
    // The process that made the payment (ProcessIdentity.h).
    std::string writer;
};

// The journal's SQLite file: its layout, brought up to date when opened, and the statements that
// record and read payments. Each write is one transaction committed in write-ahead-log mode with
// synchronous writes, so it is on the disk when the call returns, except the steps that record
// what the view already has (delivered, closedWithoutOutcome), whose commit does not wait for the
// disk: the next synchronous commit takes them there. The log is folded back into the file by
// checkpointIfDue(), never in the middle of a payment. Not thread-safe: its owner serialises the
// calls.
class JournalStore {
  public:
    JournalStore(std::string path, JournalSettings settings);
    ~JournalStore();
    JournalStore(const JournalStore&) = delete;
    JournalStore& operator=(const JournalStore&) = delete;

    bool isOpen() const { return db_ != nullptr; }
    // Opens the file as the settings' mode allows: creating it (owner-only, whole) or bringing an
    // older layout up to date, or only to read it. A missing file where none may be created, an
    // empty file, one that is not a journal, a damaged one, or one of a newer layout is refused
    // and left as it is.
    Expected<Recorded> open();

    // The payment of the same order that keeps a new one from being recorded, if any, chosen
    // from the order's payments as the file holds them.
    using Admission = std::function<std::optional<JournalEntry>(std::vector<StoredPayment>)>;
    // A new payment recorded (its id), or the payment of its order that kept it out.
    struct Inserted {
        std::int64_t id = 0;
        std::optional<JournalEntry> heldBy;
    };
    // Records a new payment with its first steps, in one transaction, unless `admit` finds a
    // payment of its order that keeps it out. The order's payments are read inside that
    // transaction, which holds the file for writing: two connections cannot both be admitted.
    Expected<Inserted> insert(const NewPayment& payment, const std::string& writer,
                              const std::vector<StepWrite>& steps, const Admission& admit);
    Expected<Recorded> append(std::int64_t id, const StepWrite& step);
    // The refusal of a new payment when less than the settings' reserve is free on the disk.
    Expected<Recorded> checkReserve();
    // Folds the write-ahead log back into the file once it has grown past its size; for when a
    // payment has ended and nothing waits on the journal.
    void checkpointIfDue();
    // Every payment (or those of `order`, or with `openOnly` those that may be unresolved),
    // oldest first. Reading every payment checks the whole file first, once per opening.
    Expected<std::vector<StoredPayment>> read(std::optional<std::string_view> order,
                                              bool openOnly = false);
    // Marks the payments reviewed with `note`, and records each review as an event of its own
    // (a row among the steps named kReviewEvent, which readers of the steps leave out).
    Expected<Recorded> review(const std::vector<std::int64_t>& ids, std::string_view note);
    // The `most` events after the one at `since` (all when none), oldest first.
    Expected<std::vector<JournalEvent>> events(std::optional<std::int64_t> since, std::size_t most);
    // The payments `pick` chooses among all of them, read inside the transaction that deletes
    // them with their steps: how many went. The newest payment, and the one of the newest event,
    // are never deleted, so that SQLite never gives their ids (and cursors) again.
    using Pick = std::function<std::vector<std::int64_t>(std::vector<StoredPayment>)>;
    Expected<std::int64_t> prune(const Pick& pick);
    // Writes a consistent copy of the journal, log included, as the single file `target`, which
    // must not exist; the number of payments it holds.
    Expected<std::int64_t> backUpTo(const std::string& target);

    // What kind of problem the last failure was.
    JournalProblem::Kind lastProblem() const { return lastProblem_; }

  private:
    class Statement;
    // The statement of `sql` (a constant of the store's, prepared once), ready to run.
    Statement& cached(std::string_view sql);
    // Runs a statement that returns nothing, such as BEGIN or COMMIT.
    Expected<Recorded> run(std::string_view sql, std::string_view doing);
    void rollBack();
    // The failure of an SQLite call (or SQLITE_OK with `kind` for one found otherwise), noted as
    // the last problem.
    platform::PlatformError failure(int code, std::string_view doing,
                                    std::optional<JournalProblem::Kind> kind = std::nullopt);
    Expected<Recorded> execute(std::string_view sql, std::string_view doing);
    // The first column of the first row of a query that gives one, such as a pragma's value.
    Expected<std::string> pragma(std::string_view sql, std::string_view doing);
    // Whether the file is there and not empty; creates it when missing, if the mode allows.
    Expected<Recorded> findFile();
    Expected<Recorded> createFile();
    // Writes the current layout into the empty SQLite file `file`, in one transaction.
    Expected<Recorded> writeLayout(const std::string& file);
    // The layout's version, once the file is checked; a refusal of a newer one.
    Expected<std::int64_t> checkedVersion();
    Expected<Recorded> setUp();
    Expected<Recorded> setUpToRead();
    Expected<std::vector<StoredPayment>> readOnce(std::optional<std::string_view> order,
                                                  bool openOnly);
    // Runs `once` (a read in a transaction of its own) so that a file read as unchanging that a
    // writer changed meanwhile is read again, through its log when it has one now.
    template <typename Read>
    auto steadily(Read once) -> decltype(once());
    Expected<std::vector<JournalEvent>> eventsOnce(std::int64_t since, std::int64_t most);
    // The reviews after `since` and before `before` that an older version recorded without a
    // row, within a transaction already begun.
    Expected<std::vector<JournalEvent>> rowlessReviews(std::int64_t since, std::int64_t before);
    // SQLite's quick check of the whole file, once per opening; the file refused as damaged.
    Expected<Recorded> checkWhole();
    Expected<Recorded> bringUpToDate();
    // read() within a transaction already begun.
    Expected<std::vector<StoredPayment>> readWithin(std::optional<std::string_view> order,
                                                    bool openOnly = false);
    Expected<Recorded> writeStep(std::int64_t id, const StepWrite& step);
    Expected<Recorded> commitStep(std::int64_t id, const StepWrite& step);
    // SQLite's call after each commit: notes the log's size, and folds it back should it grow
    // past all reason.
    static int logged(void* store, sqlite3* db, const char* schema, int pages);
    void close();

    // Closes a connection; one whose statements are not all finalised yet closes once they are.
    struct CloseConnection {
        void operator()(sqlite3* db) const noexcept;
    };
    using Connection = std::unique_ptr<sqlite3, CloseConnection>;

    std::string path_;
    JournalSettings settings_;
    Connection db_;
    std::map<const char*, std::unique_ptr<Statement>> cache_;
    JournalProblem::Kind lastProblem_ = JournalProblem::Kind::other;
    // The pages in the write-ahead log after the last commit.
    int logPages_ = 0;
    // The file's identity when it was opened to be read as unchanging (it had no log).
    std::optional<FileIdentity> unchanging_;
    bool wholeChecked_ = false;
};

}  // namespace vanto::journal
