#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "vanto/transport/Manager.h"
#include "vanto/transport/SDKError.h"

namespace vanto {

/// The road of one request description to the gateway, as a payment flow sees it: send it, and
/// receive exactly one outcome, the decoded answer or an error, on the main queue.
///
/// The library's own road is ManagerGatewayService (a new Manager with its defaults for every
/// call). The flows take theirs from a replaceable slot (setDirectPaymentService,
/// setWebViewPaymentService), so that tests, and applications with needs of their own, can put
/// another in its place.
template <typename Request>
class GatewayService {
  public:
    using Answer = typename Request::Response;
    using Success = std::function<void(std::optional<Answer>)>;
    using Failure = std::function<void(SDKError)>;

    virtual ~GatewayService() = default;

    /// Sends `request`; `success` or `failure` runs once, later, on the main queue.
    virtual void send(std::shared_ptr<Request> request, Success success, Failure failure) = 0;
};

/// Sends each request through a new Manager with the default session configuration and the main
/// queue, as every payment does.
template <typename Request>
class ManagerGatewayService final : public GatewayService<Request> {
  public:
    using typename GatewayService<Request>::Success;
    using typename GatewayService<Request>::Failure;

    void send(std::shared_ptr<Request> request, Success success, Failure failure) override {
        Manager::create()->send(std::move(request), std::nullopt, std::move(success),
                                std::move(failure));
    }
};

}  // namespace vanto
