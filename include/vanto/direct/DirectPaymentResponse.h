#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/direct/DatosRespuesta.h"

namespace vanto {

/// The gateway's answer to a direct payment, as carried in the "mensaje" text of the reply
/// envelope. `code` 0 means the gateway processed the payment and `datosRespuesta` holds its
/// details; any other code is the gateway's error, `desc` its text.
struct VANTO_EXPORT DirectPaymentResponse {
    DirectPaymentResponse(std::optional<DatosRespuesta> datosRespuesta, std::int64_t code,
                          std::string desc);

    /// Decodes a JSON object. "code" must be a JSON number with a whole value in the signed
    /// 64-bit range and "desc" a string; "datosRespuesta" may be absent or null, otherwise it
    /// must be an object decoded as DatosRespuesta. Any other shape gives nullopt; unknown keys
    /// are ignored at every level.
    static std::optional<DirectPaymentResponse> fromJSON(std::string_view json);

    /// Compact JSON in declaration order, "datosRespuesta" nested as an object and left out with
    /// its absent fields when absent. Returns the empty text when a text is not well-formed UTF-8.
    /// This is the answer as the gateway writes it, card data as they are: pass it through
    /// maskCardData() before printing it.
    std::string toJSON() const;

    friend bool operator==(const DirectPaymentResponse&, const DirectPaymentResponse&) = default;

    std::optional<DatosRespuesta> datosRespuesta;
    std::int64_t code;
    std::string desc;
};

}  // namespace vanto
