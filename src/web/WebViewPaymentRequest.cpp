#include "vanto/web/WebViewPaymentRequest.h"

#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"

namespace vanto {

std::string WebViewPaymentRequest::baseURL() const {
    return Constants::getURLParameters(VantoConfiguration::shared().appEnviroment());
}

}  // namespace vanto
