#pragma once

#include <string>

#include "vanto/Export.h"

namespace vanto::platform {

/// The file name of the running program (without its folder), "" when it cannot be found.
/// Stands in for the host application's identifier on systems without application bundles.
VANTO_EXPORT std::string executableName();

}  // namespace vanto::platform
