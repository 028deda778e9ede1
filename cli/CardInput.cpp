#include "CardInput.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

#include "vanto/platform/SecureWipe.h"

namespace vanto::cli {
namespace {

// What the signal handlers need to give the terminal its echo back: plain globals, since a
// handler may touch nothing else.
struct termios gSaved {};
struct termios gQuiet {};
volatile sig_atomic_t gTerminalFd = -1;

// Signals whose default action ends the process while a line is being typed. SIGKILL cannot be
// caught; a shell puts the echo back after it only with `stty sane`.
constexpr std::array kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

void setAction(int signal, void (*handler)(int), struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, previous);
}

extern "C" void restoreAndEnd(int signal) {
    if (gTerminalFd >= 0) {
        tcsetattr(gTerminalFd, TCSANOW, &gSaved);
    }
    setAction(signal, SIG_DFL, nullptr);
    // Blocked while this handler runs: it ends the process as it would have, on return.
    raise(signal);
}

// Ctrl-Z: the shell gets its terminal back as it was, and the echo goes off again on `fg`.
extern "C" void restoreAndStop(int signal) {
    const int savedErrno = errno;
    if (gTerminalFd >= 0) {
        tcsetattr(gTerminalFd, TCSANOW, &gSaved);
    }
    setAction(signal, SIG_DFL, nullptr);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signal);
    pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
    raise(signal);
    setAction(signal, restoreAndStop, nullptr);
    if (gTerminalFd >= 0) {
        tcsetattr(gTerminalFd, TCSANOW, &gQuiet);
    }
    errno = savedErrno;
}

// Echo off on a terminal for as long as it lives, with the handlers above in place meanwhile.
class QuietTerminal {
  public:
    explicit QuietTerminal(int fd) : fd_(fd) {
        if (tcgetattr(fd, &gSaved) != 0) {
            return;
        }
        gQuiet = gSaved;
        gQuiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
        gTerminalFd = fd;
        for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
            setAction(kEndingSignals[i], restoreAndEnd, &previous_[i]);
        }
        setAction(SIGTSTP, restoreAndStop, &previousStop_);
        active_ = tcsetattr(fd, TCSANOW, &gQuiet) == 0;
    }

    ~QuietTerminal() {
        if (gTerminalFd < 0) {
            return;
        }
        if (active_) {
            tcsetattr(fd_, TCSANOW, &gSaved);
        }
        for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
            sigaction(kEndingSignals[i], &previous_[i], nullptr);
        }
        sigaction(SIGTSTP, &previousStop_, nullptr);
        gTerminalFd = -1;
    }

    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;

  private:
    int fd_;
    bool active_ = false;
    std::array<struct sigaction, kEndingSignals.size()> previous_{};
    struct sigaction previousStop_ {};
};

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

void makeUndumpable() {
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    // Where the system still writes cores of undumpable processes (suid_dumpable 2), none at all.
    const struct rlimit none {};
    setrlimit(RLIMIT_CORE, &none);
}

CardInput::CardInput(int fd, int promptFd)
    : fd_(fd), promptFd_(promptFd), terminal_(isatty(fd) == 1) {}

CardInput::Status CardInput::readLine(std::string_view prompt, platform::SecretText& line,
                                      std::size_t longest) {
    line.clear();
    if (!terminal_) {
        return readBytes(line, longest);
    }
    Status status = Status::failed;
    {
        // Quiet before the prompt shows: whatever is typed once it shows is not echoed.
        const QuietTerminal quiet(fd_);
        writeAll(promptFd_, prompt);
        status = readBytes(line, longest);
    }
    // The line break typed was not echoed either.
    writeAll(promptFd_, "\n");
    return status;
}

// One byte at a time, so that nothing of the next line is read ahead into a buffer of ours.
CardInput::Status CardInput::readBytes(platform::SecretText& line, std::size_t longest) {
    char byte = 0;
    bool any = false;
    bool carriageReturn = false;
    Status status = Status::read;
    for (;;) {
        const ssize_t count = ::read(fd_, &byte, 1);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            status = Status::failed;
            break;
        }
        if (count == 0) {
            status = any ? Status::read : Status::ended;
            break;
        }
        any = true;
        if (byte == '\n') {
            break;
        }
        if (carriageReturn) {
            line.append("\r");
        }
        carriageReturn = byte == '\r';
        if (!carriageReturn) {
            line.append(std::string_view(&byte, 1));
        }
        if (line.size() > longest) {
            status = Status::tooLong;
            break;
        }
    }
    platform::secureWipe(&byte, sizeof byte);
    if (status != Status::read) {
        line.clear();
    }
    return status;
}

}  // namespace vanto::cli
