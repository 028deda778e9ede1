#include "ConsoleLog.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace vanto::sandbox::detail {

namespace {

// Lines waiting to be written; more are dropped.
constexpr std::size_t kMostQueuedLines = 4096;

}  // namespace

ConsoleLog& ConsoleLog::shared() {
    static ConsoleLog* const log = [] {
        auto* created = new ConsoleLog();  // never destroyed, see the class comment
        for (Channel* channel : {&created->output_, &created->error_}) {
            std::thread([created, channel] {
                // A closed console makes a write fail with EPIPE; the signal that comes with it
                // stays pending on this thread, which never takes it, whatever the process does
                // with SIGPIPE.
                sigset_t all;
                sigfillset(&all);
                pthread_sigmask(SIG_BLOCK, &all, nullptr);
                created->run(*channel);
            }).detach();
        }
        return created;
    }();
    return *log;
}

void ConsoleLog::write(Stream stream, std::string line) {
    {
        std::lock_guard lock(mutex_);
        Channel& channel = stream == Stream::output ? output_ : error_;
        if (channel.lines.size() >= kMostQueuedLines) {
            ++channel.dropped;
            return;
        }
        channel.lines.push_back(std::move(line) + "\n");
    }
    queued_.notify_all();
}

bool ConsoleLog::flush(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return drained_.wait_for(lock, timeout, [this] { return output_.idle() && error_.idle(); });
}

void ConsoleLog::run(Channel& channel) {
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [&channel] { return !channel.lines.empty(); });
        std::string text = std::move(channel.lines.front());
        channel.lines.pop_front();
        if (channel.dropped > 0 && channel.lines.size() < kMostQueuedLines / 2) {
            text = "sandbox: " + std::to_string(channel.dropped) +
                   " console lines were dropped: the output was not being read\n" + text;
            channel.dropped = 0;
        }
        channel.writing = true;
        lock.unlock();
        const bool written = writeAll(channel.fd, text);
        lock.lock();
        channel.lost +=
            written ? 0 : static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        channel.writing = false;
        drained_.notify_all();
    }
}

void ConsoleLog::reportLost() {
    {
        std::lock_guard lock(mutex_);
        if (output_.lost == 0) {
            return;
        }
        error_.lines.push_back("sandbox: " + std::to_string(output_.lost) +
                               " lines could not be written to standard output: it is closed\n");
        output_.lost = 0;
    }
    queued_.notify_all();
}

bool ConsoleLog::writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;  // a closed console: nothing more can be said there
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string printable(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

}  // namespace vanto::sandbox::detail
