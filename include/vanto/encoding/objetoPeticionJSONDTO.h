#pragma once

#include <string>

#include "vanto/Export.h"
#include "vanto/encoding/IAVantVirtualPetitionJSON.h"

namespace vanto {

class JsonWriter;

/// The direct-payment request message: client identification around the payment data.
struct VANTO_EXPORT objetoPeticionJSONDTO {
    objetoPeticionJSONDTO(std::string version, std::string bundle,
                          IAVantVirtualPetitionJSON datosPeticion, std::string so);

    /// Writes the message as a JSON object, the payment data nested as an object.
    void writeJson(JsonWriter& writer) const;

    std::string version;
    std::string bundle;
    IAVantVirtualPetitionJSON datosPeticion;
    std::string so;
};

}  // namespace vanto
