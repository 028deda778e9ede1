#pragma once

#include <memory>
#include <string>

#include "vanto/Export.h"
#include "vanto/transport/Manager.h"
#include "vanto/transport/RequestService.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace vanto {

/// A call to the gateway's service that signs the payment page's parameters.
class VANTO_EXPORT WebViewPaymentRequest : public EnvelopeRequest<WebViewPaymentResponse> {
  public:
    using EnvelopeRequest::EnvelopeRequest;

    /// The service's address in the environment configured when the request is built.
    std::string baseURL() const override;
};

/// The road of a web payment's request to the gateway's signature service.
using WebViewPaymentService = GatewayService<WebViewPaymentRequest>;

/// The road that web-payment presenters made from now on take: the one set with
/// setWebViewPaymentService(), else the library's own (a new Manager for every payment).
VANTO_EXPORT std::shared_ptr<WebViewPaymentService> webViewPaymentService();

/// Puts `service` in place of the library's own road, for every presenter made afterwards; null
/// puts the library's own back.
VANTO_EXPORT void setWebViewPaymentService(std::shared_ptr<WebViewPaymentService> service);

}  // namespace vanto
