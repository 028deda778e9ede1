// `vanto` as a running process: the card data of `vanto pay` as it shows them (its arguments and
// dumpability while a payment is held open by the sandbox, the terminal while the card data are
// typed), its outcome when the reader of its output has gone, the journal read by a user who may
// only read it, and its texts and damaged rows as the listings and the export show them.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "CardDataWatch.h"
#include "ChildProcess.h"
#include "TempFolder.h"

namespace {

using namespace std::chrono_literals;

constexpr std::string_view kCard = "4000000000000002";
constexpr std::string_view kExpiry = "12/31";
constexpr std::string_view kCvv = "7391";

using namespace vanto::testing;

// The pair of a pseudo-terminal: the child types into and reads from `terminal`, the test plays
// the person at `keyboard`.
struct Terminal {
    Fd keyboard;
    Fd terminal;
    Terminal() {
        keyboard = Fd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (keyboard.get() >= 0 && ::grantpt(keyboard.get()) == 0 &&
            ::unlockpt(keyboard.get()) == 0) {
            terminal = Fd(::open(::ptsname(keyboard.get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
        }
    }
    /// A child reading from and prompting on the terminal, its standard output on `out`.
    ChildOptions typingAt(int out) const {
        return {.streams = {terminal.get(), out, terminal.get()}, .watched = keyboard.get()};
    }
    bool echoes() const {
        termios settings{};
        return ::tcgetattr(terminal.get(), &settings) == 0 && (settings.c_lflag & ECHO) != 0;
    }
};

// `vanto pay` of `order` with the card data from standard input, kept in `journal`; without one
// in memory only (a child run as nobody could not write one in the build tree).
std::vector<std::string> payArguments(const std::string& order, const std::string& journal = "") {
    return {"pay", "--card",  "-",   "--expiry",
            "-",   "--cvv",   "-",   "--amount",
            "1",   "--order", order, journal.empty() ? "--no-journal" : "--journal=" + journal};
}

// The card data as typed, a line each.
const std::string kTyped =
    std::string(kCard) + "\n" + std::string(kExpiry) + "\n" + std::string(kCvv) + "\n";

std::pair<std::optional<int>, std::string> run(const std::vector<std::string>& arguments,
                                               std::string_view input = {},
                                               const ChildOptions& options = {}) {
    return runToEnd(VANTO_PROGRAM, arguments, input, options);
}

// While the sandbox holds the payment's answer back, the process is alive with the card data in
// its memory: its arguments show none of them, and it cannot be dumped or traced by its user.
TEST(HeldPayment, ShowsNoCardDataInItsArgumentsAndCannotBeDumped) {
    Pipe traces;
    const Fd nowhere(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    // Run by root, the child runs as nobody, so that root's ownership of its /proc files tells
    // the undumpable flag; run by anyone else, it runs as that user.
    ChildProcess child(VANTO_PROGRAM, payArguments("FAULT_DELAY_120000-HELD1"),
                       {.streams = {-1, nowhere.get(), traces.write.get()},
                        .watched = traces.read.get(),
                        .asNobody = ::geteuid() == 0});
    ASSERT_TRUE(child.started());
    traces.write.reset();
    child.finishInput(kTyped);
    ASSERT_TRUE(child.readUntil("====== REQUEST ======", 60s)) << child.output();

    const std::string proc = "/proc/" + std::to_string(child.pid());
    const std::string cmdline = fileBytes(proc + "/cmdline");
    ASSERT_NE(cmdline.find("FAULT_DELAY_120000-HELD1"), std::string::npos) << cmdline;
    for (const std::string_view secret : {kCard, kExpiry, kCvv, std::string_view("3112")}) {
        EXPECT_EQ(cmdline.find(secret), std::string::npos) << secret << " in " << cmdline;
    }

    // The files of an undumpable process's /proc folder belong to root, whoever runs it.
    struct stat owner {};
    ASSERT_EQ(::stat((proc + "/status").c_str(), &owner), 0);
    EXPECT_EQ(owner.st_uid, 0u) << "the paying process is dumpable";
}

// Typed at a terminal, each line is asked for on standard error and not echoed, and the terminal
// echoes again once the card data are read.
TEST(TerminalEntry, AsksForEachLineWithoutEchoAndGivesTheEchoBack) {
    Terminal terminal;
    ASSERT_GE(terminal.terminal.get(), 0);
    Pipe outcome;
    ChildProcess child(VANTO_PROGRAM, payArguments("TTY1"), terminal.typingAt(outcome.write.get()));
    outcome.write.reset();
    for (const auto& [prompt, typed] : {std::pair{"Card number: ", kCard},
                                        {"Expiry date (MM/YY): ", kExpiry},
                                        {"Security code: ", kCvv}}) {
        ASSERT_TRUE(child.readUntil(prompt, 30s)) << prompt << " not asked:\n" << child.output();
        EXPECT_FALSE(terminal.echoes()) << "echo on at \"" << prompt << "\"";
        const std::string line = std::string(typed) + "\n";
        ASSERT_EQ(::write(terminal.keyboard.get(), line.data(), line.size()),
                  static_cast<ssize_t>(line.size()));
    }
    EXPECT_EQ(child.exitCode(60s), 0) << child.output();
    EXPECT_TRUE(terminal.echoes());
    std::string record;
    readUntil(outcome.read.get(), record, "\n", 5s);
    EXPECT_NE(record.find("\"code\":0,"), std::string::npos) << record;
}

// A signal that ends the process while a line is typed leaves the terminal echoing, and ends it
// as the signal would have.
TEST(TerminalEntry, GivesTheEchoBackWhenASignalEndsIt) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        Terminal terminal;
        ASSERT_GE(terminal.terminal.get(), 0);
        ChildProcess child(VANTO_PROGRAM, payArguments("TTY2"), terminal.typingAt(-1));
        ASSERT_TRUE(child.readUntil("Card number: ", 30s)) << child.output();
        ASSERT_FALSE(terminal.echoes());
        child.signal(signal);
        const auto status = child.waitForEnd(30s);
        EXPECT_TRUE(status && WIFSIGNALED(*status) && WTERMSIG(*status) == signal);
        EXPECT_TRUE(terminal.echoes());
    }
}

// A reader of standard output or error that has gone makes a write fail and never ends the
// payment by a signal. An outcome whose line could not be written reached nobody: exit status 5,
// and the journal holds it answered, not delivered. With standard error gone, the outcome is out
// and delivered.
TEST(GoneReader, FailsTheWriteAndKeepsAnOutcomeNobodyReadAnswered) {
    const TempFolder folder;
    const std::string journal = folder.file("journal.sqlite");
    const std::string errors = folder.file("errors.txt");
    for (const auto& [order, gone, status, standing] :
         {std::tuple{"GONEOUT1", STDOUT_FILENO, 5, "\"standing\": \"answered\""},
          {"GONEOUT2-WEB", STDOUT_FILENO, 5, "\"standing\": \"answered\""},
          {"GONEERR1", STDERR_FILENO, 0, "\"standing\": \"delivered\""}}) {
        SCOPED_TRACE(order);
        Pipe readerGone;
        readerGone.read.reset();
        ChildOptions options{.errorFile = errors};
        options.streams[gone] = readerGone.write.get();
        auto arguments = payArguments(order, journal);
        if (std::string_view(order).ends_with("WEB")) {
            arguments.front() = "web";
            arguments.insert(arguments.begin() + 1, "--headless");
        }
        // Not ended by a signal either.
        EXPECT_EQ(run(arguments, kTyped, options).first, status) << fileBytes(errors);
        if (gone == STDOUT_FILENO) {
            EXPECT_NE(fileBytes(errors).find("could not be written"), std::string::npos)
                << fileBytes(errors);
        }
        const auto [shown, json] = run({"journal", "show", order, "--json", "--journal", journal});
        EXPECT_EQ(shown, 0);
        EXPECT_NE(json.find(standing), std::string::npos) << json;
    }
}

// A user who may only read the journal (its file 0444, its folder 0555; run as nobody when the
// test runs as root, whom permissions do not stop) lists what is unresolved in it and exports its
// events; a review or a payment, which write, are refused, and nothing is created beside the
// journal.
TEST(ReadOnlyJournal, ListsForAUserWhoMayOnlyReadIt) {
    const TempFolder folder;
    const std::string journal = folder.file("journal.sqlite");
    const std::string order = "READONLY1-FAULT_CLOSE";
    ASSERT_EQ(run(payArguments(order, journal), kTyped).first, 4) << "not in doubt";
    // The journal's files: the log and its index too, when the payment's process left them.
    const auto files = [&] {
        std::vector<std::string> names;
        for (const auto& file : std::filesystem::directory_iterator(folder.path())) {
            names.push_back(file.path().string());
        }
        std::ranges::sort(names);
        return names;
    };
    const auto written = files();
    const std::string before = fileBytes(journal);
    for (const auto& name : written) {
        ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
    }
    ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
    const ChildOptions reader{.asNobody = ::geteuid() == 0};
    const auto [listed, json] =
        run({"journal", "unresolved", "--json", "--journal", journal}, {}, reader);
    EXPECT_EQ(listed, 0);
    EXPECT_NE(json.find(order), std::string::npos) << json;
    const auto [exported, lines] = run({"journal", "export", "--journal", journal}, {}, reader);
    EXPECT_EQ(exported, 0);
    EXPECT_NE(lines.find(order), std::string::npos) << lines;
    EXPECT_EQ(
        run({"journal", "review", order, "--note", "x", "--journal", journal}, {}, reader).first,
        3);
    // A payment it cannot record is refused before anything is sent, and says why.
    const TempFolder elsewhere;
    const auto [paid, record] =
        run(payArguments("READONLY2", journal), kTyped,
            {.asNobody = reader.asNobody, .errorFile = elsewhere.file("errors.txt")});
    EXPECT_EQ(paid, 1) << record;
    EXPECT_NE(record.find("{\"code\":5552,"), std::string::npos) << record;
    EXPECT_NE(fileBytes(elsewhere.file("errors.txt")).find("cannot be written"), std::string::npos)
        << fileBytes(elsewhere.file("errors.txt"));
    EXPECT_EQ(files(), written) << "a file was created beside the journal";
    EXPECT_EQ(fileBytes(journal), before) << "the journal was written to";
    ::chmod(folder.path().c_str(), 0700);
}

// Order numbers and notes are kept as given, and every listing shows them escaped: no newline that
// forges a row, no escape sequence or byte that is not UTF-8 reaching the terminal, and JSON that
// never aborts on such a byte.
TEST(JournalText, IsKeptAsGivenAndShownEscaped) {
    const TempFolder folder;
    const std::string journal = folder.file("journal.sqlite");
    const std::string forged = "\nFORGED  direct  9.99 978  delivered\x1b[2J\xff";
    const std::string refused = "TXT1" + forged;     // refused by the sandbox, delivered
    const std::string inDoubt = "TXT2-FAULT_CLOSE";  // in doubt, reviewed with the note
    for (const auto& order : {refused, inDoubt}) {
        ASSERT_TRUE(run(payArguments(order, journal), kTyped).first.has_value());
    }
    ASSERT_EQ(
        run({"journal", "review", inDoubt, "--note", "nota" + forged, "--journal", journal}).first,
        0);
    for (const auto& listing :
         {std::vector<std::string>{"list"}, {"show", refused}, {"show", inDoubt}}) {
        for (const bool asJson : {false, true}) {
            auto arguments = listing;
            arguments.insert(arguments.begin(), "journal");
            arguments.insert(arguments.end(), {"--journal", journal});
            if (asJson) {
                arguments.push_back("--json");
            }
            const auto [status, output] = run(arguments);
            SCOPED_TRACE(arguments[1] + (asJson ? " --json" : "") + ":\n" + output);
            EXPECT_EQ(status, 0);
            EXPECT_EQ(output.find_first_of("\x1b\xff"), std::string::npos) << "a raw byte";
            EXPECT_EQ(output.find("\nFORGED"), std::string::npos) << "a forged line";
            if (!asJson && listing.front() == "list") {
                // Columns line up by characters: "conexión" takes as much room as "conexion".
                std::istringstream lines(output);
                std::set<std::size_t> lastStepColumns;
                for (std::string line; std::getline(lines, line);) {
                    const auto at = std::min(line.find("LAST STEP"), line.find("delivered 2"));
                    lastStepColumns.insert(static_cast<std::size_t>(std::ranges::count_if(
                        line.substr(0, at), [](char c) { return (c & 0xc0) != 0x80; })));
                }
                EXPECT_EQ(lastStepColumns.size(), 1u);
            }
            EXPECT_NE(output.find(asJson ? "\\nFORGED  direct  9.99 978  delivered\\u001b[2J"
                                         : "\\nFORGED  direct  9.99 978  delivered\\x1b[2J\\xff"),
                      std::string::npos);
        }
    }
}

// The export as a journal an older version wrote it, and damaged: a review recorded without a row
// of its own is exported all the same, after the steps its payment had then (not after a later
// one), and a later export --since its cursor goes on from there; a payment whose row was damaged
// in the file is exported marked damaged, every one of its events.
TEST(JournalText, ExportsOldReviewsInPlaceAndDamagedRowsMarked) {
    const TempFolder folder;
    const std::string journal = folder.file("journal.sqlite");
    const auto inJournal = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--journal", journal});
        return run(arguments);
    };
    const auto sql = [&](const char* statement) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(journal.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, statement, nullptr, nullptr, nullptr), SQLITE_OK) << statement;
        sqlite3_close(db);
    };
    ASSERT_EQ(run(payArguments("OLD1-FAULT_CLOSE", journal), kTyped).first, 4);
    ASSERT_EQ(inJournal({"journal", "review", "OLD1-FAULT_CLOSE", "--note", "visto"}).first, 0);
    sql("DELETE FROM steps WHERE step = 'reviewed'");
    sql("INSERT INTO steps SELECT payment_id, 'answered', '2999-01-01T00:00:00.000Z', 'late' "
        "FROM steps WHERE rowid = 1");  // an answer that came after the review
    ASSERT_EQ(run(payArguments("DAMAGED1", journal), kTyped).first, 0);
    sql("UPDATE payments SET amount = '1x0' WHERE order_number = 'DAMAGED1'");

