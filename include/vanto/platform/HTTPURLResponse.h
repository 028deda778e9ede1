#pragma once

#include <string>

#include "vanto/Export.h"
#include "vanto/platform/HeaderFields.h"

namespace vanto::platform {

/// An HTTP reply's status line and header fields.
struct VANTO_EXPORT HTTPURLResponse {
    std::string url;
    int statusCode = 0;
    HeaderFields allHeaderFields;
};

}  // namespace vanto::platform
