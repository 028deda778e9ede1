#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// The three signed values that the gateway's payment page must receive, as the signature service
/// returns them under "datosPeticion". All three are required texts.
struct VANTO_EXPORT datosPeticion {
    datosPeticion(std::string Ds_Signature, std::string Ds_MerchantParameters,
                  std::string Ds_SignatureVersion);

    /// Decodes a JSON object in which each of the three keys is present and a string. Anything
    /// else (a missing key, null, another type, malformed JSON, a top level that is not an
    /// object) gives nullopt. Unknown keys are ignored.
    static std::optional<datosPeticion> fromJSON(std::string_view json);

    /// Compact JSON of the three members in declaration order. Returns the empty text when a
    /// value is not well-formed UTF-8.
    std::string toJSON() const;

    friend bool operator==(const datosPeticion&, const datosPeticion&) = default;

    /// The signature of the merchant parameters.
    std::string Ds_Signature;
    /// The merchant parameters: Base64 text of a JSON object.
    std::string Ds_MerchantParameters;
    /// The name of the signature scheme.
    std::string Ds_SignatureVersion;
};

}  // namespace vanto
