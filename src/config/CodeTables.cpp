#include "vanto/config/CodeTables.h"

namespace vanto {

std::optional<EnviromentType> enviromentTypeFromRawValue(int rawValue) {
    switch (rawValue) {
        case 0:
            return EnviromentType::test;
        case 1:
            return EnviromentType::integration;
        case 2:
            return EnviromentType::real;
        default:
            return std::nullopt;
    }
}

std::string getEnviromentType(EnviromentType type) {
    switch (type) {
        case EnviromentType::test:
            return "Test";
        case EnviromentType::integration:
            return "Integration";
        case EnviromentType::real:
            return "Real";
    }
    return "";
}

std::optional<PaymentMethod> paymentMethodFromRawValue(int rawValue) {
    if (rawValue < 0 || rawValue > 5) {
        return std::nullopt;
    }
    return static_cast<PaymentMethod>(rawValue);
}

std::string getValue(PaymentMethod method) {
    switch (method) {
        case PaymentMethod::methodT:
            return "T";
        case PaymentMethod::methodR:
            return "R";
        case PaymentMethod::methodD:
            return "D";
        case PaymentMethod::methodP:
            return "P";
        case PaymentMethod::methodO:
            return "O";
        case PaymentMethod::methodZ:
            return "z";
    }
    return "";
}

std::optional<TransactionType> transactionTypeFromRawValue(int rawValue) {
    if (rawValue < 0 || rawValue > 3) {
        return std::nullopt;
    }
    return static_cast<TransactionType>(rawValue);
}

std::string getTransctionType(TransactionType type) {
    switch (type) {
        case TransactionType::traditional:
            return "traditional";
        case TransactionType::normal:
            return "normal";
        case TransactionType::preauthorization:
            return "preauthorization";
        case TransactionType::authentication:
            return "PAYMENT_TYPE_AUTHENTICATION";
    }
    return "";
}

std::string transactionTypeCode(TransactionType type) {
    switch (type) {
        case TransactionType::traditional:
            return "A";
        case TransactionType::normal:
            return "0";
        case TransactionType::preauthorization:
            return "1";
        case TransactionType::authentication:
            return "7";
    }
    return "";
}

}  // namespace vanto
