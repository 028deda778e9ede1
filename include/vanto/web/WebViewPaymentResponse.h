#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/web/Parameters.h"
#include "vanto/web/datosPeticion.h"

namespace vanto {

/// The signature service's answer, as carried in the "mensaje" text of the reply envelope.
/// `code` 0 means the service signed the payment-page parameters, found in `datosPeticion`; any
/// other code is the service's error, `desc` its text. The library does not read `parameters`.
struct VANTO_EXPORT WebViewPaymentResponse {
    // The member `datosPeticion` hides the type of the same name inside this struct, so the type
    // is named with its namespace here.
    WebViewPaymentResponse(std::optional<vanto::datosPeticion> datosPeticion, std::int64_t code,
                           std::string desc, std::optional<Parameters> parameters);

    /// Decodes a JSON object. "code" must be a JSON number with a whole value in the signed
    /// 64-bit range and "desc" a string; "datosPeticion" and "parameters" may each be absent or
    /// null, otherwise they must be objects decoded as datosPeticion and Parameters. Any other
    /// shape gives nullopt; unknown keys are ignored at every level.
    static std::optional<WebViewPaymentResponse> fromJSON(std::string_view json);

    /// Compact JSON in declaration order, the nested records written as objects and absent
    /// values left out. Returns the empty text when a text is not well-formed UTF-8. This is the
    /// answer as the gateway writes it, card data as they are: pass it through maskCardData()
    /// before printing it.
    std::string toJSON() const;

    friend bool operator==(const WebViewPaymentResponse&, const WebViewPaymentResponse&) = default;

    std::optional<vanto::datosPeticion> datosPeticion;
    std::int64_t code;
    std::string desc;
    std::optional<Parameters> parameters;
};

}  // namespace vanto
