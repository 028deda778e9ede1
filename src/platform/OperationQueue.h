#pragma once

#include <functional>
#include <memory>

#include "vanto/Export.h"

namespace vanto::platform {

/// A queue of operations run by a fixed set of worker threads (one by default, so operations run
/// one after another). Destroying it waits for the operations already added, so it must not be
/// destroyed by one of its own operations.
class VANTO_EXPORT OperationQueue {
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
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vanto::platform
