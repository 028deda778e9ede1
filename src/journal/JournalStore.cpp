#include "journal/JournalStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <utility>

#include "journal/Timestamp.h"
#include "vanto/transport/Trace.h"

namespace vanto::journal {
namespace {

// The current layout: the payments, then their indexes and steps. A change to it raises
// kSchemaVersion and adds its step to bringUpToDate().
constexpr std::string_view kPaymentsTable = R"sql(
CREATE TABLE payments (
    id INTEGER PRIMARY KEY,
    flow TEXT NOT NULL,
    order_number TEXT NOT NULL,
    amount TEXT NOT NULL,
    currency TEXT NOT NULL,
    transaction_type TEXT NOT NULL,
    merchant TEXT NOT NULL,
    terminal TEXT NOT NULL,
    environment TEXT NOT NULL,
    card_last_four TEXT,
    state TEXT NOT NULL,
    in_doubt INTEGER NOT NULL DEFAULT 0,
    outcome_accepted INTEGER,
    outcome_code INTEGER,
    authorisation_code TEXT,
    outcome_text TEXT,
    writer TEXT NOT NULL,
    reviewed_at TEXT,
    review_note TEXT
);
)sql";

// The payments that may need a review (JournalEntry::unresolved() decides): those not reviewed
// that are in doubt, did not end as delivered or not sent, or whose row is damaged (the form
// readWithin() expects). The partial index payments_open holds exactly these, so an operator's
// look at them costs what they are, not the journal; a journal made before it gets it when next
// opened for payments. The steps are read through them (CROSS JOIN keeps that order: without
// table statistics SQLite would rather scan every step).
#define VANTO_OPEN_PAYMENTS                                                               \
    "reviewed_at IS NULL AND (in_doubt <> 0 OR state NOT IN ('notSent', 'delivered') OR " \
    "flow NOT IN ('direct', 'web') OR amount GLOB '*[^0-9]*' OR currency GLOB '*[^0-9]*')"

constexpr std::string_view kOpenIndex =
    "CREATE INDEX IF NOT EXISTS payments_open ON payments(id) WHERE " VANTO_OPEN_PAYMENTS;

constexpr std::string_view kIndexesAndSteps =
    R"sql(
CREATE INDEX payments_by_order ON payments(order_number);
CREATE TABLE steps (
    payment_id INTEGER NOT NULL REFERENCES payments(id),
    step TEXT NOT NULL,
    at TEXT NOT NULL,
    detail TEXT NOT NULL
);
CREATE INDEX steps_by_payment ON steps(payment_id);
)sql"
    "CREATE INDEX payments_open ON payments(id) WHERE " VANTO_OPEN_PAYMENTS ";\n";

bool allDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string layoutVersion() {
    return "PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";\n";
}

std::string currentLayout() {
    return std::string(kPaymentsTable).append(kIndexesAndSteps).append(layoutVersion());
}

// Layout 1 kept one row per payment with its last state and the time of it, and wrote an
// accepted payment's authorisation code as its outcome text (with code 0). The table is rebuilt
// in the current layout; each payment's last state becomes its one known step.
constexpr std::string_view kCopyFromV1Payments = R"sql(
INSERT INTO payments (id, flow, order_number, amount, currency, transaction_type, merchant,
                      terminal, environment, state, outcome_accepted, outcome_code,
                      authorisation_code, outcome_text, writer)
    SELECT id, flow, order_number, amount, currency, '', merchant, terminal, '', state,
           CASE WHEN outcome_code IS NULL THEN NULL ELSE outcome_code = 0 END,
           outcome_code,
           CASE WHEN outcome_code IS NULL THEN NULL
                WHEN outcome_code = 0 THEN outcome_text ELSE '' END,
           CASE WHEN outcome_code = 0 THEN '' ELSE outcome_text END,
           ''
    FROM payments_v1;
)sql";

constexpr std::string_view kCopyFromV1Steps = R"sql(
INSERT INTO steps (payment_id, step, at, detail)
    SELECT id, state, updated_at, 'the last step an older journal kept' FROM payments_v1;
DROP TABLE payments_v1;
)sql";

std::string layoutFromV1() {
    return std::string("ALTER TABLE payments RENAME TO payments_v1;\n")
        .append(kPaymentsTable)
        .append(kCopyFromV1Payments)
        .append(kIndexesAndSteps)
        .append(kCopyFromV1Steps)
        .append(layoutVersion());
}

constexpr std::string_view kBeginWrite = "BEGIN IMMEDIATE";
constexpr std::string_view kBeginRead = "BEGIN";
constexpr std::string_view kCommit = "COMMIT";
constexpr std::string_view kRollback = "ROLLBACK";
constexpr std::string_view kWithoutWaiting = "PRAGMA synchronous = NORMAL";
constexpr std::string_view kWaitingForTheDisk = "PRAGMA synchronous = FULL";

// The write-ahead log's size, in pages, from which a payment that ends folds it back into the
// file (SQLite's own default), and past which any commit does, should payments not end.
constexpr int kCheckpointPages = 1000;
constexpr int kLargestLogPages = 10 * kCheckpointPages;

// Whether a step must be on the disk before the payment goes on. Those that record what the view
// already has need not: a power cut that loses one leaves the payment at the step before, which
// brings it back for review (answered, or in doubt) and hides nothing.
bool waitsForTheDisk(PaymentStep step) {
    return step != PaymentStep::delivered && step != PaymentStep::closedWithoutOutcome;
}

constexpr std::string_view kInsertPayment = R"sql(
INSERT INTO payments (flow, order_number, amount, currency, transaction_type, merchant, terminal,
                      environment, card_last_four, state, writer)
VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)
)sql";

constexpr std::string_view kInsertStep = R"sql(
INSERT INTO steps (payment_id, step, at, detail) VALUES (?1, ?2, ?3, ?4)
)sql";

