#include "vanto/web/WebViewPaymentService.h"

#include "transport/ServiceSlot.h"

namespace vanto {
namespace {

ServiceSlot<WebViewPaymentRequest>& slot() {
    static auto* const instance = new ServiceSlot<WebViewPaymentRequest>();  // never destroyed
    return *instance;
}

}  // namespace

std::shared_ptr<WebViewPaymentService> webViewPaymentService() {
    return slot().current();
}

void setWebViewPaymentService(std::shared_ptr<WebViewPaymentService> service) {
    slot().choose(std::move(service));
}

}  // namespace vanto
