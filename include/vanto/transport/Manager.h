#pragma once

#include <chrono>
#include <concepts>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include "vanto/Export.h"
#include "vanto/platform/URLRequest.h"
#include "vanto/platform/URLSession.h"
#include "vanto/transport/RequestService.h"
#include "vanto/transport/SDKError.h"

namespace vanto {

// The library's own queues; the transport delivers onto one that a caller hands it.
namespace platform {
class DispatchQueue;
class OperationQueue;
}  // namespace platform

/// Where the transport delivers an outcome.
class VANTO_EXPORT CallbackQueue {
  public:
    enum class Kind { operationQueue, dispatchQueue, main, current };

    /// Adds the closure to an operation queue.
    static CallbackQueue operationQueue(std::shared_ptr<platform::OperationQueue> queue);
    /// Submits the closure to a serial dispatch queue.
    static CallbackQueue dispatchQueue(std::shared_ptr<platform::DispatchQueue> queue);
    /// Submits the closure to the library's main queue (platform::MainQueue).
    static CallbackQueue main();
    /// Runs the closure at once, on the calling thread.
    static CallbackQueue current();

    Kind kind() const { return kind_; }
    /// Runs `closure` as the kind says; all but `current` return at once.
    void execute(std::function<void()> closure) const;

  private:
    CallbackQueue(Kind kind, std::shared_ptr<platform::OperationQueue> operations,
                  std::shared_ptr<platform::DispatchQueue> dispatch);

    Kind kind_;
    std::shared_ptr<platform::OperationQueue> operations_;
    std::shared_ptr<platform::DispatchQueue> dispatch_;
};

/// A request description with a decodable answer record.
template <typename T>
concept RequestDescription = std::derived_from<T, RequestService> && requires(const T& request) {
    typename T::Response;
    { request.result(std::string_view()) } -> std::same_as<Result<typename T::Response>>;
};

/// Sends request descriptions to the gateway over its own URL session and delivers each outcome,
/// exactly once, as an answer record or an SDKError on the chosen callback queue.
///
/// The session's delegate queue (a thread of its own) makes the transfer, prints the reply trace,
/// takes in the reply's cookies and decodes the reply; only the callback runs on the callback
/// queue. TLS verification is never relaxed: a server that fails it gets no request body, and the
/// call fails with nonURLResponse.
class VANTO_EXPORT Manager : public std::enable_shared_from_this<Manager> {
  public:
    static std::shared_ptr<Manager> create(
        platform::URLSessionConfiguration configuration =
            platform::URLSessionConfiguration::defaultSessionConfiguration(),
        CallbackQueue callbackQueue = CallbackQueue::main());
    ~Manager();
    Manager(const Manager&) = delete;

    Manager& operator=(const Manager&) = delete;

    /// Whether a reply with this HTTP status is decoded: 200 to 299. Any other status fails the
    /// call with wrongStatusCode.
    static bool acceptsStatus(int status) { return status >= 200 && status < 300; }

    /// Calls sent by any manager whose outcome has not yet been delivered (or dropped).
    static std::size_t callsInFlight();
    /// Waits, at most `bound`, until every call in flight has delivered its outcome, pumping the
    /// built-in main queue meanwhile; returns whether none is left. An application calls it on its
    /// main thread before it ends, so that no payment's outcome is lost: once main() has returned
    /// or exit() was called, outcomes that have not started to be delivered are dropped. With a UI
    /// event loop as the main queue, call it where that loop keeps running.
    static bool waitForCallsInFlight(std::chrono::milliseconds bound);

    /// Sends `request`. `success` receives the decoded answer, `failure` the error; one of them
    /// runs once, on `callbackQueue` or else the manager's queue. The manager, the description and
    /// the callbacks are kept alive until then; afterwards the description's body is wiped.
    ///
    /// `arrived`, when given, sees the same outcome first, on the thread where it arrived (the
    /// session's delegate queue; the calling thread when the request could not be built), before
    /// the callback is handed to its queue: what it does is done even if the outcome is never
    /// delivered, because the process began to end.
    template <RequestDescription T>
    void send(std::shared_ptr<T> request, std::optional<CallbackQueue> callbackQueue,
              std::function<void(std::optional<typename T::Response>)> success,
              std::function<void(SDKError)> failure,
              std::function<void(const Result<typename T::Response>&)> arrived = nullptr) {
        Decoder decode = [request, success, failure,
                          arrived](const std::string& data) -> std::function<void()> {
            auto result = request->result(data);
            if (arrived) {
                arrived(result);
            }
            if (result.isSuccess()) {
                return [success, value = result.value()] { success(value); };
            }
            return [failure, error = result.error()] { failure(error); };
        };
        FailureArrived failed;
        if (arrived) {
            failed = [arrived](const SDKError& error) {
                arrived(Result<typename T::Response>::error(error));
            };
        }
        sendDescription(std::move(request), callbackQueue.value_or(queue_), std::move(decode),
                        std::move(failure), std::move(failed));
    }

  private:
    // Decodes a reply body and returns the delivery of the outcome, to run on the callback queue.
    using Decoder = std::function<std::function<void()>(const std::string& data)>;
    // Sees a failure where it arrived, before it is handed over.
    using FailureArrived = std::function<void(const SDKError& error)>;

    Manager(platform::URLSessionConfiguration configuration, CallbackQueue callbackQueue);
    void sendDescription(std::shared_ptr<RequestService> request, CallbackQueue queue,
                         Decoder decode, std::function<void(SDKError)> failure,
                         FailureArrived failed);
    void updateCookies(const platform::HTTPURLResponse& response);

    std::unique_ptr<platform::URLSession> session_;
    CallbackQueue queue_;
};

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
