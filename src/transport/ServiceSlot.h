#pragma once

#include <memory>
#include <mutex>

#include "platform/StatePart.h"
#include "vanto/transport/Manager.h"

namespace vanto {

// The replaceable road of one kind of request: the one an application or a test chose, else the
// library's own. Each flow keeps one in the process-wide state.
template <typename Request>
class ServiceSlot : public internal::StatePart {
  public:
    static ServiceSlot& shared() { return internal::processPart<ServiceSlot>(); }

    std::shared_ptr<GatewayService<Request>> current() {
        const std::lock_guard lock(mutex_);
        if (chosen_) {
            return chosen_;
        }
        return std::make_shared<ManagerGatewayService<Request>>();
    }

    void choose(std::shared_ptr<GatewayService<Request>> service) {
        const std::lock_guard lock(mutex_);
        chosen_ = std::move(service);
    }

    void reset() override { choose(nullptr); }

  private:
    std::mutex mutex_;
    std::shared_ptr<GatewayService<Request>> chosen_;
};

}  // namespace vanto
