#include "platform/OperationQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace vanto::platform {

struct OperationQueue::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> operations;
    unsigned running = 0;
    bool stopping = false;
    std::vector<std::thread> workers;

    void work() {
        for (;;) {
            std::function<void()> operation;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || !operations.empty(); });
                if (operations.empty()) {
                    return;
                }
                operation = std::move(operations.front());
                operations.pop_front();
                ++running;
            }
            operation();
            {
                const std::lock_guard lock(mutex);
                --running;
            }
            idle.notify_all();
        }
    }
};

OperationQueue::OperationQueue(unsigned maxConcurrentOperationCount)
    : state_(std::make_unique<State>()) {
    const unsigned count = std::max(1u, maxConcurrentOperationCount);
    for (unsigned i = 0; i < count; ++i) {
        state_->workers.emplace_back([state = state_.get()] { state->work(); });
    }
}

OperationQueue::~OperationQueue() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    for (auto& worker : state_->workers) {
        worker.join();
    }
}

void OperationQueue::addOperation(std::function<void()> operation) {
    // Notified under the lock, so that nothing of the queue is touched once an operation may run.
    const std::lock_guard lock(state_->mutex);
    state_->operations.push_back(std::move(operation));
    state_->wake.notify_one();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(state_->mutex);
    state_->idle.wait(lock, [this] { return state_->operations.empty() && state_->running == 0; });
}

}  // namespace vanto::platform
