#include "vanto/encoding/IAClientServiceSSM.h"

#include <mutex>

#include "platform/Bundle.h"
#include "platform/StatePart.h"
#include "vanto/Version.h"

namespace vanto {
namespace {

struct Identification : internal::StatePart {
    std::mutex mutex;
    std::optional<std::string> bundle;
    std::optional<std::string> version;

    void reset() override {
        const std::lock_guard lock(mutex);
        bundle.reset();
        version.reset();
    }
};

Identification& identification() {
    return internal::processPart<Identification>();
}

// Never destroyed: the name is read while the process ends too.
const std::string& programName() {
    static const std::string* const name = new std::string(platform::executableName());
    return *name;
}

}  // namespace

std::string IAClientServiceSSM::getVerSDK() {
    auto& state = identification();
    const std::lock_guard lock(state.mutex);
    return state.version.value_or(VANTO_VERSION);
}

std::string IAClientServiceSSM::getAppBundle() {
    auto& state = identification();
    {
        const std::lock_guard lock(state.mutex);
        if (state.bundle) {
            return *state.bundle;
        }
    }
    return programName();
}

std::string IAClientServiceSSM::getOperativeSystem() {
    return "ios";
}

void IAClientServiceSSM::setAppBundle(std::optional<std::string> bundle) {
    auto& state = identification();
    const std::lock_guard lock(state.mutex);
    state.bundle = std::move(bundle);
}

void IAClientServiceSSM::setVerSDK(std::optional<std::string> version) {
    auto& state = identification();
    const std::lock_guard lock(state.mutex);
    state.version = std::move(version);
}

}  // namespace vanto
