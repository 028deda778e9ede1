#pragma once

namespace vanto::platform {

/// Initialises libcurl once for the process, before the first handle is made.
void ensureCurlGlobalInit();

}  // namespace vanto::platform
