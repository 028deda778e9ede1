#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/platform/SecretText.h"

namespace vanto::platform::ui {

/// A range of a text counted in UTF-16 code units, the way text fields of the common toolkits
/// count (QString, NSString): a character outside the Basic Multilingual Plane, such as most
/// emoji, is two units.
struct VANTO_EXPORT TextRange {
    std::size_t location = 0;
    std::size_t length = 0;

    friend bool operator==(const TextRange&, const TextRange&) = default;
};

/// The length of UTF-8 `text` in UTF-16 code units. A byte that does not start a well-formed
/// UTF-8 sequence counts as one unit, as it would once replaced by U+FFFD.
VANTO_EXPORT std::size_t utf16Length(std::string_view text);

/// UTF-8 `text` with the characters in `range` (UTF-16 units) replaced by `replacement`: the
/// preview of an edit, as secret text since it is mostly card data. None when the range ends past
/// the text or either of its ends falls inside a character, splitting a pair of UTF-16 units.
VANTO_EXPORT std::optional<SecretText> replacingCharacters(std::string_view text, TextRange range,
                                                           std::string_view replacement);

}  // namespace vanto::platform::ui
