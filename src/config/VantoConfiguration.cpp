#include "vanto/config/VantoConfiguration.h"

#include "platform/StatePart.h"

namespace vanto {

VantoConfiguration::VantoConfiguration() = default;

namespace {

struct SharedConfiguration : internal::StatePart {
    VantoConfiguration configuration;
    void reset() override { configuration = VantoConfiguration(); }
};

}  // namespace

VantoConfiguration& VantoConfiguration::shared() {
    return internal::processPart<SharedConfiguration>().configuration;
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
