#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "vanto/transport/Manager.h"
#include "vanto/transport/Result.h"
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
    using Arrived = std::function<void(const Result<Answer>&)>;

    virtual ~GatewayService() = default;

    /// Sends `request`; `success` or `failure` runs once, later, on the main queue.
    virtual void send(std::shared_ptr<Request> request, Success success, Failure failure) = 0;

    /// Sends `request` as send() does, and hands the outcome to `arrived` first, as soon as it is
    /// known, before `success` or `failure` is handed to the main queue: what `arrived` does is
    /// done even if the outcome is never delivered. The payment journal records the gateway's
    /// answer this way. A road without a thread of its own tells `arrived` on the main queue, just
    /// before the callback, which is what this default does.
    virtual void sendNotingArrival(std::shared_ptr<Request> request, Arrived arrived,
                                   Success success, Failure failure) {
        send(
            std::move(request),
            [arrived, success = std::move(success)](std::optional<Answer> answer) {
                arrived(Result<Answer>::success(answer));
                success(std::move(answer));
            },
            [arrived, failure = std::move(failure)](SDKError error) {
                arrived(Result<Answer>::error(error));
                failure(std::move(error));
            });
    }
};

/// Sends each request through a new Manager with the default session configuration and the main
/// queue, as every payment does.
template <typename Request>
class ManagerGatewayService final : public GatewayService<Request> {
  public:
    using typename GatewayService<Request>::Success;
    using typename GatewayService<Request>::Failure;
    using typename GatewayService<Request>::Arrived;

    void send(std::shared_ptr<Request> request, Success success, Failure failure) override {
        Manager::create()->send(std::move(request), std::nullopt, std::move(success),
                                std::move(failure));
    }

    /// `arrived` runs on the transport's thread, before the hand-over to the main queue.
    void sendNotingArrival(std::shared_ptr<Request> request, Arrived arrived, Success success,
                           Failure failure) override {
        Manager::create()->send(std::move(request), std::nullopt, std::move(success),
                                std::move(failure), std::move(arrived));
    }
};

}  // namespace vanto
