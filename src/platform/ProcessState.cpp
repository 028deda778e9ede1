#include "vanto/platform/ProcessState.h"

#include <mutex>
#include <utility>
#include <vector>

#include "platform/StatePart.h"

namespace vanto {
namespace internal {
namespace {

struct Owner {
    std::mutex mutex;
    // In the order of their creation, which reset() follows.
    std::vector<std::pair<std::type_index, std::unique_ptr<StatePart>>> parts;

    StatePart* find(std::type_index type) const {
        for (const auto& [kept, part] : parts) {
            if (kept == type) {
                return part.get();
            }
        }
        return nullptr;
    }
};

// The one process-wide object of the library that is never destroyed; it holds all the others.
Owner& owner() {
    static Owner* const instance = new Owner();
    return *instance;
}

}  // namespace

StatePart& statePart(std::type_index type, std::unique_ptr<StatePart> (*make)()) {
    auto& state = owner();
    {
        const std::lock_guard lock(state.mutex);
        if (auto* part = state.find(type)) {
            return *part;
        }
    }
    // Made outside the lock: a piece may use another while it is made. Of two made at once, the
    // first kept wins.
    auto made = make();
    const std::lock_guard lock(state.mutex);
    if (auto* part = state.find(type)) {
        return *part;
    }
    state.parts.emplace_back(type, std::move(made));
    return *state.parts.back().second;
}

}  // namespace internal

void ProcessState::reset() {
    auto& state = internal::owner();
    std::vector<internal::StatePart*> parts;
    {
        const std::lock_guard lock(state.mutex);
        for (const auto& [type, part] : state.parts) {
            parts.push_back(part.get());
        }
    }
    for (auto* part : parts) {
        part->reset();
    }
}

}  // namespace vanto
