#include "vanto/platform/SecureWipe.h"

#include <string.h>

namespace vanto::platform {

void secureWipe(void* data, std::size_t size) {
    if (data != nullptr && size > 0) {
        // Unlike memset, explicit_bzero is never removed as a dead store.
        explicit_bzero(data, size);
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
