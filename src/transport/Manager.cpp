#include "vanto/transport/Manager.h"

#include "vanto/platform/SecureWipe.h"
#include "vanto/transport/Session.h"
#include "vanto/transport/Trace.h"

namespace vanto {

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
                              Decoder decode, std::function<void(SDKError)> failure) {
    auto built = request->build();
    if (auto* error = std::get_if<platform::PlatformError>(&built)) {
        queue.execute([failure, request, error = *error] {
            failure(SDKError::requestError(error));
            request->wipeBody();
        });
        return;
    }
    auto& urlRequest = std::get<platform::URLRequest>(built);
    showLog(urlRequest);
    if (!session_) {
        return;
    }
    // The handler keeps the manager, the description and the callbacks until the outcome is out.
    auto handler = [self = shared_from_this(), request, queue, decode = std::move(decode), failure](
                       std::optional<std::string> data,
                       std::optional<platform::HTTPURLResponse> response,
                       std::optional<platform::PlatformError> error) {
        std::function<void()> deliver;
        if (!response) {
            deliver = [failure] { failure(SDKError::nonURLResponse(std::nullopt)); };
        } else if (error) {
            showLog(*response, data);
            deliver = [failure, error = *error] { failure(SDKError::connectionError(error)); };
        } else if (!data) {
            deliver = [failure, response = *response] {
                failure(SDKError::nonURLResponse(response));
            };
        } else {
            showLog(*response, data);
            // Cookies are taken in before the status is looked at, whatever it is.
            self->updateCookies(*response);
            const int status = response->statusCode;
            if (acceptsStatus(status)) {
                deliver = decode(*data);
            } else {
                deliver = [failure, status] { failure(SDKError::wrongStatusCode(status)); };
            }
        }
        if (data) {
            platform::secureWipe(*data);
        }
        queue.execute([deliver = std::move(deliver), request] {
            deliver();
            request->wipeBody();
        });
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
