#pragma once

#include <string>

#include "vanto/Export.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/transport/EnvelopeRequest.h"

namespace vanto {

/// A call to the gateway's direct-payment service.
class VANTO_EXPORT DirectPaymentRequest : public EnvelopeRequest<DirectPaymentResponse> {
  public:
    using EnvelopeRequest::EnvelopeRequest;

    /// The service's address in the environment configured when the request is built.
    std::string baseURL() const override;
};

}  // namespace vanto
