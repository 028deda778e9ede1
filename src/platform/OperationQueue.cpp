#include "vanto/platform/OperationQueue.h"

#include <algorithm>

namespace vanto::platform {

OperationQueue::OperationQueue(unsigned maxConcurrentOperationCount) {
    const unsigned count = std::max(1u, maxConcurrentOperationCount);
    for (unsigned i = 0; i < count; ++i) {
        workers_.emplace_back([this] { work(); });
    }
}

OperationQueue::~OperationQueue() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& worker : workers_) {
        worker.join();
    }
}

void OperationQueue::addOperation(std::function<void()> operation) {
    // Notified under the lock, so that nothing of the queue is touched once an operation may run.
    const std::lock_guard lock(mutex_);
    operations_.push_back(std::move(operation));
    wake_.notify_one();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return operations_.empty() && running_ == 0; });
}

void OperationQueue::work() {
    for (;;) {
        std::function<void()> operation;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !operations_.empty(); });
            if (operations_.empty()) {
                return;
            }
            operation = std::move(operations_.front());
            operations_.pop_front();
            ++running_;
        }
        operation();
        {
            const std::lock_guard lock(mutex_);
            --running_;
        }
        idle_.notify_all();
    }
}

}  // namespace vanto::platform
