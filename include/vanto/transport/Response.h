#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// The envelope around every answer of the gateway's JSON services: the answer record as JSON
/// text, and a signature the library does not check.
struct VANTO_EXPORT Response {
    Response(std::string mensaje, std::optional<std::string> firma);

    /// Decodes a JSON object with a required text "mensaje" and an optional text "firma" (absent
    /// or null); other keys are ignored. None for anything else.
    static std::optional<Response> fromJSON(std::string_view json);
    /// Writes "mensaje" and, when present, "firma".
    std::string toJSON() const;

    bool operator==(const Response&) const = default;

    std::string mensaje;
    std::optional<std::string> firma;
};

}  // namespace vanto
