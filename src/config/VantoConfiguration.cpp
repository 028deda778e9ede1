#include "vanto/config/VantoConfiguration.h"

namespace vanto {

VantoConfiguration::VantoConfiguration() = default;

VantoConfiguration& VantoConfiguration::shared() {
    // Initialised exactly once, also under concurrent first use, and never destroyed, like every
    // process-wide object of the library.
    static VantoConfiguration* const instance = new VantoConfiguration();
    return *instance;
}

bool VantoConfiguration::setAppEnviroment(EnviromentType value) {
    return setAppEnviroment(static_cast<int>(value));
}

bool VantoConfiguration::setAppEnviroment(int rawValue) {
    const auto value = enviromentTypeFromRawValue(rawValue);
    if (!value) {
        return false;
    }
    appEnviroment_ = *value;
    return true;
}

bool VantoConfiguration::setAppMerchantPayMethods(PaymentMethod value) {
    return setAppMerchantPayMethods(static_cast<int>(value));
}

bool VantoConfiguration::setAppMerchantPayMethods(int rawValue) {
    const auto value = paymentMethodFromRawValue(rawValue);
    if (!value) {
        return false;
    }
    appMerchantPayMethods_ = *value;
    return true;
}

const std::string& VantoConfiguration::REQUEST_REFERENCE() const {
    static const std::string* const requestReference = new std::string("REQUIRED");
    return *requestReference;
}

}  // namespace vanto
