#include "Recording.h"

#include <fcntl.h>
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
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RecordFile::open(const std::string& path, std::string& error) {
    std::lock_guard lock(mutex_);
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error = "cannot open the recording file " + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    return true;
}

void RecordFile::append(const RecordedRequest& request) {
    const std::string line = compactJson(recordedJson(request)) + "\n";
    std::lock_guard lock(mutex_);
    if (fd_ < 0) {
        return;
    }
    // O_APPEND puts each write at the end: a line written in one piece is never interleaved.
    const ssize_t written = ::write(fd_, line.data(), line.size());
    if (written == static_cast<ssize_t>(line.size())) {
        return;
    }
    const int failure = written < 0 ? errno : ENOSPC;
    ++unwritten_;
    if (reported_.insert(failure).second) {
        ConsoleLog::shared().write(
            ConsoleLog::Stream::error,
            "sandbox: a request could not be written to the recording file " + printable(path_) +
                ": " + std::strerror(failure) + " (further failures like it are only counted)");
    }
}

std::size_t RecordFile::unwritten() const {
    std::lock_guard lock(mutex_);
    return unwritten_;
}

}  // namespace vanto::sandbox::detail
