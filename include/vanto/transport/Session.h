#pragma once

#include <string_view>
#include <vector>

#include "vanto/Export.h"
#include "vanto/platform/HTTPCookie.h"
#include "vanto/platform/URLRequest.h"

namespace vanto {

/// The library's cookie store: the cookies it adds to the requests it builds, in order. Each
/// cookie goes only to the hosts and paths it belongs to, so a cookie one gateway set never
/// reaches another. One instance for the process; safe to read and update from several threads.
class VANTO_EXPORT Session {
  public:
    static Session& shared();

    /// A snapshot of the stored cookies, in order.
    std::vector<platform::HTTPCookie> cookies() const;
    /// The stored cookies that a request to `url` carries, in store order: those whose domain
    /// and path match it (RFC 6265) and that have not expired, and those put in without a domain.
    std::vector<platform::HTTPCookie> cookiesForURL(std::string_view url) const;
    void setCookies(std::vector<platform::HTTPCookie> cookies);
    /// Takes in `received` in one step: a cookie stored with the same name, domain and path is
    /// replaced at its position; any other cookie is appended.
    void updateCookies(const std::vector<platform::HTTPCookie>& received);

  private:
    Session();

    struct State;
    // Never destroyed, like the one instance itself.
    State* state_;
    // Where the one instance lives: the library's process-wide state.
    struct Owner;
};

/// Puts `cookie` in place of the first cookie of `list` with the same name (names compare exactly);
/// leaves the list unchanged when there is none.
VANTO_EXPORT void update(std::vector<platform::HTTPCookie>& list,
                         const platform::HTTPCookie& cookie);

/// Sets the header fields that send `cookies` on `request` (one "Cookie" field, replacing an
/// earlier one); an empty list leaves the request unchanged.
VANTO_EXPORT void addCookies(platform::URLRequest& request,
                             const std::vector<platform::HTTPCookie>& cookies);

}  // namespace vanto
