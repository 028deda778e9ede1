#pragma once

#include <string>

#include "vanto/Export.h"
#include "vanto/encoding/parametrosPeticionDTO.h"

namespace vanto {

class JsonWriter;

/// The web-payment signature request message: client identification around the parameters.
struct VANTO_EXPORT pedirURLDTO {
    pedirURLDTO(std::string bundle, std::string fuc, std::string so, std::string terminal,
                std::string version, parametrosPeticionDTO parametros);

    /// Writes the message as a JSON object, the parameters nested as an object.
    void writeJson(JsonWriter& writer) const;

    std::string bundle;
    std::string fuc;
    std::string so;
    std::string terminal;
    std::string version;
    parametrosPeticionDTO parametros;
};

}  // namespace vanto
