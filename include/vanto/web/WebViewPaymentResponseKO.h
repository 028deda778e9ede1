#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// What the merchant application receives when a web payment does not succeed: a refused
/// payment, a signature-service error, a transport failure, an unreadable result or an invalid
/// amount. `code` is the gateway's code or one of the library's own; `desc` explains it.
struct VANTO_EXPORT WebViewPaymentResponseKO {
    WebViewPaymentResponseKO(std::int64_t code, std::string desc);

    /// Decodes a JSON object with both keys: "code" a JSON number with a whole value in the
    /// signed 64-bit range, "desc" a string. Anything else gives nullopt; unknown keys are
    /// ignored.
    static std::optional<WebViewPaymentResponseKO> fromJSON(std::string_view json);

    /// Compact JSON of "code" and "desc", card data in `desc` masked as in the traces (a
    /// gateway's text may quote the request). Returns the empty text when `desc` is not
    /// well-formed UTF-8.
    std::string toJSON() const;

    friend bool operator==(const WebViewPaymentResponseKO&,
                           const WebViewPaymentResponseKO&) = default;

    std::int64_t code;
    std::string desc;
};

}  // namespace vanto
