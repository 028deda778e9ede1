#pragma once

#include <memory>

#include "vanto/Export.h"
#include "vanto/transport/GatewayService.h"
#include "vanto/web/WebViewPaymentRequest.h"

namespace vanto {

/// The road of a web payment's request to the gateway's signature service.
using WebViewPaymentService = GatewayService<WebViewPaymentRequest>;

/// The road that web-payment presenters made from now on take: the one set with
/// setWebViewPaymentService(), else the library's own (a new Manager for every payment).
VANTO_EXPORT std::shared_ptr<WebViewPaymentService> webViewPaymentService();

/// Puts `service` in place of the library's own road, for every presenter made afterwards; null
/// puts the library's own back.
VANTO_EXPORT void setWebViewPaymentService(std::shared_ptr<WebViewPaymentService> service);

}  // namespace vanto
