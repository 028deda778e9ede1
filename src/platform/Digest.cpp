#include "platform/Digest.h"

#include <openssl/evp.h>

namespace vanto::platform {
namespace {

// Fetching the algorithm is the costly part of a digest's set-up in OpenSSL 3; fetch it once.
const EVP_MD* sha256Algorithm() {
    static EVP_MD* const algorithm = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return algorithm;
}

}  // namespace

void Sha256Digest::ContextRelease::operator()(EVP_MD_CTX* context) const noexcept {
    EVP_MD_CTX_free(context);
}

Sha256Digest::Sha256Digest() : context_(EVP_MD_CTX_new()), ok_(false) {
    const EVP_MD* algorithm = sha256Algorithm();
    ok_ = context_ != nullptr && algorithm != nullptr &&
          EVP_DigestInit_ex2(context_.get(), algorithm, nullptr) == 1;
}

Sha256Digest::~Sha256Digest() = default;

bool Sha256Digest::update(std::string_view piece) {
    ok_ = ok_ && EVP_DigestUpdate(context_.get(), piece.data(), piece.size()) == 1;
    return ok_;
}

bool Sha256Digest::finish(Value& out) {
    unsigned int length = 0;
    ok_ =
        ok_ && EVP_DigestFinal_ex(context_.get(), out.data(), &length) == 1 && length == out.size();
    return ok_;
}

}  // namespace vanto::platform
