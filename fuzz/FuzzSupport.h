#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

/// Checks a property of an input; unlike assert(), it stays in builds with NDEBUG.
#define FUZZ_CHECK(condition)                                              \
    do {                                                                   \
        if (!(condition)) {                                                \
            ::vanto::fuzz::propertyFailed(#condition, __FILE__, __LINE__); \
        }                                                                  \
    } while (false)

namespace vanto::fuzz {

/// What a property that does not hold does: it stops the fuzzer with a message. A test that
/// replays inputs through the same checks puts in its own, which must not return either.
inline void (*propertyFailed)(const char* property, const char* file,
                              int line) = [](const char* property, const char* file, int line) {
    std::fprintf(stderr, "property failed: %s (%s:%d)\n", property, file, line);
    std::abort();
};

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

/// The pieces of `text` between occurrences of `separator`, empty ones included.
inline std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    for (std::size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, from)) {
        pieces.push_back(text.substr(from, at - from));
        from = at + 1;
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

}  // namespace vanto::fuzz
