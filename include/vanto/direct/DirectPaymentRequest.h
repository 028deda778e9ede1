#pragma once

#include <memory>
#include <string>

#include "vanto/Export.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/transport/Manager.h"
#include "vanto/transport/RequestService.h"

namespace vanto {

/// A call to the gateway's direct-payment service.
class VANTO_EXPORT DirectPaymentRequest : public EnvelopeRequest<DirectPaymentResponse> {
  public:
    using EnvelopeRequest::EnvelopeRequest;

    /// The service's address in the environment configured when the request is built.
    std::string baseURL() const override;
};

/// The road of a direct payment to the gateway's direct-payment service.
using DirectPaymentService = GatewayService<DirectPaymentRequest>;

/// The road that direct-payment presenters made from now on take: the one set with
/// setDirectPaymentService(), else the library's own (a new Manager for every payment).
VANTO_EXPORT std::shared_ptr<DirectPaymentService> directPaymentService();

/// Puts `service` in place of the library's own road, for every presenter made afterwards; null
/// puts the library's own back. For tests and for applications that route payments themselves.
VANTO_EXPORT void setDirectPaymentService(std::shared_ptr<DirectPaymentService> service);

}  // namespace vanto
