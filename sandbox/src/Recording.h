#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include <nlohmann/json.hpp>

#include "vanto/sandbox/SandboxGateway.h"

namespace vanto::sandbox::detail {

/// A copy of a request body fit for eyes outside the process. The card form's fields "numero",
/// "caducidad" and "cvv", found by their decoded names, have their decoded values masked (a card
/// number keeps its last four digits behind asterisks, the rest becomes asterisks); then the
/// library's trace masking masks the card members of the gateway's messages, in any spelling and
/// nesting, and every run of digits long enough to be a card number. Everything else stays byte
/// for byte.
std::string maskedBody(std::string_view body);

/// A request as one JSON object: "method", "path", "headers" (an array of [name, value] pairs
/// in arrival order), "carriedSessionCookie" and "body", card data masked in all but the header
/// fields' names.
nlohmann::ordered_json recordedJson(const RecordedRequest& request);

/// A file to which every request is appended as one line of recordedJson, by a thread of its
/// own, so that serving never waits for the file: a FIFO nobody empties, a reader that has gone or
/// a full disk costs lines, never an answer. A line that cannot be written is counted, and each
/// kind of failure is reported once on standard error.
class RecordFile {
  public:
    RecordFile() = default;
    /// Closes the file if it is open.
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    /// Opens `path` for appending without waiting: a FIFO that no process reads is refused, not
    /// waited for. False, with `error` set, when it cannot be opened.
    bool open(const std::string& path, std::string& error);
    /// Queues the request's line; never waits. Nothing happens while the file is closed.
    void append(const RecordedRequest& request);
    /// Writes what is queued for at most `limit`, counts the rest as unwritten and closes the
    /// file. Idempotent.
    void close(std::chrono::milliseconds limit);
    /// How many requests could not be written, since the first open.
    std::size_t unwritten() const;
    const std::string& path() const { return path_; }

  private:
    void run();
    /// Writes the line whole, waiting for room while the file takes none; false when it failed
    /// or the close's time ran out.
    bool writeLine(std::string_view line);
    void reportFailure(int failure);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> lines_;
    std::size_t queuedBytes_ = 0;
    bool closing_ = false;
    std::chrono::steady_clock::time_point closeBy_;
    std::thread writer_;
    int fd_ = -1;
    std::string path_;
    std::set<int> reported_;
    std::size_t unwritten_ = 0;
};

}  // namespace vanto::sandbox::detail