// An outcome given replaces the one kept; none keeps it. A payment once in doubt stays so. A step
// that ends the payment without an outcome (?9) leaves the state of one whose outcome is known.
constexpr std::string_view kUpdatePayment = R"sql(
UPDATE payments SET state = CASE WHEN ?9 AND outcome_accepted IS NOT NULL THEN state ELSE ?2 END,
                    in_doubt = MAX(in_doubt, ?3),
                    outcome_accepted = CASE WHEN ?4 IS NULL THEN outcome_accepted ELSE ?4 END,
                    outcome_code = CASE WHEN ?4 IS NULL THEN outcome_code ELSE ?5 END,
                    authorisation_code = CASE WHEN ?4 IS NULL THEN authorisation_code ELSE ?6 END,
                    outcome_text = CASE WHEN ?4 IS NULL THEN outcome_text ELSE ?7 END,
                    card_last_four = COALESCE(?8, card_last_four)
WHERE id = ?1
)sql";

constexpr std::string_view kSelectPayments = R"sql(
SELECT id, flow, order_number, amount, currency, transaction_type, merchant, terminal,
       environment, card_last_four, state, in_doubt, outcome_accepted, outcome_code,
       authorisation_code, outcome_text, writer, reviewed_at, review_note
FROM payments WHERE ?1 IS NULL OR order_number = ?1 ORDER BY id
)sql";

constexpr std::string_view kSelectSteps = R"sql(
SELECT steps.payment_id, steps.step, steps.at, steps.detail
FROM steps JOIN payments ON payments.id = steps.payment_id
WHERE ?1 IS NULL OR payments.order_number = ?1 ORDER BY steps.payment_id, steps.rowid
)sql";

// The same for one order, which SQLite finds through the indexes: the form above, whose order
// may be null, scans both tables, and every payment reads its order's earlier payments.
constexpr std::string_view kSelectPaymentsOfOrder = R"sql(
SELECT id, flow, order_number, amount, currency, transaction_type, merchant, terminal,
       environment, card_last_four, state, in_doubt, outcome_accepted, outcome_code,
       authorisation_code, outcome_text, writer, reviewed_at, review_note
FROM payments WHERE order_number = ?1 ORDER BY id
)sql";

constexpr std::string_view kSelectStepsOfOrder = R"sql(
SELECT steps.payment_id, steps.step, steps.at, steps.detail
FROM steps JOIN payments ON payments.id = steps.payment_id
WHERE payments.order_number = ?1 ORDER BY steps.payment_id, steps.rowid
)sql";

constexpr std::string_view kSelectOpenPayments = R"sql(
SELECT id, flow, order_number, amount, currency, transaction_type, merchant, terminal,
       environment, card_last_four, state, in_doubt, outcome_accepted, outcome_code,
       authorisation_code, outcome_text, writer, reviewed_at, review_note
FROM payments WHERE )sql" VANTO_OPEN_PAYMENTS " ORDER BY id";

constexpr std::string_view kSelectOpenSteps = R"sql(
SELECT steps.payment_id, steps.step, steps.at, steps.detail
FROM payments CROSS JOIN steps ON steps.payment_id = payments.id
WHERE payments.)sql" VANTO_OPEN_PAYMENTS " ORDER BY steps.payment_id, steps.rowid";

#undef VANTO_OPEN_PAYMENTS

constexpr std::string_view kReview = R"sql(
UPDATE payments SET reviewed_at = ?2, review_note = ?3 WHERE id = ?1
)sql";

// An event's cursor is twice its row's rowid among the steps; a review made before reviews had
// rows of their own takes the odd cursor after the last step its payment had when it was made.
// Both keep their place as events are added, and a prune never lets SQLite give a rowid again.
//
// Each step and review with its payment, from the cursor on: SQLite walks the steps from there
// (the outer table of a LEFT JOIN), so a shipper's later export costs what it reads. A step whose
// payment row is gone is still an event, marked damaged.
constexpr std::string_view kSelectEvents = R"sql(
SELECT 2 * steps.rowid, steps.payment_id, steps.step, steps.at, steps.detail, payments.id,
       payments.flow, payments.order_number, payments.amount, payments.currency, payments.state,
       payments.in_doubt, payments.outcome_accepted, payments.outcome_code,
       payments.authorisation_code, payments.outcome_text
FROM steps LEFT JOIN payments ON payments.id = steps.payment_id
WHERE steps.rowid > ?1 / 2 ORDER BY steps.rowid LIMIT ?2
)sql";

// The reviews without a row of their own between two cursors, looked for only among the
// payments with a step between them (a review's place is one of its payment's steps).
constexpr std::string_view kSelectRowlessReviews = R"sql(
SELECT * FROM (
    SELECT 2 * (SELECT coalesce(max(CASE WHEN s.at <= p.reviewed_at THEN s.rowid END),
                                min(s.rowid))
                FROM steps AS s WHERE s.payment_id = p.id) + 1 AS cursor,
           p.id, p.reviewed_at, p.review_note, p.flow, p.order_number, p.amount, p.currency,
           p.state, p.in_doubt
    FROM payments AS p
    WHERE p.id IN (SELECT payment_id FROM steps WHERE rowid > (?1 - 1) / 2 AND rowid <= ?2 / 2)
      AND p.reviewed_at IS NOT NULL
      AND NOT EXISTS (SELECT 1 FROM steps AS s WHERE s.payment_id = p.id AND s.step = 'reviewed'))
WHERE cursor > ?1 AND cursor < ?2 ORDER BY cursor
)sql";

// The payments whose ids a prune keeps: the newest, and the one of the newest event.
constexpr std::string_view kNewestPayments = R"sql(
SELECT max(id) FROM payments
UNION ALL SELECT payment_id FROM (SELECT payment_id FROM steps ORDER BY rowid DESC LIMIT 1)
)sql";

constexpr std::string_view kDeleteSteps = "DELETE FROM steps WHERE payment_id = ?1";
constexpr std::string_view kDeletePayment = "DELETE FROM payments WHERE id = ?1";

// Whether a payment's row lost the form the library writes: the file was damaged there.
bool damagedRow(std::string_view flow, bool knownState, std::int64_t inDoubt,
                std::string_view amount, std::string_view currency) {
    return (flow != "web" && flow != "direct") || !knownState || (inDoubt != 0 && inDoubt != 1) ||
           !allDigits(amount) || !allDigits(currency);
}

