#pragma once
// Roads to the signature service for the payment page's tests of both Qt bindings: each wraps
// the real one and changes what comes back on the way.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "vanto/config/Constants.h"
#include "vanto/web/WebViewPaymentRequest.h"

namespace vanto::testing {

/// The user agent the payment page's request carries.
inline constexpr std::string_view kPageUserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.22 (KHTML, like Gecko) "
    "Chrome/25.0.1364.97 Safari/537.22";

// The road to the signature service, which moves the gateway's host to `authority` just before
// the presenter reads its answer: the payment page is then asked from there.
class MovingRoad final : public WebViewPaymentService {
  public:
    MovingRoad(std::shared_ptr<WebViewPaymentService> road, std::string authority)
        : road_(std::move(road)), authority_(std::move(authority)) {}
    void send(std::shared_ptr<WebViewPaymentRequest> request, Success success,
              Failure failure) override {
        road_->send(
            std::move(request),
            [success = std::move(success),
             authority = authority_](std::optional<WebViewPaymentResponse> answer) {
                Constants::setGatewayHost(EnviromentType::test, authority);
                success(std::move(answer));
            },
            std::move(failure));
    }

  private:
    std::shared_ptr<WebViewPaymentService> road_;
    std::string authority_;
};

// The road to the signature service, with the signature it brings back altered on the way.
class TamperingRoad final : public WebViewPaymentService {
  public:
    explicit TamperingRoad(std::shared_ptr<WebViewPaymentService> road) : road_(std::move(road)) {}
    void send(std::shared_ptr<WebViewPaymentRequest> request, Success success,
              Failure failure) override {
        road_->send(
            std::move(request),
            [success = std::move(success)](std::optional<WebViewPaymentResponse> answer) {
                if (answer && answer->datosPeticion) {
                    auto& signature = answer->datosPeticion->Ds_Signature;
                    signature.front() = signature.front() == 'A' ? 'B' : 'A';
                }
                success(std::move(answer));
            },
            std::move(failure));
    }

  private:
    std::shared_ptr<WebViewPaymentService> road_;
};

}  // namespace vanto::testing
