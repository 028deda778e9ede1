#pragma once

#include <string>

#include "vanto/Export.h"
#include "vanto/transport/EnvelopeRequest.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace vanto {

/// A call to the gateway's service that signs the payment page's parameters.
class VANTO_EXPORT WebViewPaymentRequest : public EnvelopeRequest<WebViewPaymentResponse> {
  public:
    using EnvelopeRequest::EnvelopeRequest;

    /// The service's address in the environment configured when the request is built.
    std::string baseURL() const override;
};

}  // namespace vanto