// The steps on which an event carries its payment's outcome.
bool carriesOutcome(PaymentStep step) {
    return step == PaymentStep::answered || step == PaymentStep::unanswered ||
           step == PaymentStep::notSent || step == PaymentStep::resultRead ||
           step == PaymentStep::delivered;
}

}  // namespace

JournalProblem::Kind problemOf(int code, int systemError) {
    // SQLite names a write the disk had no room for an I/O error (or, for a companion file it
    // could not make, a failure to open); the system's error tells it.
    if (systemError == ENOSPC || systemError == EDQUOT) {
        const int primary = code & 0xff;
        if (primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN) {
            return JournalProblem::Kind::full;
        }
    }
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return JournalProblem::Kind::locked;
        case SQLITE_READONLY:
            return JournalProblem::Kind::readOnly;
        case SQLITE_FULL:
            return JournalProblem::Kind::full;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return JournalProblem::Kind::corrupt;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return JournalProblem::Kind::cannotOpen;
        default:
            return JournalProblem::Kind::other;
    }
}

namespace {

std::string sentenceFor(JournalProblem::Kind kind) {
    switch (kind) {
        case JournalProblem::Kind::locked:
            return "the payment journal is held by another connection for longer than the wait";
        case JournalProblem::Kind::readOnly:
            return "the payment journal cannot be written";
        case JournalProblem::Kind::full:
            return "the payment journal is full (the disk or its size limit)";
        case JournalProblem::Kind::corrupt:
            return "the payment journal is damaged or is not a payment journal; it is left as it "
                   "is";
        case JournalProblem::Kind::cannotOpen:
            return "the payment journal cannot be opened";
        case JournalProblem::Kind::newerVersion:
            return "the payment journal was written by a newer version of the library; it is "
                   "left as it is";
        case JournalProblem::Kind::missing:
            return "there is no payment journal at this path";
        default:
            return "the payment journal failed";
    }
}

bool exists(const std::string& path) {
    struct stat file {};
    return ::stat(path.c_str(), &file) == 0;
}

// The path as an SQLite URI that opens the file read-only as a file nothing changes.
std::string asUnchangingUri(const std::string& path) {
    std::string uri = path.starts_with('/') ? "file://" : "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            constexpr std::string_view kHex = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xf];
        } else {
            uri += c;
        }
    }
    return uri + "?mode=ro&immutable=1";
}

