#pragma once

#include <optional>
#include <string>

#include "vanto/Export.h"
#include "vanto/platform/HeaderFields.h"
#include "vanto/platform/SecretText.h"

namespace vanto::platform {

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

}  // namespace vanto::platform
