#include "vanto/transport/Manager.h"

#include <condition_variable>
#include <mutex>

#include "platform/Lifetime.h"
#include "platform/StatePart.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/platform/SecureWipe.h"
#include "vanto/transport/Session.h"
#include "vanto/transport/Trace.h"
#include "vanto/transport/TraceSink.h"

namespace vanto {
namespace {

// Calls sent and not yet delivered (or dropped), across every manager of the process.
struct CallsInFlight : internal::StatePart {
    std::mutex mutex;
    std::condition_variable none;
    std::size_t count = 0;
};

CallsInFlight& callsInFlightState() {
    return internal::processPart<CallsInFlight>();
}

// Counts one call as in flight for as long as it lives: it travels with the call's closures and
// goes away with the last of them, once the outcome has been delivered or dropped.
class CallInFlight {
  public:
    CallInFlight() {
        auto& state = callsInFlightState();
        const std::lock_guard lock(state.mutex);
        ++state.count;
    }
    ~CallInFlight() {
        auto& state = callsInFlightState();
        const std::lock_guard lock(state.mutex);
        --state.count;
        state.none.notify_all();
    }
    CallInFlight(const CallInFlight&) = delete;
    CallInFlight& operator=(const CallInFlight&) = delete;
};

// Hands `deliver` to `queue`. The delivery runs whole or not at all: once the process has begun
// to end it is dropped. The description's body is wiped either way.
void handOver(const CallbackQueue& queue, std::function<void()> deliver,
              std::shared_ptr<RequestService> request, std::shared_ptr<CallInFlight> call) {
    queue.execute(
        [deliver = std::move(deliver), request = std::move(request), call = std::move(call)] {
            platform::lifetime::runUnlessEnding(deliver);
            request->wipeBody();
        });
}

// What a failed call without a reply leaves in the traces: which failure it was (a refused
// certificate reads otherwise than a time-out) and whether the request had left.
void traceFailure(const platform::PlatformError& error) {
    std::string block = "====== NO RESPONSE ======\nERROR: ";
    block += error.localizedDescription;
    if (!error.detail.empty()) {
        block += " (" + error.detail + ")";
    }
    block += error.requestSent ? "\nREQUEST SENT: yes" : "\nREQUEST SENT: no";
    writeTrace(block);
}

}  // namespace

std::size_t Manager::callsInFlight() {
    auto& state = callsInFlightState();
    const std::lock_guard lock(state.mutex);
    return state.count;
}

bool Manager::waitForCallsInFlight(std::chrono::milliseconds bound) {
    // Outcomes bound for the built-in main queue arrive only while it is pumped.
    return platform::MainQueue::runUntil([] { return callsInFlight() == 0; }, bound);
}

std::shared_ptr<Manager> Manager::create(platform::URLSessionConfiguration configuration,
                                         CallbackQueue callbackQueue) {
    return std::shared_ptr<Manager>(
        new Manager(std::move(configuration), std::move(callbackQueue)));
}

Manager::Manager(platform::URLSessionConfiguration configuration, CallbackQueue callbackQueue)
    : session_(std::make_unique<platform::URLSession>(std::move(configuration))),
      queue_(std::move(callbackQueue)) {}

Manager::~Manager() = default;

void Manager::sendDescription(std::shared_ptr<RequestService> request, CallbackQueue queue,
                              Decoder decode, std::function<void(SDKError)> failure,
                              FailureArrived failed) {
    auto call = std::make_shared<CallInFlight>();
    // A failure is seen where it arrived, then handed over as the others are.
    const auto fail = [failed, failure](SDKError error) -> std::function<void()> {
        if (failed) {
            failed(error);
        }
        return [failure, error = std::move(error)] { failure(error); };
    };
    auto built = request->build();
    if (!built) {
        handOver(queue, fail(SDKError::requestError(built.error())), request, std::move(call));
        return;
    }
    auto& urlRequest = built.value();
    showLog(urlRequest);
    if (!session_) {
        // Every call ends in one outcome, also one that could not be sent.
        handOver(queue, fail(SDKError::internalError()), request, std::move(call));
        return;
    }
    // The handler keeps the manager, the description and the callbacks until the outcome is out.
    auto handler = [self = shared_from_this(), request, queue, decode = std::move(decode), fail,
                    call = std::move(call)](std::optional<std::string> data,
                                            std::optional<platform::HTTPURLResponse> response,
                                            std::optional<platform::PlatformError> error) {
        std::function<void()> deliver;
        if (!response) {
            if (error) {
                traceFailure(*error);
            }
            deliver = fail(SDKError::nonURLResponse(std::nullopt, error));
        } else if (error) {
            showLog(*response, data);
            deliver = fail(SDKError::connectionError(*error));
        } else if (!data) {
            deliver = fail(SDKError::nonURLResponse(*response));
        } else {
            showLog(*response, data);
            // Cookies are taken in before the status is looked at, whatever it is.
            self->updateCookies(*response);
            const int status = response->statusCode;
            if (acceptsStatus(status)) {
                deliver = decode(*data);
            } else {
                deliver = fail(SDKError::wrongStatusCode(status));
            }
        }
        if (data) {
            platform::secureWipe(*data);
        }
        handOver(queue, std::move(deliver), request, call);
    };
    session_->dataTask(std::move(urlRequest), std::move(handler))->resume();
}

void Manager::updateCookies(const platform::HTTPURLResponse& response) {
    if (response.url.empty()) {
        return;
    }
    platform::HTTPCookieStorage* storage = session_->configuration().httpCookieStorage;
    if (storage == nullptr) {
        return;
    }
    Session::shared().updateCookies(storage->cookiesForURL(response.url));
}

}  // namespace vanto
