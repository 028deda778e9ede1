#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "vanto/Export.h"
#include "vanto/platform/HTTPCookie.h"

namespace vanto::platform {

/// A cookie jar built on libcurl's cookie engine: it takes in the cookies that replies set (the
/// engine parses Set-Cookie and keeps one cookie per name, domain and path) and
/// answers which cookies apply to an address by the rules of RFC 6265 (domain, path, secure,
/// expiry). Safe to use from several threads.
class VANTO_EXPORT HTTPCookieStorage {
  public:
    HTTPCookieStorage();
    ~HTTPCookieStorage();
    HTTPCookieStorage(const HTTPCookieStorage&) = delete;
    HTTPCookieStorage& operator=(const HTTPCookieStorage&) = delete;

    /// The process-wide jar, created on first use.
    static HTTPCookieStorage& shared();

    /// Takes in cookies in the Netscape cookie-file form that libcurl reports (one per line),
    /// replacing stored cookies of the same name, domain and path. An expiry later than the clock
    /// can count (the year 2262) is kept as the clock's last moment, still far in the future.
    void takeIn(const std::vector<std::string>& netscapeLines);
    /// Takes in one cookie.
    void setCookie(const HTTPCookie& cookie);
    /// The stored cookies that apply to `url`, longer paths first (the order of RFC 6265).
    std::vector<HTTPCookie> cookiesForURL(std::string_view url) const;
    /// Every stored cookie that has not expired.
    std::vector<HTTPCookie> cookies() const;
    /// Forgets every cookie.
    void removeAll();

  private:
    struct Jar;
    std::unique_ptr<Jar> jar_;
};

}  // namespace vanto::platform
