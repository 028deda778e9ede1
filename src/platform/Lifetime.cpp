#include "platform/Lifetime.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "platform/StatePart.h"

namespace vanto::platform::lifetime {
namespace {

// How long the end of the process waits for work that has begun: enough for a cut-short transfer
// to unwind and for a callback that only records an outcome, short enough that a callback stuck
// on something the ending thread holds cannot hang the process.
constexpr std::chrono::seconds kLongestWaitAtExit{2};

struct Gate : internal::StatePart {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
    std::atomic<bool> ending{false};
};

Gate& gate() {
    return internal::processPart<Gate>();
}

// Work running on this thread: the thread that ends the process may be inside some (a callback
// that calls exit()), and must not wait for itself.
thread_local int runningHere = 0;

void stopAtExit() {
    auto& state = gate();
    std::unique_lock lock(state.mutex);
    state.ending = true;
    state.idle.wait_for(lock, kLongestWaitAtExit, [&] { return state.running - runningHere <= 0; });
}

}  // namespace

bool runUnlessEnding(const std::function<void()>& work) {
    auto& state = gate();
    {
        const std::lock_guard lock(state.mutex);
        if (state.ending) {
            return false;
        }
        ++state.running;
    }
    ++runningHere;
    struct Leave {
        Gate& state;
        ~Leave() {
            --runningHere;
            const std::lock_guard lock(state.mutex);
            --state.running;
            state.idle.notify_all();
        }
    } leave{state};
    work();
    return true;
}

bool ending() {
    return gate().ending.load(std::memory_order_relaxed);
}

void watchProcessEnd() {
    static const bool watching = [] {
        gate();
        return std::atexit(&stopAtExit) == 0;
    }();
    (void)watching;
}

}  // namespace vanto::platform::lifetime
