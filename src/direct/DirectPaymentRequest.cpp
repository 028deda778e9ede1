#include "vanto/direct/DirectPaymentRequest.h"

#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"

namespace vanto {

std::string DirectPaymentRequest::baseURL() const {
    return Constants::getURLDirectPayment(VantoConfiguration::shared().appEnviroment());
}

}  // namespace vanto
