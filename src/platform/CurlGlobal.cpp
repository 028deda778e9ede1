#include "platform/CurlGlobal.h"

#include <curl/curl.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/Lifetime.h"
#include "vanto/platform/SecureWipe.h"

namespace vanto::platform {
namespace {

// libcurl keeps copies of what it sends in blocks of its own (a small request body goes out in
// one buffer with the request's head) and frees them itself. Its blocks are wiped before they go
// back to the heap, so that a card number in a request body does not outlive its transfer there.
void wipeAndFree(void* block) {
    if (block != nullptr) {
        secureWipe(block, malloc_usable_size(block));
        std::free(block);
    }
}

void* allocate(std::size_t size) {
    return std::malloc(size);
}

// A block that grows always moves, so that the old one can be wiped; libcurl grows its buffers by
// doubling, so this happens a few times per transfer at most.
void* reallocate(void* block, std::size_t size) {
    if (block == nullptr) {
        return std::malloc(size);
    }
    void* moved = std::malloc(size == 0 ? 1 : size);
    if (moved == nullptr) {
        return nullptr;  // the old block stays, as with realloc()
    }
    std::memcpy(moved, block, std::min(malloc_usable_size(block), size));
    wipeAndFree(block);
    return moved;
}

char* duplicate(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(size));
    if (copy != nullptr) {
        std::memcpy(copy, text, size);
    }
    return copy;
}

void* allocateZeroed(std::size_t count, std::size_t size) {
    return std::calloc(count, size);
}

}  // namespace

void ensureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Never undone with curl_global_cleanup(): transfers may still be unwinding while the
        // process ends. Where the application initialised libcurl first, libcurl keeps its own
        // memory functions and this one only counts.
        curl_global_init_mem(CURL_GLOBAL_DEFAULT, allocate, wipeAndFree, reallocate, duplicate,
                             allocateZeroed);
        lifetime::watchProcessEnd();
    });
}

}  // namespace vanto::platform
