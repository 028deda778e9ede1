#include "Recording.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ConsoleLog.h"
#include "Services.h"
#include "Text.h"
#include "vanto/transport/Trace.h"

namespace vanto::sandbox::detail {

namespace {

using Json = nlohmann::ordered_json;

// Lines waiting for the recording file; more are counted as unwritten.
constexpr std::size_t kMostQueuedRecordBytes = 16 * 1024 * 1024;
// How long the writer waits for room in a full FIFO before it looks whether it is closing.
constexpr int kRoomWaitMilliseconds = 100;

enum class CardField { number, secret };

/// The masked form of a card value: a number keeps its last four digits, a security code or an
/// expiry date keeps nothing. The length stays, so that an empty value still shows as empty.
std::string masked(std::string_view value, CardField field) {
    std::string out(value.size(), '*');
    const bool lastFourDigits = value.size() > 4 && isDigits(value.substr(value.size() - 4));
    if (field == CardField::number && lastFourDigits) {
        out.replace(out.size() - 4, 4, value.substr(value.size() - 4));
    }
    return out;
}

constexpr std::pair<std::string_view, CardField> kFormCardFields[] = {
    {"numero", CardField::number},
    {"caducidad", CardField::secret},
    {"cvv", CardField::secret},
};

/// Masks the card fields of a form body in place, leaving every other field as it was sent.
std::string maskFormFields(std::string_view body) {
    std::string out;
    for (bool first = true; first || !body.empty(); first = false) {
        const std::size_t end = std::min(body.find('&'), body.size());
        const std::string_view field = body.substr(0, end);
        body.remove_prefix(std::min(end + 1, body.size()));
        out += first ? "" : "&";
        const std::size_t equals = field.find('=');
        const std::string name =
            equals == std::string_view::npos ? "" : formDecode(field.substr(0, equals));
        const auto* cardField =
            std::find_if(std::begin(kFormCardFields), std::end(kFormCardFields),
                         [&name](const auto& entry) { return entry.first == name; });
        if (cardField == std::end(kFormCardFields)) {
            out += field;
        } else {
            out += std::string(field.substr(0, equals + 1)) +
                   masked(formDecode(field.substr(equals + 1)), cardField->second);
        }
    }
    return out;
}

}  // namespace

std::string maskedBody(std::string_view body) {
    return vanto::maskCardData(maskFormFields(body));
}

nlohmann::ordered_json recordedJson(const RecordedRequest& request) {
    // A client may put anything in a header field or the path: a Referer with a card number in
    // its query, say.
    Json headers = Json::array();
    for (const auto& [name, value] : request.headers) {
        headers.push_back(Json::array({name, vanto::maskCardData(value)}));
    }
    Json record;
    record["method"] = vanto::maskCardData(request.method);
    record["path"] = vanto::maskCardData(request.path);
    record["headers"] = std::move(headers);
    record["carriedSessionCookie"] = request.carriedSessionCookie;
    record["body"] = maskedBody(request.body);
    return record;
}

RecordFile::~RecordFile() {
    close(std::chrono::milliseconds(0));
}

bool RecordFile::open(const std::string& path, std::string& error) {
    close(std::chrono::milliseconds(0));
    // O_NONBLOCK: opening a FIFO for writing would otherwise wait for a reader, start-up and
    // SIGTERM with it; once open, the writer waits for room by poll(), within the close's limit.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        error = "cannot open the recording file " + path + ": " +
                (errno == ENXIO ? std::string("it is a FIFO that no process reads")
                                : std::string(std::strerror(errno)));
        return false;
    }
    std::lock_guard lock(mutex_);
    fd_ = fd;
    path_ = path;
    closing_ = false;
    writer_ = std::thread([this] { run(); });
    return true;
}

void RecordFile::append(const RecordedRequest& request) {
    std::string line = compactJson(recordedJson(request)) + "\n";
    {
        std::lock_guard lock(mutex_);
        if (fd_ < 0 || closing_) {
            return;
        }
        if (queuedBytes_ + line.size() > kMostQueuedRecordBytes) {
            ++unwritten_;
            reportFailure(EAGAIN);
            return;
        }
        queuedBytes_ += line.size();
        lines_.push_back(std::move(line));
    }
    changed_.notify_all();
}

void RecordFile::close(std::chrono::milliseconds limit) {
    {
        std::lock_guard lock(mutex_);
        if (!writer_.joinable()) {
            return;
        }
        closing_ = true;
        closeBy_ = std::chrono::steady_clock::now() + limit;
    }
    changed_.notify_all();
    writer_.join();
    std::lock_guard lock(mutex_);
    unwritten_ += lines_.size();
    lines_.clear();
    queuedBytes_ = 0;
    ::close(fd_);
    fd_ = -1;
}

void RecordFile::run() {
    // A reader that has gone makes a write fail with EPIPE; the signal that comes with it stays
    // pending on this thread, which never takes it, whatever the process does with SIGPIPE.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || !lines_.empty(); });
        if (lines_.empty() || (closing_ && std::chrono::steady_clock::now() >= closeBy_)) {
            return;
        }
        const std::string line = std::move(lines_.front());
        lines_.pop_front();
        queuedBytes_ -= line.size();
        lock.unlock();
        const bool written = writeLine(line);
        lock.lock();
        unwritten_ += written ? 0 : 1;
    }
}

bool RecordFile::writeLine(std::string_view line) {
    while (!line.empty()) {
        const ssize_t written = ::write(fd_, line.data(), line.size());
        if (written > 0) {
            line.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        const int failure = written < 0 ? errno : ENOSPC;
        if (failure == EINTR) {
            continue;
        }
        std::unique_lock lock(mutex_);
        if (failure != EAGAIN || (closing_ && std::chrono::steady_clock::now() >= closeBy_)) {
            reportFailure(failure);
            return false;
        }
        lock.unlock();
        // The FIFO is full: wait for its reader, a little at a time so that a close is seen.
        pollfd room{fd_, POLLOUT, 0};
        ::poll(&room, 1, kRoomWaitMilliseconds);
    }
    return true;
}

void RecordFile::reportFailure(int failure) {
    if (reported_.insert(failure).second) {
        ConsoleLog::shared().write(
            ConsoleLog::Stream::error,
            "sandbox: a request could not be written to the recording file " + printable(path_) +
                ": " +
                (failure == EAGAIN ? std::string("its reader does not keep up")
                                   : std::string(std::strerror(failure))) +
                " (further failures like it are only counted)");
    }
}

std::size_t RecordFile::unwritten() const {
    std::lock_guard lock(mutex_);
    return unwritten_;
}

}  // namespace vanto::sandbox::detail
