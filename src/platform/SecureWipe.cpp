#include "vanto/platform/SecureWipe.h"

#include <openssl/crypto.h>

namespace vanto::platform {

void secureWipe(void* data, std::size_t size) {
    if (data != nullptr && size > 0) {
        OPENSSL_cleanse(data, size);
    }
}

void secureWipe(std::string& text) {
    // Bytes past size() may still hold an earlier, longer content: widen to the capacity first
    // so that the whole buffer is overwritten.
    text.resize(text.capacity());
    secureWipe(text.data(), text.size());
    text.clear();
}

}  // namespace vanto::platform
