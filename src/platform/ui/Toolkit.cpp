#include "vanto/platform/ui/Toolkit.h"

#include <mutex>

#include "platform/StatePart.h"

namespace vanto::platform::ui {
namespace {

// Installed and removed by a UI binding, which outlives the settings' resets.
struct Slot : internal::StatePart {
    std::mutex mutex;
    std::shared_ptr<Toolkit> chosen;
};

Slot& slot() {
    return internal::processPart<Slot>();
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
