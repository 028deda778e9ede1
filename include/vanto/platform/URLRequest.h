#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vanto/Export.h"
#include "vanto/platform/SecretText.h"

namespace vanto::platform {

/// Ordered header fields. Names compare without regard to case, as HTTP field names do.
class VANTO_EXPORT HeaderFields {
  public:
    using Field = std::pair<std::string, std::string>;

    /// Sets the field `name` to `value`, replacing an earlier value of the same field in place.
    void set(std::string name, std::string value);
    /// The value of the field `name`, if present.
    std::optional<std::string> value(std::string_view name) const;
    /// Adds a field without replacing (for replies, where a field may come more than once).
    void add(std::string name, std::string value);
    const std::vector<Field>& fields() const { return fields_; }
    bool empty() const { return fields_.empty(); }

  private:
    std::vector<Field> fields_;
};

/// How a request may use cached replies, with the raw values hosts use for them. The transport
/// keeps no cache, so both come to the same; a web view loading a request honours them.
enum class CachePolicy {
    /// The caching rules of the protocol apply.
    useProtocolCachePolicy = 0,
    /// Load from the origin, ignoring any cached data, local or on the way.
    reloadIgnoringLocalAndRemoteCacheData = 4,
};

/// A URL request: address, method, header fields, body and time-out. Its body may carry card
/// data, so a request is moved, not copied, unless copy() says so.
struct VANTO_EXPORT URLRequest {
    explicit URLRequest(std::string url) : url(std::move(url)) {}
    URLRequest(URLRequest&&) noexcept = default;
    URLRequest& operator=(URLRequest&&) noexcept = default;
    URLRequest(const URLRequest&) = delete;
    URLRequest& operator=(const URLRequest&) = delete;
    ~URLRequest() = default;

    /// A second request with the same address, method, header fields, body and time-out.
    URLRequest copy() const;

    std::string url;
    std::optional<std::string> httpMethod;
    HeaderFields allHTTPHeaderFields;
    /// The body bytes; absent for a request without a body.
    std::optional<SecretText> httpBody;
    /// Seconds the transfer may stay idle (no bytes either way) before it fails. A value that is
    /// not a positive number means the default of 60 seconds; longer than a day counts as a day.
    double timeoutInterval = 60.0;
    CachePolicy cachePolicy = CachePolicy::useProtocolCachePolicy;
};

/// An HTTP reply's status line and header fields.
struct VANTO_EXPORT HTTPURLResponse {
    std::string url;
    int statusCode = 0;
    HeaderFields allHeaderFields;
};

/// A failure of the URL loading system, or of building a request for it.
///
/// Callers tell failures apart by `kind`; `detail` says more for a trace or a log (it may name the
/// underlying library's own code) and is not meant to be parsed.
struct VANTO_EXPORT PlatformError {
    enum class Kind {
        /// The server could not be reached: its name did not resolve, or nothing accepted the
        /// connection.
        couldNotConnect,
        /// The TLS handshake failed or the server's certificate was refused (not trusted, issued
        /// to another name, or not the pinned key).
        tlsRefused,
        /// Nothing moved either way for as long as the request's time-out allowed.
        timedOut,
        /// The connection ended before a whole reply had arrived, or broke while one was sent.
        connectionLost,
        /// The address is not an https address: nothing was sent.
        notHttps,
        /// The request could not be built or sent as it is (a body that is not UTF-8 text, an
        /// address that does not parse).
        invalidRequest,
        /// A reply arrived but is not what the call expects, or is larger than a reply may be
        /// (URLSession::kLargestReplyBytes).
        invalidReply,
        /// The transfer was cut short because the process is ending.
        cancelled,
        /// Any other failure.
        other,
    };

    Kind kind = Kind::other;
    /// What went wrong, in a sentence.
    std::string localizedDescription;
    /// More for traces, such as the transfer library's code and message; may be empty.
    std::string detail;
    /// Whether bytes of the request had left when the transfer failed: the server may then have
    /// acted on the request although no whole answer came back.
    bool requestSent = false;
};

}  // namespace vanto::platform
