#include "vanto/platform/MainQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/StatePart.h"

namespace vanto::platform {
namespace {

// The main queue's executor is installed by a UI binding, which outlives the settings' resets.
struct RunLoop : internal::StatePart {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> work;
    MainQueue::Executor executor;
    bool stopped = false;
};

RunLoop& loop() {
    return internal::processPart<RunLoop>();
}

// Takes the next closure, waiting until `deadline` at the most; empty when there is none, or,
// for run(), when the loop was stopped.
std::function<void()> next(std::chrono::steady_clock::time_point deadline, bool honourStop) {
    auto& state = loop();
    std::unique_lock lock(state.mutex);
    state.wake.wait_until(lock, deadline,
                          [&] { return (honourStop && state.stopped) || !state.work.empty(); });
    if ((honourStop && state.stopped) || state.work.empty()) {
        return {};
    }
    auto work = std::move(state.work.front());
    state.work.pop_front();
    return work;
}

}  // namespace

void MainQueue::async(std::function<void()> work) {
    auto& state = loop();
    std::unique_lock lock(state.mutex);
    if (state.executor) {
        Executor executor = state.executor;
        lock.unlock();
        executor(std::move(work));
        return;
    }
    state.work.push_back(std::move(work));
    lock.unlock();
    state.wake.notify_all();
}

void MainQueue::run() {
    auto& state = loop();
    {
        const std::lock_guard lock(state.mutex);
        state.stopped = false;
    }
    for (;;) {
        auto work = next(std::chrono::steady_clock::time_point::max(), true);
        if (!work) {
            return;
        }
        work();
    }
}

bool MainQueue::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        if (auto work = next(std::min(deadline, std::chrono::steady_clock::now() +
                                                    std::chrono::milliseconds(10)),
                             false)) {
            work();
        }
    }
    return true;
}

int MainQueue::runPending() {
    auto& state = loop();
    std::deque<std::function<void()>> pending;
    {
        const std::lock_guard lock(state.mutex);
        pending.swap(state.work);
    }
    for (auto& work : pending) {
        work();
    }
    return static_cast<int>(pending.size());
}

void MainQueue::stop() {
    auto& state = loop();
    {
        const std::lock_guard lock(state.mutex);
        state.stopped = true;
    }
    state.wake.notify_all();
}

void MainQueue::setExecutor(Executor executor) {
    auto& state = loop();
    std::deque<std::function<void()>> pending;
    {
        const std::lock_guard lock(state.mutex);
        state.executor = executor;
        if (executor) {
            pending.swap(state.work);
        }
    }
    // Closures submitted before the switch still run, on the new executor.
    for (auto& work : pending) {
        executor(std::move(work));
    }
}

}  // namespace vanto::platform
