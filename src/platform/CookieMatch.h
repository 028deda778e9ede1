#pragma once

#include <string_view>
#include <vector>

#include "vanto/platform/HTTPCookie.h"

namespace vanto::platform {

/// The cookies of `cookies` that a request to `url` carries, in list order: those whose domain
/// and path match the address by the rules of RFC 6265, that are not secure-only on a plain
/// address, and that have not expired. A cookie without a domain was put in by the application
/// unscoped and goes to every host; an address that does not parse gets none of the others.
std::vector<HTTPCookie> cookiesApplyingTo(const std::vector<HTTPCookie>& cookies,
                                          std::string_view url);

/// Whether `a` and `b` are the same cookie by RFC 6265's identity: name, domain and path.
bool sameCookie(const HTTPCookie& a, const HTTPCookie& b);

}  // namespace vanto::platform
