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
        std::thread([created] { created->run(); }).detach();
        return created;
    }();
    return *log;
}

void ConsoleLog::write(Stream stream, std::string line) {
    {
        std::lock_guard lock(mutex_);
        if (lines_.size() >= kMostQueuedLines) {
            ++dropped_;
            return;
        }
        lines_.emplace_back(stream, std::move(line) + "\n");
    }
    queued_.notify_one();
}

bool ConsoleLog::flush(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return drained_.wait_for(lock, timeout, [this] { return lines_.empty() && !writing_; });
}

void ConsoleLog::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return !lines_.empty(); });
        auto [stream, text] = std::move(lines_.front());
        lines_.pop_front();
        if (dropped_ > 0 && lines_.size() < kMostQueuedLines / 2) {
            text = "sandbox: " + std::to_string(dropped_) +
                   " console lines were dropped: the output was not being read\n" + text;
            dropped_ = 0;
        }
        writing_ = true;
        lock.unlock();
        writeAll(stream == Stream::output ? STDOUT_FILENO : STDERR_FILENO, text);
        lock.lock();
        writing_ = false;
        if (lines_.empty()) {
            drained_.notify_all();
        }
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
