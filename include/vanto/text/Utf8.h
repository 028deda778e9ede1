#pragma once

#include <cstddef>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// Length in bytes of the well-formed UTF-8 sequence that starts at `offset` of `text`, or 0 when
/// the bytes there are not one (overlong forms, surrogates and values past U+10FFFF included).
VANTO_EXPORT std::size_t utf8SequenceLength(std::string_view text, std::size_t offset);

/// Whether the whole text is well-formed UTF-8.
VANTO_EXPORT bool isValidUtf8(std::string_view text);

/// Length in bytes of the character at `offset` for walking a text by code points: the length of
/// a well-formed sequence, or 1 for a byte that does not start one, so that every text can be
/// walked to its end.
VANTO_EXPORT std::size_t utf8CharacterLength(std::string_view text, std::size_t offset);

}  // namespace vanto
