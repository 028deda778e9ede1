#pragma once

#include <functional>
#include <memory>

#include "vanto/Export.h"
#include "vanto/platform/DispatchQueue.h"
#include "vanto/platform/OperationQueue.h"

namespace vanto {

/// Where the transport delivers an outcome.
class VANTO_EXPORT CallbackQueue {
  public:
    enum class Kind { operationQueue, dispatchQueue, main, current };

    /// Adds the closure to an operation queue.
    static CallbackQueue operationQueue(std::shared_ptr<platform::OperationQueue> queue);
    /// Submits the closure to a serial dispatch queue.
    static CallbackQueue dispatchQueue(std::shared_ptr<platform::DispatchQueue> queue);
    /// Submits the closure to the library's main queue (platform::MainQueue).
    static CallbackQueue main();
    /// Runs the closure at once, on the calling thread.
    static CallbackQueue current();

    Kind kind() const { return kind_; }
    /// Runs `closure` as the kind says; all but `current` return at once.
    void execute(std::function<void()> closure) const;

  private:
    CallbackQueue(Kind kind, std::shared_ptr<platform::OperationQueue> operations,
                  std::shared_ptr<platform::DispatchQueue> dispatch);

    Kind kind_;
    std::shared_ptr<platform::OperationQueue> operations_;
    std::shared_ptr<platform::DispatchQueue> dispatch_;
};

}  // namespace vanto
