#include "ConsoleLog.h"

#include <unistd.h>

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
            std::thread([created, channel] { created->run(*channel); }).detach();
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
        writeAll(channel.fd, text);
        lock.lock();
        channel.writing = false;
        drained_.notify_all();
    }
}

void ConsoleLog::writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;  // a closed console: nothing more can be said there
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
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
