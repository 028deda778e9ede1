#pragma once

// For a heap check, a program of its own that looks for the suite's accepted card number in
// memory the library let go of. Included by one source file of the program: it replaces malloc
// and its family (operator new ends there too), so that the blocks of libcurl and Qt are watched
// as well as the library's. While `searching`, each block freed or moved by realloc, on any
// thread, is searched first for the whole card number, plain or in its groups of four, in the
// one-byte form of the core or the two-byte form of Qt's strings; where one is found, its
// caller's stack goes to standard error.

#include <execinfo.h>
#include <malloc.h>
#include <string.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string_view>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* data, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* data);
}

namespace vanto::testing::heap {

inline constexpr char kCardNumber[] = "4000000000000002";
inline constexpr char kGrouped[] = "4000 0000 0000 0002";
// As UTF-16 units (x86 is little-endian), none of them in a block of its own.
inline constexpr char16_t kWide[] = u"4000000000000002";
inline constexpr char16_t kWideGrouped[] = u"4000 0000 0000 0002";
inline const std::string_view kPatterns[] = {
    kCardNumber,
    kGrouped,
    {reinterpret_cast<const char*>(kWide), 2 * (std::size(kWide) - 1)},
    {reinterpret_cast<const char*>(kWideGrouped), 2 * (std::size(kWideGrouped) - 1)}};

inline std::atomic<bool> searching{false};
inline std::atomic<int> freedWithCardNumber{0};
inline thread_local bool inHook = false;

inline bool holdsCardNumber(const void* data, std::size_t size) {
    for (const std::string_view pattern : kPatterns) {
        if (memmem(data, size, pattern.data(), pattern.size()) != nullptr) {
            return true;
        }
    }
    return false;
}

// A block about to be let go of: counted, and its caller shown, when it holds the card number.
inline void search(void* data) {
    if (data == nullptr || !searching || inHook) {
        return;
    }
    inHook = true;
    if (holdsCardNumber(data, malloc_usable_size(data))) {
        const int found = ++freedWithCardNumber;
        if (found <= 5) {
            std::fprintf(stderr, "freed with the card number, from:\n");
            void* frames[32];
            backtrace_symbols_fd(frames, backtrace(frames, 32), 2);
        }
    }
    inHook = false;
}

/// Starts the search, once what backtrace needs is loaded (it loads it when first called, which
/// it must not do inside free).
inline void startSearching() {
    void* frames[1];
    backtrace(frames, 1);
    searching = true;
}

/// Ends the search: whether no freed block held the card number, said on standard output or
/// error.
inline bool noneFound() {
    searching = false;
    if (freedWithCardNumber > 0) {
        std::fprintf(stderr, "%d freed blocks held the card number\n", freedWithCardNumber.load());
        return false;
    }
    std::puts("no freed block held the card number");
    return true;
}

}  // namespace vanto::testing::heap

extern "C" {

void* malloc(size_t size) {
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    return __libc_calloc(count, size);
}
void free(void* data) {
    vanto::testing::heap::search(data);
    __libc_free(data);
}
// A block that may move is searched first: the old one would be let go of unseen.
void* realloc(void* data, size_t size) {
    vanto::testing::heap::search(data);
    return __libc_realloc(data, size);
}
void* memalign(size_t alignment, size_t size) {
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** data, size_t alignment, size_t size) {
    *data = __libc_memalign(alignment, size);
    return *data == nullptr ? ENOMEM : 0;
}

}  // extern "C"
