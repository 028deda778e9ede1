#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vanto::platform {

/// A queue of operations run by a fixed set of worker threads (one by default, so operations run
/// one after another). Destroying it waits for the operations already added, so it must not be
/// destroyed by one of its own operations.
class OperationQueue {
  public:
    explicit OperationQueue(unsigned maxConcurrentOperationCount = 1);
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    /// Adds `operation` and returns at once.
    void addOperation(std::function<void()> operation);
    /// Waits until every operation added so far has finished.
    void waitUntilAllOperationsAreFinished();

  private:
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> operations_;
    unsigned running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace vanto::platform