// Puts the name of a file just linked into its folder on the disk, as a commit is.
void syncFolderOf(const std::string& path) {
    auto folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

std::optional<PaymentStep> stepFromName(std::string_view name) {
    for (int value = 0; value <= static_cast<int>(PaymentStep::closedWithoutOutcome); ++value) {
        const auto step = static_cast<PaymentStep>(value);
        if (paymentStepName(step) == name) {
            return step;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<FileIdentity> identityOf(const std::string& path) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) {
        return std::nullopt;
    }
    return FileIdentity{
        static_cast<std::uint64_t>(file.st_dev), static_cast<std::uint64_t>(file.st_ino),
        static_cast<std::int64_t>(file.st_size),
        static_cast<std::int64_t>(file.st_mtim.tv_sec) * 1'000'000'000 + file.st_mtim.tv_nsec};
}

// A prepared statement that finalises itself; binds and reads by position (1-based binds,
// 0-based columns, as SQLite counts them).
class JournalStore::Statement {
  public:
    Statement(sqlite3* db, std::string_view sql) {
        code_ =
            sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // The code of preparing it; SQLITE_OK when it can run.
    int prepared() const { return code_; }

    void bind(int index, std::string_view text) {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void bind(int index, std::int64_t number) { sqlite3_bind_int64(statement_, index, number); }
    void bindNull(int index) { sqlite3_bind_null(statement_, index); }
    template <typename T>
    void bind(int index, const std::optional<T>& value) {
        if (value) {
            bind(index, *value);
        } else {
            bindNull(index);
        }
    }

    // SQLITE_ROW, SQLITE_DONE or a failure.
    int step() { return sqlite3_step(statement_); }
    // Ready to run again, its bindings cleared and any read it held let go.
    void reset() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }

    std::string text(int column) const {
        const auto* bytes = sqlite3_column_text(statement_, column);
        return bytes
                   ? std::string(reinterpret_cast<const char*>(bytes),
                                 static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                   : std::string();
    }
    std::optional<std::string> optionalText(int column) const {
        if (sqlite3_column_type(statement_, column) == SQLITE_NULL) {
            return std::nullopt;
        }
        return text(column);
    }
    std::int64_t number(int column) const { return sqlite3_column_int64(statement_, column); }
    bool isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

  private:
    sqlite3_stmt* statement_ = nullptr;
    int code_ = SQLITE_OK;
};

JournalStore::JournalStore(std::string path, JournalSettings settings)
    : path_(std::move(path)), settings_(settings) {}

JournalStore::~JournalStore() {
    close();
}

void JournalStore::CloseConnection::operator()(sqlite3* db) const noexcept {
    sqlite3_close_v2(db);
}

void JournalStore::close() {
    cache_.clear();
    wholeChecked_ = false;
    db_.reset();
}

JournalStore::Statement& JournalStore::cached(std::string_view sql) {
    auto& statement = cache_[sql.data()];
    if (!statement || statement->prepared() != SQLITE_OK) {
        statement = std::make_unique<Statement>(db_.get(), sql);
    } else {
        statement->reset();
    }
    return *statement;
}

Expected<Recorded> JournalStore::run(std::string_view sql, std::string_view doing) {
    auto& statement = cached(sql);
    const int code = statement.prepared() == SQLITE_OK ? statement.step() : statement.prepared();
    statement.reset();
    if (code != SQLITE_DONE && code != SQLITE_ROW) {
        return failure(code == SQLITE_OK ? sqlite3_extended_errcode(db_.get()) : code, doing);
    }
    return Recorded{};
}

void JournalStore::rollBack() {
    run(kRollback, "rolling back");
}

platform::PlatformError JournalStore::failure(int code, std::string_view doing,
                                              std::optional<JournalProblem::Kind> kind) {
    lastProblem_ =
        kind.value_or(problemOf(code, db_ != nullptr ? sqlite3_system_errno(db_.get()) : 0));
    std::string detail(doing);
    if (code != SQLITE_OK) {
        detail += ": SQLite " + std::to_string(code);
        if (db_ != nullptr) {
            detail += " ";
            detail += sqlite3_errmsg(db_.get());
        }
    }
    return platform::PlatformError{platform::PlatformError::Kind::other, sentenceFor(lastProblem_),
                                   std::move(detail)};
}

Expected<Recorded> JournalStore::execute(std::string_view sql, std::string_view doing) {
    const std::string text(sql);
    const int code = sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        return failure(code, doing);
    }
    return Recorded{};
}

Expected<Recorded> JournalStore::open() {
    if (db_ != nullptr) {
        return Recorded{};
    }
    lastProblem_ = JournalProblem::Kind::other;
    unchanging_.reset();
    const bool inMemory = path_ == ":memory:";
    std::string name = path_;
    int flags = SQLITE_OPEN_NOMUTEX;
    if (inMemory) {
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    } else if (auto found = findFile(); !found) {
        return found;
    } else if (settings_.mode != JournalOpenMode::readOnly) {
        flags |= SQLITE_OPEN_READWRITE;
    } else {
        flags |= SQLITE_OPEN_READONLY;
        // Without a write-ahead log, every commit is in the file, and SQLite, which reads such a
        // file through its log, would create one (and its index) to read it, or fail where it
        // cannot. It reads the file as unchanging instead; read() checks that it stayed so.
        if (!exists(path_ + "-wal")) {
            unchanging_ = identityOf(path_);
            name = asUnchangingUri(path_);
            flags |= SQLITE_OPEN_URI;
        }
    }
    sqlite3* opened = nullptr;
    const int code = sqlite3_open_v2(name.c_str(), &opened, flags, nullptr);
    db_.reset(opened);  // a handle comes back even when opening fails, for its message
    if (code != SQLITE_OK) {
        auto error = failure(code, "opening the file");
        close();
        return error;
    }
    sqlite3_extended_result_codes(db_.get(), 1);
    // A journal in memory is made afresh, whatever the mode.
    auto ready = settings_.mode == JournalOpenMode::readOnly && !inMemory ? setUpToRead() : setUp();
    if (!ready) {
        close();
    }
    return ready;
}

Expected<Recorded> JournalStore::findFile() {
    struct stat file {};
    if (::stat(path_.c_str(), &file) != 0) {
        const int why = errno;
        if (why != ENOENT) {
            return failure(SQLITE_OK, "finding the file: " + std::string(std::strerror(why)),
                           JournalProblem::Kind::cannotOpen);
        }
        if (settings_.mode != JournalOpenMode::create) {
            return failure(SQLITE_OK, "the file does not exist", JournalProblem::Kind::missing);
        }
        return createFile();
    }
    if (file.st_size == 0) {
        return failure(SQLITE_OK,
                       "the file is empty: a journal never is, so its payments were lost",
                       JournalProblem::Kind::corrupt);
    }
    return Recorded{};
}

// The new journal is made whole under a name of its own and then linked into place, so that no
// process ever finds the journal's file empty.
Expected<Recorded> JournalStore::createFile() {
    std::string made = path_ + ".new-XXXXXX";
    // For its owner only: SQLite gives its write-ahead log and index the same permissions.
    const int descriptor = ::mkostemp(made.data(), O_CLOEXEC);
    if (descriptor < 0) {
        const int why = errno;
        return failure(SQLITE_OK, "creating the file: " + std::string(std::strerror(why)),
                       why == EROFS                       ? JournalProblem::Kind::readOnly
                       : (why == ENOSPC || why == EDQUOT) ? JournalProblem::Kind::full
                                                          : JournalProblem::Kind::cannotOpen);
    }
    ::close(descriptor);
    auto written = writeLayout(made);
    const int linked = written ? ::link(made.c_str(), path_.c_str()) : 0;
    const int why = errno;
    ::unlink(made.c_str());
    if (!written) {
        return written;
    }
    if (linked != 0 && why != EEXIST) {  // EEXIST: another process made it meanwhile
        return failure(SQLITE_OK, "creating the file: " + std::string(std::strerror(why)),
                       JournalProblem::Kind::cannotOpen);
    }
    syncFolderOf(path_);
    return Recorded{};
}

// The copy is made whole under a name of its own with SQLite's backup, which reads the file and
// its log as one moment, and is then linked into place: a reader never finds half a copy, and a
// file already at `target` is never replaced.
Expected<std::int64_t> JournalStore::backUpTo(const std::string& target) {
    std::string made = target + ".new-XXXXXX";
    const int descriptor = ::mkostemp(made.data(), O_CLOEXEC);  // for its owner only
    if (descriptor < 0) {
        const int why = errno;
        return failure(SQLITE_OK, "creating the copy: " + std::string(std::strerror(why)),
                       (why == ENOSPC || why == EDQUOT) ? JournalProblem::Kind::full
                                                        : JournalProblem::Kind::cannotOpen);
    }
    ::close(descriptor);
    sqlite3* opened = nullptr;
    int code = sqlite3_open_v2(made.c_str(), &opened, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                               nullptr);
    Connection copy(opened);
    if (code == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", db_.get(), "main");
        code = backup == nullptr ? sqlite3_errcode(copy.get()) : sqlite3_backup_step(backup, -1);
        const int finished = sqlite3_backup_finish(backup);
        code = code == SQLITE_DONE ? finished : code;
    }
    // One file, without a log of its own, whatever the journal's mode.
    if (code == SQLITE_OK) {
        code = sqlite3_exec(copy.get(), "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    }
    std::int64_t payments = 0;
    if (code == SQLITE_OK) {
        Statement count(copy.get(), "SELECT count(*) FROM payments");
        code = count.prepared();
        if (code == SQLITE_OK && count.step() == SQLITE_ROW) {
            payments = count.number(0);
        }
    }
    const int system = copy != nullptr ? sqlite3_system_errno(copy.get()) : 0;
    copy.reset();
    const int linked = code == SQLITE_OK ? ::link(made.c_str(), target.c_str()) : 0;
    const int why = errno;
    ::unlink(made.c_str());
    if (code != SQLITE_OK) {
        return failure(SQLITE_OK, "copying the journal: SQLite " + std::to_string(code),
                       problemOf(code, system));
    }
    if (linked != 0) {
        return failure(SQLITE_OK,
                       why == EEXIST ? target + " exists: a copy never replaces a file"
                                     : "placing the copy: " + std::string(std::strerror(why)),
                       JournalProblem::Kind::cannotOpen);
    }
    syncFolderOf(target);
    return payments;
}

Expected<Recorded> JournalStore::writeLayout(const std::string& file) {
    sqlite3* opened = nullptr;
    int code = sqlite3_open_v2(file.c_str(), &opened, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                               nullptr);
    Connection fresh(opened);
    std::string detail = "creating the file";
    if (code == SQLITE_OK) {
        sqlite3_extended_result_codes(fresh.get(), 1);
        const std::string script = "BEGIN IMMEDIATE;\n" + currentLayout() + "COMMIT;\n";
        code = sqlite3_exec(fresh.get(), script.c_str(), nullptr, nullptr, nullptr);
    }
    if (code != SQLITE_OK) {
        detail += ": SQLite " + std::to_string(code) + " " +
                  (fresh != nullptr ? sqlite3_errmsg(fresh.get()) : sqlite3_errstr(code));
    }
    const int system = fresh != nullptr ? sqlite3_system_errno(fresh.get()) : 0;
    fresh.reset();
    if (code != SQLITE_OK) {
        return failure(SQLITE_OK, detail, problemOf(code, system));
    }
    return Recorded{};
}

Expected<std::string> JournalStore::pragma(std::string_view sql, std::string_view doing) {
    Statement statement(db_.get(), sql);
    if (statement.prepared() != SQLITE_OK || statement.step() != SQLITE_ROW) {
        return failure(sqlite3_extended_errcode(db_.get()), doing);
    }
    return statement.text(0);
}

Expected<std::int64_t> JournalStore::checkedVersion() {
    const auto version = pragma("PRAGMA user_version", "reading the layout's version");
    if (!version) {
        return version.error();
    }
    const auto found = std::stoll(version.value());
    if (found > kSchemaVersion) {
        return failure(SQLITE_OK, "reading the layout's version",
                       JournalProblem::Kind::newerVersion);
    }
    if (found == kSchemaVersion) {
        // A bounded check, whatever the journal's size: the path from each table's root to its
        // newest rows, which every payment and every reader of unresolved payments walks. The
        // whole file is checked by the first read of every payment (checkWhole()).
        const auto newest = pragma(
            "SELECT (SELECT max(id) FROM payments) IS NULL, "
            "(SELECT max(rowid) FROM steps) IS NULL",
            "checking the file");
        if (!newest) {
            return failure(sqlite3_extended_errcode(db_.get()), "checking the file",
                           JournalProblem::Kind::corrupt);
        }
    }
    return found;
}

Expected<Recorded> JournalStore::checkWhole() {
    if (wholeChecked_) {
        return Recorded{};
    }
    const auto check = pragma("PRAGMA quick_check", "checking the file");
    if (!check || check.value() != "ok") {
        return failure(sqlite3_extended_errcode(db_.get()), "checking the file",
                       JournalProblem::Kind::corrupt);
    }
    wholeChecked_ = true;
    return Recorded{};
}

Expected<Recorded> JournalStore::setUpToRead() {
    sqlite3_busy_timeout(db_.get(), static_cast<int>(settings_.busyWait.count()));
    const auto found = checkedVersion();
    if (!found) {
        return found.error();
    }
    if (found.value() != kSchemaVersion) {
        // Only a journal in the current layout can be read; bringing one up to date writes.
        return failure(
            SQLITE_OK,
            found.value() == 0 ? "the file holds no payment journal"
                               : "the file was written by an older version of the "
                                 "library: record a payment in it to bring it up to "
                                 "date",
            found.value() == 0 ? JournalProblem::Kind::corrupt : JournalProblem::Kind::other);
    }
    return Recorded{};
}

Expected<Recorded> JournalStore::setUp() {
    sqlite3_busy_timeout(db_.get(), static_cast<int>(settings_.busyWait.count()));
    if (sqlite3_db_readonly(db_.get(), "main") == 1) {
        return failure(SQLITE_READONLY, "opening the file");
    }
    const auto checked = checkedVersion();
    if (!checked) {
        return checked.error();
    }
    const auto found = checked.value();
    // The write-ahead log lets readers in other processes go on while a step is written, and a
    // synchronous commit puts each step on the disk before the call returns.
    const auto mode = pragma("PRAGMA journal_mode = WAL", "choosing the write-ahead log");
    if (!mode) {
        return mode.error();
    }
    if (mode.value() != "wal" && mode.value() != "memory") {
        return failure(SQLITE_OK, "choosing the write-ahead log, which the file system refused");
    }
    if (auto synchronous = execute(kWaitingForTheDisk, "choosing synchronous writes");
        !synchronous) {
        return synchronous;
    }
    // In place of SQLite's own checkpoints, which would fold the log back into the file in the
    // middle of a payment: checkpointIfDue() does it once a payment has ended.
    sqlite3_wal_hook(db_.get(), &JournalStore::logged, this);
    if (settings_.largestSize) {
        const auto pageSize = pragma("PRAGMA page_size", "reading the page size");
        if (!pageSize) {
            return pageSize.error();
        }
        const auto pages =
            std::max<std::uint64_t>(1, *settings_.largestSize / std::stoull(pageSize.value()));
        if (auto limit =
                execute("PRAGMA max_page_count = " + std::to_string(pages), "limiting the size");
            !limit) {
            return limit;
        }
    }
    if (found != kSchemaVersion) {
        if (auto brought = bringUpToDate(); !brought) {
            return brought;
        }
    }
    return execute(kOpenIndex, "indexing the unresolved payments");
}

// Creates the layout in a fresh file, or rebuilds an older one, in one transaction: a crash
// leaves the file as it was. Another process may have done it meanwhile, so the version is read
// again once the file is held.
Expected<Recorded> JournalStore::bringUpToDate() {
    if (auto begun = execute("BEGIN IMMEDIATE", "bringing the layout up to date"); !begun) {
        return begun;
    }
    const auto undo = [this](platform::PlatformError error) {
        rollBack();
        return error;
    };
    const auto version = pragma("PRAGMA user_version", "reading the layout's version");
    const auto tables = pragma("SELECT count(*) FROM sqlite_master", "reading the layout");
    if (!version || !tables) {
        return undo(version ? tables.error() : version.error());
    }
    const auto found = std::stoll(version.value());
    std::string steps;
    if (found == 0 && tables.value() == "0") {
        steps = currentLayout();
    } else if (found == 1) {
        steps = layoutFromV1();
    } else if (found == kSchemaVersion) {
        steps = "";
    } else {
        return undo(failure(SQLITE_OK, "reading the layout's version",
                            found > kSchemaVersion ? JournalProblem::Kind::newerVersion
                                                   : JournalProblem::Kind::corrupt));
    }
    if (!steps.empty()) {
        if (auto changed = execute(steps, "bringing the layout up to date"); !changed) {
            return undo(changed.error());
        }
    }
    if (auto committed = execute("COMMIT", "bringing the layout up to date"); !committed) {
        return undo(committed.error());
    }
    return Recorded{};
}

// A payment goes only while the steps after its request left (answered, delivered) surely fit:
// once the request has left, a step that cannot be written loses the outcome to the journal.
Expected<Recorded> JournalStore::checkReserve() {
    if (path_ == ":memory:" || settings_.reserve == 0) {
        return Recorded{};
    }
    const std::string folder = std::filesystem::path(path_).parent_path().string();
    struct statvfs disk {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &disk) == 0 &&
        static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize < settings_.reserve) {
        return failure(SQLITE_OK,
                       "keeping room for the payment's later steps: fewer than " +
                           std::to_string(settings_.reserve) + " bytes are free on its disk",
                       JournalProblem::Kind::full);
    }
    return Recorded{};
}

Expected<JournalStore::Inserted> JournalStore::insert(const NewPayment& payment,
                                                      const std::string& writer,
                                                      const std::vector<StepWrite>& steps,
                                                      const Admission& admit) {
    if (auto room = checkReserve(); !room) {
        return room.error();
    }
    if (auto begun = run(kBeginWrite, "recording a payment"); !begun) {
        return begun.error();
    }
    auto earlier = readWithin(payment.order);
    if (!earlier) {
        rollBack();
        return earlier.error();
    }
    if (auto heldBy = admit(std::move(earlier).value())) {
        rollBack();
        return Inserted{0, std::move(heldBy)};
    }
    auto& insertion = cached(kInsertPayment);
    insertion.bind(1, paymentFlowName(payment.flow));
    insertion.bind(2, payment.order);
    insertion.bind(3, payment.amount);
    insertion.bind(4, payment.currency);
    insertion.bind(5, payment.transactionType);
    insertion.bind(6, payment.merchant);
    insertion.bind(7, payment.terminal);
    insertion.bind(8, payment.environment);
    insertion.bind(9, payment.cardLastFour);
    insertion.bind(10, paymentStepName(steps.empty() ? PaymentStep::prepared : steps.front().step));
    insertion.bind(11, writer);
    if (insertion.prepared() != SQLITE_OK || insertion.step() != SQLITE_DONE) {
        auto error = failure(sqlite3_extended_errcode(db_.get()), "recording a payment");
        rollBack();
        return error;
    }
    const std::int64_t id = sqlite3_last_insert_rowid(db_.get());
    for (const auto& step : steps) {
        if (auto written = writeStep(id, step); !written) {
            rollBack();
            return written.error();
        }
    }
    if (auto committed = run(kCommit, "recording a payment"); !committed) {
        rollBack();
        return committed.error();
    }
    return Inserted{id, std::nullopt};
}

Expected<Recorded> JournalStore::append(std::int64_t id, const StepWrite& step) {
    if (waitsForTheDisk(step.step)) {
        return commitStep(id, step);
    }
    if (auto relaxed = run(kWithoutWaiting, "recording a step"); !relaxed) {
        return relaxed;
    }
    auto written = commitStep(id, step);
    if (auto restored = run(kWaitingForTheDisk, "waiting for the disk again"); !restored) {
        // Never go on without waiting: the file is opened afresh, with synchronous writes.
        close();
        return restored;
    }
    return written;
}

Expected<Recorded> JournalStore::commitStep(std::int64_t id, const StepWrite& step) {
    if (auto begun = run(kBeginWrite, "recording a step"); !begun) {
        return begun;
    }
    auto written = writeStep(id, step);
    if (written) {
        written = run(kCommit, "recording a step");
    }
    if (!written) {
        rollBack();
    }
    return written;
}

void JournalStore::checkpointIfDue() {
    if (db_ == nullptr || logPages_ < kCheckpointPages) {
        return;
    }
    int logged = 0;
    int copied = 0;
    // Passive: it copies what no reader still needs and waits for nobody; what is left is copied
    // when the next payment ends.
    if (sqlite3_wal_checkpoint_v2(db_.get(), "main", SQLITE_CHECKPOINT_PASSIVE, &logged, &copied) ==
            SQLITE_OK &&
        logged == copied) {
        logPages_ = 0;
    }
}

int JournalStore::logged(void* store, sqlite3* db, const char* schema, int pages) {
    static_cast<JournalStore*>(store)->logPages_ = pages;
    if (pages >= kLargestLogPages) {
        sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }
    return SQLITE_OK;
}

Expected<Recorded> JournalStore::writeStep(std::int64_t id, const StepWrite& step) {
    auto& insertion = cached(kInsertStep);
    insertion.bind(1, id);
    insertion.bind(2, paymentStepName(step.step));
    insertion.bind(3, timestamp(step.at.value_or(std::chrono::system_clock::now())));
    insertion.bind(4, step.detail);
    if (insertion.prepared() != SQLITE_OK || insertion.step() != SQLITE_DONE) {
        return failure(sqlite3_extended_errcode(db_.get()), "recording a step");
    }
    auto& update = cached(kUpdatePayment);
    update.bind(1, id);
    update.bind(2, paymentStepName(step.step));
    update.bind(3, std::int64_t{step.inDoubt ? 1 : 0});
    if (step.outcome) {
        update.bind(4, std::int64_t{step.outcome->accepted ? 1 : 0});
        update.bind(5, step.outcome->code);
        update.bind(6, step.outcome->authorisationCode);
        // The gateway's text may quote the request, card data and all: stored masked.
        update.bind(7, maskCardData(step.outcome->text));
    }
    update.bind(8, step.cardLastFour);
    update.bind(9, std::int64_t{step.step == PaymentStep::closedWithoutOutcome ? 1 : 0});
    if (update.prepared() != SQLITE_OK || update.step() != SQLITE_DONE) {
        return failure(sqlite3_extended_errcode(db_.get()), "recording a step");
    }
    return Recorded{};
}

Expected<std::vector<StoredPayment>> JournalStore::read(std::optional<std::string_view> order,
                                                        bool openOnly) {
    if (!order && !openOnly) {
        if (auto checked = checkWhole(); !checked) {
            return checked.error();
        }
    }
    return steadily([&] { return readOnce(order, openOnly); });
}

template <typename Read>
auto JournalStore::steadily(Read once) -> decltype(once()) {
    // A few times at most.
    constexpr int kReadings = 3;
    for (int reading = 1;; ++reading) {
        auto read = once();
        if (!unchanging_ || (!exists(path_ + "-wal") && identityOf(path_) == unchanging_)) {
            return read;
        }
        close();
        if (reading == kReadings) {
            return failure(SQLITE_OK, "reading the journal, which kept changing meanwhile",
                           JournalProblem::Kind::locked);
        }
        if (auto opened = open(); !opened) {
            return opened.error();
        }
    }
}

Expected<std::vector<StoredPayment>> JournalStore::readOnce(std::optional<std::string_view> order,
                                                            bool openOnly) {
    // One read transaction: the payments and their steps from the same moment.
    if (auto begun = run(kBeginRead, "reading the journal"); !begun) {
        return begun.error();
    }
    auto payments = readWithin(order, openOnly);
    if (!payments) {
        rollBack();
        return payments;
    }
    run(kCommit, "reading the journal");
    return payments;
}

Expected<std::vector<StoredPayment>> JournalStore::readWithin(std::optional<std::string_view> order,
                                                              bool openOnly) {
    std::vector<StoredPayment> payments;
    auto& rows = cached(openOnly ? kSelectOpenPayments
                        : order  ? kSelectPaymentsOfOrder
                                 : kSelectPayments);
    if (!openOnly) {
        rows.bind(1, order);
    }
    int code = rows.prepared() == SQLITE_OK ? rows.step() : rows.prepared();
    for (; code == SQLITE_ROW; code = rows.step()) {
        StoredPayment stored;
        JournalEntry& entry = stored.entry;
        entry.id = rows.number(0);
        const std::string flow = rows.text(1);
        entry.flow = flow == "web" ? PaymentFlowKind::web : PaymentFlowKind::direct;
        entry.order = rows.text(2);
        entry.amount = rows.text(3);
        entry.currency = rows.text(4);
        entry.transactionType = rows.text(5);
        entry.merchant = rows.text(6);
        entry.terminal = rows.text(7);
        entry.environment = rows.text(8);
        entry.cardLastFour = rows.optionalText(9);
        const auto state = stepFromName(rows.text(10));
        stored.state = state.value_or(PaymentStep::sent);
        stored.inDoubt = rows.number(11) != 0;
        stored.damaged =
            damagedRow(flow, state.has_value(), rows.number(11), entry.amount, entry.currency);
        if (!rows.isNull(12)) {
            entry.outcome =
                JournalOutcome{rows.number(12) != 0, rows.number(13), rows.text(14), rows.text(15)};
        }
        stored.writer = rows.text(16);
        if (!rows.isNull(17)) {
            entry.review = JournalReview{parseTimestamp(rows.text(17)), rows.text(18)};
        }
        payments.push_back(std::move(stored));
    }
    auto& steps = cached(openOnly ? kSelectOpenSteps : order ? kSelectStepsOfOrder : kSelectSteps);
    if (!openOnly) {
        steps.bind(1, order);
    }
    if (code == SQLITE_DONE) {
        code = steps.prepared() == SQLITE_OK ? steps.step() : steps.prepared();
    }
    auto payment = payments.begin();
    for (; code == SQLITE_ROW; code = steps.step()) {
        const auto id = steps.number(0);
        while (payment != payments.end() && payment->entry.id < id) {
            ++payment;
        }
        // A step whose name was damaged in the file is left out rather than shown as another;
        // so are reviews, which the payment's row holds.
        if (const auto step = stepFromName(steps.text(1));
            step && payment != payments.end() && payment->entry.id == id) {
            payment->entry.steps.push_back(
                JournalStep{*step, parseTimestamp(steps.text(2)), steps.text(3)});
        }
    }
    rows.reset();
    steps.reset();
    if (code != SQLITE_DONE) {
        return failure(sqlite3_extended_errcode(db_.get()), "reading the journal");
    }
    return payments;
}

Expected<Recorded> JournalStore::review(const std::vector<std::int64_t>& ids,
                                        std::string_view note) {
    if (auto begun = run(kBeginWrite, "recording a review"); !begun) {
        return begun;
    }
    const std::string at = timestamp(std::chrono::system_clock::now());
    // An operator may quote what the cardholder or the gateway said, card number and all: the
    // journal keeps no card data, so the note is stored masked, as an outcome's text is.
    const std::string masked = maskCardData(note);
    for (const auto id : ids) {
        Statement update(db_.get(), kReview);
        update.bind(1, id);
        update.bind(2, at);
        update.bind(3, masked);
        bool done = update.prepared() == SQLITE_OK && update.step() == SQLITE_DONE;
        if (done) {
            auto& event = cached(kInsertStep);
            event.bind(1, id);
            event.bind(2, kReviewEvent);
            event.bind(3, at);
            event.bind(4, masked);
            done = event.prepared() == SQLITE_OK && event.step() == SQLITE_DONE;
        }
        if (!done) {
            auto error = failure(sqlite3_extended_errcode(db_.get()), "recording a review");
            rollBack();
            return error;
        }
    }
    auto committed = run(kCommit, "recording a review");
    if (!committed) {
        rollBack();
    }
    return committed;
}

Expected<std::vector<JournalEvent>> JournalStore::events(std::optional<std::int64_t> since,
                                                         std::size_t most) {
    const auto limit = static_cast<std::int64_t>(
        std::min<std::size_t>(most, std::numeric_limits<std::int64_t>::max()));
    return steadily([&] { return eventsOnce(since.value_or(0), limit); });
}

Expected<std::vector<JournalEvent>> JournalStore::eventsOnce(std::int64_t since,
                                                             std::int64_t most) {
    if (auto begun = run(kBeginRead, "reading the journal's events"); !begun) {
        return begun.error();
    }
    std::vector<JournalEvent> events;
    auto& rows = cached(kSelectEvents);
    rows.bind(1, since);
    rows.bind(2, most);
    int code = rows.prepared() == SQLITE_OK ? rows.step() : rows.prepared();
    for (; code == SQLITE_ROW; code = rows.step()) {
        JournalEvent event;
        event.cursor = rows.number(0);
        event.paymentId = rows.number(1);
        const std::string name = rows.text(2);
        event.step = stepFromName(name);
        if (!event.step && name != kReviewEvent) {
            event.damagedStepName = name;
        }
        event.at = parseTimestamp(rows.text(3));
        event.detail = rows.text(4);
        const std::string flow = rows.text(6);
        event.flow = flow == "web" ? PaymentFlowKind::web : PaymentFlowKind::direct;
        event.order = rows.text(7);
        event.amount = rows.text(8);
        event.currency = rows.text(9);
        event.damaged = rows.isNull(5) || !event.damagedStepName.empty() ||
                        damagedRow(flow, stepFromName(rows.text(10)).has_value(), rows.number(11),
                                   event.amount, event.currency);
        if (event.step && carriesOutcome(*event.step) && !rows.isNull(12)) {
            event.outcome =
                JournalOutcome{rows.number(12) != 0, rows.number(13), rows.text(14), rows.text(15)};
        }
        events.push_back(std::move(event));
    }
    rows.reset();
    if (code != SQLITE_DONE) {
        auto error = failure(sqlite3_extended_errcode(db_.get()), "reading the journal's events");
        rollBack();
        return error;
    }
    // With as many steps as asked for, the reviews that stand before the last of them; with
    // fewer, every later one.
    const bool full = static_cast<std::int64_t>(events.size()) == most;
    auto reviews = rowlessReviews(
        since, full ? events.back().cursor : std::numeric_limits<std::int64_t>::max());
    if (!reviews) {
        rollBack();
        return reviews.error();
    }
    run(kCommit, "reading the journal's events");
    if (!reviews.value().empty()) {
        const auto steps = static_cast<std::ptrdiff_t>(events.size());
        events.insert(events.end(), std::make_move_iterator(reviews.value().begin()),
                      std::make_move_iterator(reviews.value().end()));
        std::ranges::inplace_merge(events, events.begin() + steps, {}, &JournalEvent::cursor);
        if (static_cast<std::int64_t>(events.size()) > most) {
            events.resize(static_cast<std::size_t>(most));
        }
    }
    return events;
}

Expected<std::vector<JournalEvent>> JournalStore::rowlessReviews(std::int64_t since,
                                                                 std::int64_t before) {
    std::vector<JournalEvent> reviews;
    auto& rows = cached(kSelectRowlessReviews);
    rows.bind(1, since);
    rows.bind(2, before);
    int code = rows.prepared() == SQLITE_OK ? rows.step() : rows.prepared();
    for (; code == SQLITE_ROW; code = rows.step()) {
        JournalEvent review;
        review.cursor = rows.number(0);
        review.paymentId = rows.number(1);
        review.at = parseTimestamp(rows.text(2));
        review.detail = rows.text(3);
        const std::string flow = rows.text(4);
        review.flow = flow == "web" ? PaymentFlowKind::web : PaymentFlowKind::direct;
        review.order = rows.text(5);
        review.amount = rows.text(6);
        review.currency = rows.text(7);
        review.damaged = damagedRow(flow, stepFromName(rows.text(8)).has_value(), rows.number(9),
                                    review.amount, review.currency);
        reviews.push_back(std::move(review));
    }
    rows.reset();
    if (code != SQLITE_DONE) {
        return failure(sqlite3_extended_errcode(db_.get()), "reading the journal's events");
    }
    return reviews;
}

Expected<std::int64_t> JournalStore::prune(const Pick& pick) {
    // A damaged file is never written to.
    if (auto checked = checkWhole(); !checked) {
        return checked.error();
    }
    if (auto begun = run(kBeginWrite, "pruning the journal"); !begun) {
        return begun.error();
    }
    const auto undo = [this](platform::PlatformError error) {
        rollBack();
        return error;
    };
    auto payments = readWithin(std::nullopt);
    if (!payments) {
        return undo(payments.error());
    }
    auto ids = pick(std::move(payments).value());
    auto& newest = cached(kNewestPayments);
    int code = newest.prepared() == SQLITE_OK ? newest.step() : newest.prepared();
    for (; code == SQLITE_ROW; code = newest.step()) {
        if (!newest.isNull(0)) {
            std::erase(ids, newest.number(0));
        }
    }
    newest.reset();
    if (code != SQLITE_DONE) {
        return undo(failure(sqlite3_extended_errcode(db_.get()), "pruning the journal"));
    }
    for (const auto id : ids) {
        for (const auto sql : {kDeleteSteps, kDeletePayment}) {
            auto& deletion = cached(sql);
            deletion.bind(1, id);
            if (deletion.prepared() != SQLITE_OK || deletion.step() != SQLITE_DONE) {
                return undo(failure(sqlite3_extended_errcode(db_.get()), "pruning the journal"));
            }
        }
    }
    if (auto committed = run(kCommit, "pruning the journal"); !committed) {
        return undo(committed.error());
    }
    return static_cast<std::int64_t>(ids.size());
}

}  // namespace vanto::journal
