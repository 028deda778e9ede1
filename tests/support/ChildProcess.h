#pragma once

// A program run as a child process by a test: its standard input and output through pipes, its
// standard error kept in a file, or any of them on streams of the test's own (a terminal); every
// wait bounded. A child the test leaves is killed and reaped.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TempFolder.h"

namespace vanto::testing {

/// A file descriptor that closes itself.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            ::close(std::exchange(fd_, -1));
        }
    }

  private:
    int fd_;
};

/// A pipe of the test's own, to hand one end to a child.
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

/// Reads `fd` into `seen` until it holds `wanted` (true), or the stream ended or `bound` passed
/// (false).
inline bool readUntil(int fd, std::string& seen, std::string_view wanted,
                      std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (seen.find(wanted) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) != 1) {
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

/// Where what each child printed goes when its ChildProcess does: the card-data watch reads it
/// there. The text read of its standard output, and its standard error's file.
inline std::function<void(const std::string& where, std::string printed)>& childOutputReader() {
    static std::function<void(const std::string&, std::string)> reader;
    return reader;
}

/// How a child runs.
struct ChildOptions {
    /// Descriptors of the test's own for the child's standard input, output and error, in place
    /// of the input pipe, the output pipe and `errorFile`; -1 keeps those.
    int streams[3] = {-1, -1, -1};
    /// A descriptor of the test's that output() reads instead of the output pipe: the other end
    /// of a terminal or pipe given in `streams`.
    int watched = -1;
    /// Run as the user nobody (only when the test runs as root).
    bool asNobody = false;
    /// Where standard error goes; /dev/null when empty.
    std::string errorFile{};
};

class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const ChildOptions& options = ChildOptions())
        : program_(program), errorFile_(options.errorFile) {
        Pipe input, output;
        const Fd error(::open(options.errorFile.empty() ? "/dev/null" : options.errorFile.c_str(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        const Fd executable(::open(program.c_str(), O_RDONLY | O_CLOEXEC));
        std::vector<std::string> texts = {program};
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& text : texts) {
            argv.push_back(text.data());
        }
        argv.push_back(nullptr);
        const int streams[3] = {input.read.get(), output.write.get(), error.get()};
        pid_ = ::fork();
        if (pid_ == 0) {
            for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
                const int given = options.streams[stream];
                ::dup2(given >= 0 ? given : streams[stream], stream);
            }
            if (options.asNobody &&
                (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                 ::setresuid(65534, 65534, 65534) != 0)) {
                ::_exit(126);
            }
            // By descriptor: the build tree's folders need not be open to nobody.
            ::fexecve(executable.get(), argv.data(), environ);
            ::_exit(127);
        }
        input_ = std::move(input.write);
        output_ = options.watched >= 0 ? Fd(::dup(options.watched)) : std::move(output.read);
        if (pid_ > 0) {
            exitWatch_ = Fd(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
        }
    }

    ~ChildProcess() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (const auto& reader = childOutputReader()) {
            reader("the standard output of " + program_, std::move(output_text_));
            if (!errorFile_.empty()) {
                reader("the standard error of " + program_, fileBytes(errorFile_));
            }
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0 && exitWatch_.get() >= 0; }
    pid_t pid() const { return pid_; }

    /// Writes `text` to the child's standard input and closes it.
    void finishInput(std::string_view text) {
        while (!text.empty()) {
            const ssize_t written = ::write(input_.get(), text.data(), text.size());
            if (written <= 0) {
                break;
            }
            text.remove_prefix(static_cast<std::size_t>(written));
        }
        input_.reset();
    }

    /// Reads standard output until it holds `wanted` (true), or the child closed it or `bound`
    /// passed (false). What was read is in output().
    bool readUntil(std::string_view wanted, std::chrono::milliseconds bound) {
        return testing::readUntil(output_.get(), output_text_, wanted, bound);
    }
    const std::string& output() const { return output_text_; }

    /// Sends `signal` to the child.
    void signal(int number) const {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, number);
        }
    }

    /// The wait status once the child has ended, within `bound`; none if it has not. Reads what
    /// it still writes meanwhile, so that it never blocks on a full pipe.
    std::optional<int> waitForEnd(std::chrono::milliseconds bound) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!status_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() < 0) {
                break;
            }
            pollfd watched[2] = {{exitWatch_.get(), POLLIN, 0}, {output_.get(), POLLIN, 0}};
            if (::poll(watched, 2, static_cast<int>(left.count())) <= 0) {
                break;
            }
            if ((watched[1].revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[4096];
                const ssize_t count = ::read(output_.get(), buffer, sizeof buffer);
                if (count > 0) {
                    output_text_.append(buffer, static_cast<std::size_t>(count));
                    continue;
                }
                output_.reset();
            }
            if ((watched[0].revents & POLLIN) != 0) {
                int status = 0;
                if (::waitpid(pid_, &status, 0) == pid_) {
                    status_ = status;
                }
            }
        }
        return status_;
    }
    /// The exit status once the child has ended by itself within `bound`; none otherwise.
    std::optional<int> exitCode(std::chrono::milliseconds bound) {
        const auto status = waitForEnd(bound);
        return status && WIFEXITED(*status) ? std::optional(WEXITSTATUS(*status)) : std::nullopt;
    }

  private:
    std::string program_;
    std::string errorFile_;
    pid_t pid_ = -1;
    Fd input_;
    Fd output_;
    Fd exitWatch_;
    std::string output_text_;
    std::optional<int> status_;
};

/// Runs `program` to its end, within a minute, with `input` on its standard input: its exit
/// status (none when it did not end by itself) and its standard output.
inline std::pair<std::optional<int>, std::string> runToEnd(
    const std::string& program, const std::vector<std::string>& arguments,
    std::string_view input = {}, const ChildOptions& options = {}) {
    ChildProcess child(program, arguments, options);
    child.finishInput(input);
    const auto code = child.exitCode(std::chrono::minutes(1));
    return {code, child.output()};
}

}  // namespace vanto::testing
