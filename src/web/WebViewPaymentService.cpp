#include "vanto/web/WebViewPaymentRequest.h"

#include "transport/ServiceSlot.h"

namespace vanto {
namespace {

ServiceSlot<WebViewPaymentRequest>& slot() {
    return ServiceSlot<WebViewPaymentRequest>::shared();
}

}  // namespace

std::shared_ptr<WebViewPaymentService> webViewPaymentService() {
    return slot().current();
}

void setWebViewPaymentService(std::shared_ptr<WebViewPaymentService> service) {
    slot().choose(std::move(service));
}

}  // namespace vanto
