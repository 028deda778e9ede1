#pragma once

#include <memory>

namespace vanto::platform {

// Releases a C library's resource with that library's own function; as a deleter it takes no room.
template <auto release>
struct ReleaseWith {
    template <typename T>
    void operator()(T* resource) const noexcept {
        release(resource);
    }
};

// A C resource with a single owner, released with `release` when the owner goes, so that no return
// path can leak it.
template <typename T, auto release>
using Owned = std::unique_ptr<T, ReleaseWith<release>>;

}  // namespace vanto::platform
