#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// HTTP request methods. `delete_` stands for DELETE, whose plain name C++ reserves.
enum class HTTPMethod { options, get, head, post, put, patch, delete_, trace, connect };

/// The method's text: "OPTIONS", "GET", "HEAD", "POST", "PUT", "PATCH", "DELETE", "TRACE",
/// "CONNECT".
VANTO_EXPORT std::string rawValue(HTTPMethod method);

/// The method whose text is exactly `raw` (upper case only), or none.
VANTO_EXPORT std::optional<HTTPMethod> httpMethodFromRawValue(std::string_view raw);

}  // namespace vanto
