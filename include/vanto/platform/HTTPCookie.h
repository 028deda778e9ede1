#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "vanto/Export.h"
#include "vanto/platform/URLRequest.h"

namespace vanto::platform {

/// A cookie as the cookie store keeps it.
struct VANTO_EXPORT HTTPCookie {
    std::string name{};
    std::string value{};
    /// The host (host-only cookie) or domain the cookie belongs to, without a leading dot.
    std::string domain{};
    /// Whether the cookie also applies to subdomains of `domain`.
    bool includesSubdomains = false;
    std::string path = "/";
    bool secure = false;
    bool httpOnly = false;
    /// When it expires; absent for a cookie that lasts as long as the session.
    std::optional<std::chrono::system_clock::time_point> expiresDate{};

    bool operator==(const HTTPCookie&) const = default;
};

/// The request header fields that send `cookies`: one "Cookie" field with the name=value pairs in
/// list order, joined by "; "; no field at all for an empty list.
VANTO_EXPORT HeaderFields requestHeaderFieldsWithCookies(const std::vector<HTTPCookie>& cookies);

}  // namespace vanto::platform
