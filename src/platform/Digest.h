#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "vanto/Export.h"

// OpenSSL's digest context (EVP_MD_CTX), named here without its headers.
struct evp_md_ctx_st;

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
    // Frees the context, which also cleanses its state: it may hold part of a message.
    struct ContextRelease {
        void operator()(evp_md_ctx_st* context) const noexcept;
    };

    std::unique_ptr<evp_md_ctx_st, ContextRelease> context_;
    bool ok_;
};

}  // namespace vanto::platform
