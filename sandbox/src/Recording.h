#pragma once

#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

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

/// A file to which every request is appended as one line of recordedJson. A line that cannot be
/// written is counted, and each kind of failure is reported once on standard error.
class RecordFile {
  public:
    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    /// Opens `path` for appending; false, with `error` set, when it cannot.
    bool open(const std::string& path, std::string& error);
    /// Appends the request in one write, so that a reader outside sees it at once.
    void append(const RecordedRequest& request);
    /// How many requests could not be written.
    std::size_t unwritten() const;
    const std::string& path() const { return path_; }

  private:
    mutable std::mutex mutex_;
    int fd_ = -1;
    std::string path_;
    std::set<int> reported_;
    std::size_t unwritten_ = 0;
};

}  // namespace vanto::sandbox::detail
