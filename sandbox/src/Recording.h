#pragma once

#include <fstream>
#include <mutex>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "vanto/sandbox/SandboxGateway.h"

namespace vanto::sandbox::detail {

/// A copy of a request body fit for eyes outside the process. Card numbers keep only their last
/// four digits behind asterisks; security codes and expiry dates become asterisks. It masks the
/// values of DS_MERCHANT_PAN, DS_MERCHANT_CVV2 and DS_MERCHANT_EXPIRYDATE wherever they stand in
/// the text (plain or inside the envelope's nested message) and the form fields "numero",
/// "caducidad" and "cvv"; everything else stays byte for byte. A body that still holds card data
/// in a form these rules miss is left out altogether.
std::string maskCardData(std::string_view body);

/// A request as one JSON object: "method", "path", "headers" (an array of [name, value] pairs
/// in arrival order), "carriedSessionCookie" and "body" (card data masked).
nlohmann::ordered_json recordedJson(const RecordedRequest& request);

/// A file to which every request is appended as one line of recordedJson.
class RecordFile {
  public:
    /// Opens `path` for appending; false, with `error` set, when it cannot.
    bool open(const std::string& path, std::string& error);
    /// Appends the request and flushes, so that a reader outside sees it at once.
    void append(const RecordedRequest& request);

  private:
    std::mutex mutex_;
    std::ofstream out_;
};

}  // namespace vanto::sandbox::detail
