#pragma once

#include <cstdint>
#include <string>

#include "vanto/Export.h"

namespace vanto {

/// What the merchant application receives when a direct payment does not succeed: a refused
/// payment, a gateway error, a transport failure, a cancellation by the cardholder or an invalid
/// amount. `code` is the gateway's code or one of the library's own; `desc` explains it.
struct VANTO_EXPORT DirectPaymentResponseKO {
    DirectPaymentResponseKO(std::int64_t code, std::string desc);

    friend bool operator==(const DirectPaymentResponseKO&,
                           const DirectPaymentResponseKO&) = default;

    std::int64_t code;
    std::string desc;
};

}  // namespace vanto
