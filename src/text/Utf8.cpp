#include "vanto/text/Utf8.h"

namespace vanto {
namespace {

bool inRange(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t offset) {
    if (offset >= text.size()) {
        return 0;
    }
    const std::size_t available = text.size() - offset;
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[offset + i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) {
        return 1;
    }
    // Well-formed sequences as tabulated by the Unicode standard: the second byte's range
    // depends on the lead byte, which excludes overlong forms, surrogates and values past U+10FFFF.
    std::size_t length = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (inRange(lead, 0xC2, 0xDF)) {
        length = 2;
    } else if (lead == 0xE0) {
        length = 3;
        secondLow = 0xA0;
    } else if (inRange(lead, 0xE1, 0xEC) || inRange(lead, 0xEE, 0xEF)) {
        length = 3;
    } else if (lead == 0xED) {
        length = 3;
        secondHigh = 0x9F;
    } else if (lead == 0xF0) {
        length = 4;
        secondLow = 0x90;
    } else if (inRange(lead, 0xF1, 0xF3)) {
        length = 4;
    } else if (lead == 0xF4) {
        length = 4;
        secondHigh = 0x8F;
    } else {
        return 0;
    }
    if (available < length || !inRange(at(1), secondLow, secondHigh)) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!inRange(at(i), 0x80, 0xBF)) {
            return 0;
        }
    }
    return length;
}

bool isValidUtf8(std::string_view text) {
    std::size_t offset = 0;
    while (offset < text.size()) {
        if (static_cast<unsigned char>(text[offset]) < 0x80) {
            ++offset;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text, offset);
        if (length == 0) {
            return false;
        }
        offset += length;
    }
    return true;
}

std::size_t utf8CharacterLength(std::string_view text, std::size_t offset) {
    const std::size_t length = utf8SequenceLength(text, offset);
    return length == 0 ? 1 : length;
}

}  // namespace vanto