    const auto [status, exported] = inJournal({"journal", "export"});
    EXPECT_EQ(status, 0);
    std::vector<std::string> lines;
    std::istringstream stream(exported);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 10u) << exported;  // four steps each, the review and the late answer
    EXPECT_NE(lines[4].find(R"("step":"reviewed",)"), std::string::npos) << lines[4];
    EXPECT_NE(lines[4].find(R"("note":"visto")"), std::string::npos) << lines[4];
    for (std::size_t index = 0; index < lines.size(); ++index) {
        EXPECT_NE(lines[index].find(index < 6 ? R"("damaged":false)" : R"("damaged":true)"),
                  std::string::npos)
            << lines[index];
    }
    const auto cursorAt = lines[4].find(R"("cursor":")") + 10;
    const std::string cursor = lines[4].substr(cursorAt, lines[4].find('"', cursorAt) - cursorAt);
    EXPECT_EQ(inJournal({"journal", "export", "--since", cursor}).second,
              exported.substr(exported.find(lines[5])));
}

// On a disk with no room left the operator still lists what is unresolved (a reader writes
// nothing), and a review, which writes, names the disk full rather than an I/O error. The disk is
// a small one of the test's own (room for the journal's reserve, then filled), in a mount
// namespace of its own: only where the test may mount.
TEST(FullDisk, ListsWhatIsUnresolvedAndNamesTheDiskFull) {
    if (::geteuid() != 0 || ::access("/usr/bin/unshare", X_OK) != 0) {
        GTEST_SKIP() << "mounting a small disk takes root and unshare";
    }
    const TempFolder folder;
    const std::string script = R"(
        mkdir "$2" && mount -t tmpfs -o size=2m tmpfs "$2" || exit 99
        "$1" pay --card - --expiry - --cvv - --amount 1 --order FULL1-FAULT_CLOSE \
            --journal "$2/journal.sqlite" > /dev/null 2>&1
        echo "pay $?"
        dd if=/dev/zero of="$2/filler" bs=4k > /dev/null 2>&1
        "$1" journal unresolved --journal "$2/journal.sqlite"
        echo "unresolved $?"
        "$1" journal review FULL1-FAULT_CLOSE --note x --journal "$2/journal.sqlite" 2>&1
        echo "review $?")";
    ChildProcess child("/usr/bin/unshare",
                       {"-m", "sh", "-c", script, "sh", VANTO_PROGRAM, folder.file("disk")});
    child.finishInput(kTyped);
    const auto status = child.waitForEnd(60s);
    ASSERT_TRUE(status.has_value());
    if (WIFEXITED(*status) && WEXITSTATUS(*status) == 99) {
        GTEST_SKIP() << "no small disk could be mounted here";
    }
    const std::string& output = child.output();
    for (const std::string_view expected :
         {"pay 4", "FULL1-FAULT_CLOSE", "unresolved 0", "journal is full", "review 3"}) {
        EXPECT_NE(output.find(expected), std::string::npos) << expected << " in:\n" << output;
    }
}

}  // namespace
