#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// Decodes standard padded Base64 (the RFC 4648 alphabet with "+" and "/"). Strict: the length
/// must be a multiple of four, "=" may only be the last one or two characters, and any other
/// character outside the alphabet (line breaks, spaces, the URL-safe "-" and "_") makes the whole
/// decoding fail. The empty text decodes to no bytes.
VANTO_EXPORT std::optional<std::string> base64Decode(std::string_view text);

/// Encodes bytes as standard padded Base64.
VANTO_EXPORT std::string base64Encode(std::string_view bytes);

}  // namespace vanto
