#pragma once

#include <optional>
#include <string>

#include "vanto/Export.h"

namespace vanto {

/// The gateway environment every service is addressed in.
enum class EnviromentType : int {
    test = 0,
    integration = 1,
    real = 2,
};

/// The case for a raw value of the table, or none for any other integer.
VANTO_EXPORT std::optional<EnviromentType> enviromentTypeFromRawValue(int rawValue);

/// "Test", "Integration" or "Real"; "" for a value outside the table.
VANTO_EXPORT std::string getEnviromentType(EnviromentType type);

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

/// The kind of operation a payment is.
enum class TransactionType : int {
    traditional = 0,
    normal = 1,
    preauthorization = 2,
    authentication = 3,
};

/// The case for a raw value of the table, or none for any other integer.
VANTO_EXPORT std::optional<TransactionType> transactionTypeFromRawValue(int rawValue);

/// The descriptive text of the type; it is never sent to the gateway. "" for a value outside the
/// table.
VANTO_EXPORT std::string getTransctionType(TransactionType type);

/// The code that goes on the wire for the type: "A", "0", "1" or "7". A value outside the table
/// (cast from an unknown raw value) gives "", which is no code at all: a caller that builds a
/// payment refuses such a type before it gets here.
VANTO_EXPORT std::string transactionTypeCode(TransactionType type);

}  // namespace vanto
