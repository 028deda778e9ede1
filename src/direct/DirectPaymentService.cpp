#include "vanto/direct/DirectPaymentRequest.h"

#include "transport/ServiceSlot.h"

namespace vanto {
namespace {

ServiceSlot<DirectPaymentRequest>& slot() {
    return ServiceSlot<DirectPaymentRequest>::shared();
}

}  // namespace

std::shared_ptr<DirectPaymentService> directPaymentService() {
    return slot().current();
}

void setDirectPaymentService(std::shared_ptr<DirectPaymentService> service) {
    slot().choose(std::move(service));
}

}  // namespace vanto
