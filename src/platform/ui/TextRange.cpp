#include "vanto/platform/ui/CardEntryViewModel.h"

#include <cstdint>

namespace vanto::platform::ui {
namespace {

struct Character {
    std::size_t bytes;  // length of its UTF-8 sequence
    std::size_t units;  // length in UTF-16
};

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The character that starts at `offset`: a well-formed UTF-8 sequence, or a single byte that does
// not start one (which a toolkit shows as U+FFFD, one unit).
Character characterAt(std::string_view text, std::size_t offset) {
    const auto lead = static_cast<unsigned char>(text[offset]);
    if (lead < 0x80) {
        return {1, 1};
    }
    // The lead byte's pattern under its mask gives the sequence's length; a value below the
    // form's minimum is an overlong spelling of a shorter one.
    struct Form {
        unsigned char mask;
        unsigned char pattern;
        std::size_t bytes;
        std::uint32_t minimum;
    };
    constexpr Form kForms[] = {
        {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
    const Form* form = nullptr;
    for (const auto& candidate : kForms) {
        if ((lead & candidate.mask) == candidate.pattern) {
            form = &candidate;
        }
    }
    if (form == nullptr) {
        return {1, 1};
    }
    const std::size_t bytes = form->bytes;
    const std::uint32_t minimum = form->minimum;
    std::uint32_t value = lead & static_cast<unsigned char>(~form->mask);
    if (offset + bytes > text.size()) {
        return {1, 1};
    }
    for (std::size_t i = 1; i < bytes; ++i) {
        const auto next = static_cast<unsigned char>(text[offset + i]);
        if (!isContinuation(next)) {
            return {1, 1};
        }
        value = (value << 6) | (next & 0x3F);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < minimum || value > 0x10FFFF || surrogate) {
        return {1, 1};
    }
    return {bytes, value >= 0x10000 ? std::size_t{2} : std::size_t{1}};
}

// The byte offset at which the UTF-16 offset `units` falls, or none when it lies past the end or
// inside a character.
std::optional<std::size_t> byteOffset(std::string_view text, std::size_t units) {
    std::size_t bytes = 0;
    std::size_t counted = 0;
    while (counted < units && bytes < text.size()) {
        const auto character = characterAt(text, bytes);
        bytes += character.bytes;
        counted += character.units;
    }
    if (counted != units) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::size_t utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t offset = 0; offset < text.size();) {
        const auto character = characterAt(text, offset);
        offset += character.bytes;
        units += character.units;
    }
    return units;
}

std::optional<SecretText> replacingCharacters(std::string_view text, TextRange range,
                                              std::string_view replacement) {
    if (range.length > SIZE_MAX - range.location) {
        return std::nullopt;
    }
    const auto from = byteOffset(text, range.location);
    const auto to = byteOffset(text, range.location + range.length);
    if (!from || !to) {
        return std::nullopt;
    }
    SecretText edited;
    edited.reserve(text.size() - (*to - *from) + replacement.size());
    edited.append(text.substr(0, *from));
    edited.append(replacement);
    edited.append(text.substr(*to));
    return edited;
}

}  // namespace vanto::platform::ui
