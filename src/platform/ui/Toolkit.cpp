#include "vanto/platform/ui/Toolkit.h"

#include <mutex>

namespace vanto::platform::ui {
namespace {

struct Slot {
    std::mutex mutex;
    std::shared_ptr<Toolkit> chosen;
};

Slot& slot() {
    static auto* const instance = new Slot();  // never destroyed, like the other slots
    return *instance;
}

}  // namespace

std::shared_ptr<Toolkit> toolkit() {
    auto& state = slot();
    const std::lock_guard lock(state.mutex);
    return state.chosen;
}

void setToolkit(std::shared_ptr<Toolkit> toolkit) {
    auto& state = slot();
    const std::lock_guard lock(state.mutex);
    state.chosen = std::move(toolkit);
}

}  // namespace vanto::platform::ui
