// The card data of `vanto pay` as a running process shows them: its arguments and dumpability
// while a payment is held open by the sandbox, and the terminal while the card data are typed.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <grp.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kCard = "4000000000000002";
constexpr std::string_view kExpiry = "12/31";
constexpr std::string_view kCvv = "7391";

// A file descriptor that closes itself.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        reset();
        fd_ = std::exchange(other.fd_, -1);
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }

  private:
    int fd_ = -1;
};

struct Pipe {
    Fd read;
    Fd write;
    Pipe() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            read = Fd(ends[0]);
            write = Fd(ends[1]);
        }
    }
};

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
    bool echoes() const {
        termios settings{};
        return ::tcgetattr(terminal.get(), &settings) == 0 && (settings.c_lflag & ECHO) != 0;
    }
};

// vanto as a child process, its standard streams given; killed and reaped if a test leaves it.
class Vanto {
  public:
    struct Streams {
        int in;
        int out;
        int err;
    };

    // With `asAnotherUser`, the child runs as nobody: the files of its /proc folder then belong to
    // root only when it made itself undumpable.
    Vanto(const std::vector<std::string>& arguments, Streams streams, bool asAnotherUser) {
        const Fd program(::open(VANTO_PROGRAM, O_RDONLY | O_CLOEXEC));
        std::vector<std::string> texts = {"vanto"};
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& text : texts) {
            argv.push_back(text.data());
        }
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(streams.in, STDIN_FILENO);
            ::dup2(streams.out, STDOUT_FILENO);
            ::dup2(streams.err, STDERR_FILENO);
            if (asAnotherUser &&
                (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                 ::setresuid(65534, 65534, 65534) != 0)) {
                ::_exit(126);
            }
            // By descriptor: the build tree's folders need not be open to nobody.
            ::fexecve(program.get(), argv.data(), environ);
            ::_exit(127);
        }
        if (pid_ > 0) {
            exitWatch_ = Fd(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
        }
    }

    ~Vanto() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool started() const { return pid_ > 0 && exitWatch_.get() >= 0; }
    pid_t pid() const { return pid_; }
    int exitWatch() const { return exitWatch_.get(); }

    // The wait status once the child has ended, within `bound`; none if it has not.
    std::optional<int> waitForEnd(std::chrono::milliseconds bound) {
        pollfd ended{exitWatch_.get(), POLLIN, 0};
        if (!status_ && ::poll(&ended, 1, static_cast<int>(bound.count())) == 1) {
            int status = 0;
            if (::waitpid(pid_, &status, 0) == pid_) {
                status_ = status;
            }
        }
        return status_;
    }

  private:
    pid_t pid_ = -1;
    Fd exitWatch_;
    std::optional<int> status_;
};

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written <= 0) {
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Reads `fd` into `seen` until it holds `wanted` (true) or `bound` has passed or the stream ended
// (false).
bool readUntil(int fd, std::string& seen, std::string_view wanted,
               std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    while (seen.find(wanted) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left <= 0ms || ::poll(&readable, 1, static_cast<int>(left.count())) != 1) {
            return false;
        }
        char buffer[4096];
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            return false;
        }
        seen.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

// Reads `fd` into `seen` until the child has ended, for at most `bound`, so that the child never
// blocks on a full terminal; returns its wait status.
std::optional<int> drainUntilEnd(Vanto& child, int fd, std::string& seen,
                                 std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms) {
            return std::nullopt;
        }
        pollfd watched[2] = {{fd, POLLIN, 0}, {child.exitWatch(), POLLIN, 0}};
        if (::poll(watched, 2, static_cast<int>(left.count())) <= 0) {
            return std::nullopt;
        }
        if ((watched[0].revents & POLLIN) != 0) {
            char buffer[4096];
            const ssize_t count = ::read(fd, buffer, sizeof buffer);
            if (count > 0) {
                seen.append(buffer, static_cast<std::size_t>(count));
                continue;
            }
        }
        if ((watched[1].revents & POLLIN) != 0) {
            return child.waitForEnd(0ms);
        }
    }
}

std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The real user id of a process, from the first field of "Uid:" in its status.
std::optional<uid_t> realUser(pid_t pid) {
    std::istringstream status(readText("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("Uid:")) {
            return static_cast<uid_t>(std::stoul(line.substr(4)));
        }
    }
    return std::nullopt;
}

void expectNoCardData(const std::string& text, const std::string& where) {
    for (const std::string_view secret : {kCard, kExpiry, kCvv, std::string_view("3112")}) {
        EXPECT_EQ(text.find(secret), std::string::npos) << where << " shows " << secret << ":\n"
                                                        << text;
    }
}

