#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "vanto/Export.h"

namespace vanto::platform {

/// A SHA-256 digest computed over one or more pieces of text, fed in order.
class VANTO_EXPORT Sha256Digest {
  public:
    using Value = std::array<std::uint8_t, 32>;

    Sha256Digest();
    ~Sha256Digest();
    Sha256Digest(const Sha256Digest&) = delete;
    Sha256Digest& operator=(const Sha256Digest&) = delete;

    /// Adds the bytes of `piece`. Returns false when the digest engine fails.
    bool update(std::string_view piece);
    /// Completes the digest; the object must not be used afterwards.
    bool finish(Value& out);

  private:
    void* context_;
    bool ok_;
};

}  // namespace vanto::platform
