#pragma once

#include <cstddef>
#include <string>

namespace vanto::platform {

/// Overwrites `size` bytes at `data` with zeros in a way the compiler cannot remove.
void secureWipe(void* data, std::size_t size);

/// Overwrites every byte the string owns, up to its capacity, then empties it. For texts that
/// held card data before they are released.
void secureWipe(std::string& text);

}  // namespace vanto::platform