// The payment's journal stays in memory: a child run as nobody could not write one in the build
// tree, and what is checked here is the card data.
const std::vector<std::string> kPayFromInput = {"pay", "--card",   "-", "--expiry",    "-", "--cvv",
                                                "-",   "--amount", "1", "--no-journal"};

std::vector<std::string> payArguments(const std::string& order) {
    auto arguments = kPayFromInput;
    arguments.insert(arguments.end(), {"--order", order});
    return arguments;
}

// While the sandbox holds the payment's answer back, the process is alive with the card data in
// its memory: its arguments show none of them, and it cannot be dumped or traced by its user.
TEST(HeldPayment, ShowsNoCardDataInItsArgumentsAndCannotBeDumped) {
    Pipe input;
    Pipe traces;
    const Fd nowhere(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    // Run by root, the child runs as nobody, so that root's ownership of its /proc files tells
    // the undumpable flag; run by anyone else, it runs as that user.
    Vanto child(payArguments("FAULT_DELAY_120000-HELD1"),
                {input.read.get(), nowhere.get(), traces.write.get()}, ::geteuid() == 0);
    ASSERT_TRUE(child.started());
    input.read.reset();
    traces.write.reset();
    writeAll(input.write.get(),
             std::string(kCard) + "\n" + std::string(kExpiry) + "\n" + std::string(kCvv) + "\n");
    input.write.reset();

    std::string stderrText;
    ASSERT_TRUE(readUntil(traces.read.get(), stderrText, "====== REQUEST ======", 60s))
        << "no request traced within a minute:\n"
        << stderrText;

    const std::string proc = "/proc/" + std::to_string(child.pid());
    const std::string cmdline = readText(proc + "/cmdline");
    ASSERT_NE(cmdline.find("FAULT_DELAY_120000-HELD1"), std::string::npos) << cmdline;
    expectNoCardData(cmdline, "the command line");

    // The files of an undumpable process's /proc folder belong to root, whoever runs it.
    struct stat owner {};
    ASSERT_EQ(::stat((proc + "/status").c_str(), &owner), 0);
    const auto user = realUser(child.pid());
    ASSERT_TRUE(user.has_value());
    ASSERT_NE(*user, 0u) << "the child runs as root: its /proc folder tells nothing";
    EXPECT_EQ(owner.st_uid, 0u) << "the paying process is dumpable";
    expectNoCardData(stderrText, "the traces");
}

// Typed at a terminal, each line is asked for on standard error and not echoed, and the terminal
// echoes again once the card data are read.
TEST(TerminalEntry, AsksForEachLineWithoutEchoAndGivesTheEchoBack) {
    Terminal terminal;
    ASSERT_GE(terminal.terminal.get(), 0);
    Pipe outcome;
    Vanto child(payArguments("TTY1"),
                {terminal.terminal.get(), outcome.write.get(), terminal.terminal.get()}, false);
    ASSERT_TRUE(child.started());
    outcome.write.reset();

    std::string screen;
    const std::pair<std::string_view, std::string_view> entries[] = {
        {"Card number: ", kCard}, {"Expiry date (MM/YY): ", kExpiry}, {"Security code: ", kCvv}};
    for (const auto& [prompt, typed] : entries) {
        ASSERT_TRUE(readUntil(terminal.keyboard.get(), screen, prompt, 30s))
            << "no prompt \"" << prompt << "\":\n"
            << screen;
        EXPECT_FALSE(terminal.echoes()) << "echo on at \"" << prompt << "\"";
        writeAll(terminal.keyboard.get(), std::string(typed) + "\n");
    }
    const auto status = drainUntilEnd(child, terminal.keyboard.get(), screen, 60s);
    ASSERT_TRUE(status.has_value()) << "vanto pay did not end within a minute:\n" << screen;
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << screen;
    EXPECT_TRUE(terminal.echoes());
    expectNoCardData(screen, "the terminal");
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
        const Fd nowhere(::open("/dev/null", O_WRONLY | O_CLOEXEC));
        Vanto child(payArguments("TTY2"),
                    {terminal.terminal.get(), nowhere.get(), terminal.terminal.get()}, false);
        ASSERT_TRUE(child.started());
        std::string screen;
        ASSERT_TRUE(readUntil(terminal.keyboard.get(), screen, "Card number: ", 30s)) << screen;
        ASSERT_FALSE(terminal.echoes());
        ::kill(child.pid(), signal);
        const auto status = drainUntilEnd(child, terminal.keyboard.get(), screen, 30s);
        ASSERT_TRUE(status.has_value()) << "vanto pay did not end within 30 s";
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == signal);
        EXPECT_TRUE(terminal.echoes());
    }
}

}  // namespace
