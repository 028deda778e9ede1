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

Sha256Digest::Sha256Digest() : context_(EVP_MD_CTX_new()), ok_(false) {
    auto* context = static_cast<EVP_MD_CTX*>(context_);
    const EVP_MD* algorithm = sha256Algorithm();
    ok_ = context != nullptr && algorithm != nullptr &&
          EVP_DigestInit_ex2(context, algorithm, nullptr) == 1;
}

Sha256Digest::~Sha256Digest() {
    // Freeing the context also cleanses its state, which may hold part of a message.
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(context_));
}

bool Sha256Digest::update(std::string_view piece) {
    ok_ = ok_ &&
          EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(context_), piece.data(), piece.size()) == 1;
    return ok_;
}

bool Sha256Digest::finish(Value& out) {
    unsigned int length = 0;
    ok_ = ok_ && EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(context_), out.data(), &length) == 1 &&
          length == out.size();
    return ok_;
}

}  // namespace vanto::platform
