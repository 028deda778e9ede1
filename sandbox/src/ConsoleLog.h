#pragma once

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

namespace vanto::sandbox::detail {

/// The sandbox's lines on standard output and standard error. A line is queued and written by a
/// thread of each stream, so that no thread serving a request ever waits for the console, nor one
/// stream for the other: when a stream is not being read and its queue is full, its lines are
/// dropped and counted, and a line saying how many follows once it moves again.
///
/// One log serves the whole process (the console is the process's), created on first use and
/// never destroyed, so that a writer stuck on a full pipe cannot hold up the process's exit.
class ConsoleLog {
  public:
    enum class Stream { output, error };

    static ConsoleLog& shared();

    /// Queues `line` (a line break is added); never waits.
    void write(Stream stream, std::string line);
    /// Waits until the queued lines are written, for at most `timeout`; false when time ran out.
    bool flush(std::chrono::milliseconds timeout);
    /// Says on standard error how many lines standard output has lost since the last call
    /// because it was closed (its reader had gone), if any.
    void reportLost();

  private:
    struct Channel {
        int fd;
        std::deque<std::string> lines;
        bool writing = false;
        std::size_t dropped = 0;
        /// Lines whose write failed: the stream is closed.
        std::size_t lost = 0;

        bool idle() const { return lines.empty() && !writing; }
    };

    ConsoleLog() = default;
    void run(Channel& channel);
    /// False when the stream takes no more.
    static bool writeAll(int fd, std::string_view text);

    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable drained_;
    Channel output_{STDOUT_FILENO, {}, false, 0, 0};
    Channel error_{STDERR_FILENO, {}, false, 0, 0};
};

/// `text` as it may go on a console: every byte outside printable ASCII, and the backslash,
/// written as \xNN, so that no control sequence in a request reaches a terminal.
std::string printable(std::string_view text);

}  // namespace vanto::sandbox::detail
