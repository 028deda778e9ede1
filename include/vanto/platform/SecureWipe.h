#pragma once

#include <cstddef>
#include <string>

#include "vanto/Export.h"

namespace vanto::platform {

/// Overwrites `size` bytes at `data` with zeros in a way the compiler cannot remove.
VANTO_EXPORT void secureWipe(void* data, std::size_t size);

/// Overwrites every byte the string owns, up to its capacity, then empties it. For texts that
/// held card data before they are released.
VANTO_EXPORT void secureWipe(std::string& text);

}  // namespace vanto::platform
