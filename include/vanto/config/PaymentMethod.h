#pragma once

#include <optional>
#include <string>

#include "vanto/Export.h"

namespace vanto {

/// The payment methods the gateway's payment page offers; the gateway receives the letter.
enum class PaymentMethod : int {
    methodT = 0,
    methodR = 1,
    methodD = 2,
    methodP = 3,
    methodO = 4,
    methodZ = 5,
};

/// The case for a raw value of the table, or none for any other integer.
VANTO_EXPORT std::optional<PaymentMethod> paymentMethodFromRawValue(int rawValue);

/// The letter sent to the gateway: "T", "R", "D", "P", "O", or "z" (lower case) for methodZ;
/// "" for a value outside the table.
VANTO_EXPORT std::string getValue(PaymentMethod method);

}  // namespace vanto
