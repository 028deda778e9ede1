#pragma once

#include <functional>
#include <memory>
#include <string>

#include "vanto/Export.h"

namespace vanto::platform {

/// A serial queue with a thread of its own: closures run one at a time, in the order submitted,
/// all on the same thread.
///
/// The thread comes from a process-wide set of parked threads and goes back there once the queue
/// is gone and its closures have run, because starting a thread (and the TLS library's per-thread
/// state) costs more than a whole exchange with a local server. Destroying the queue never waits:
/// the closures already submitted still run, in order, on the queue's thread, and whatever they
/// hold is released there.
class VANTO_EXPORT DispatchQueue {
  public:
    explicit DispatchQueue(std::string label = "vanto.dispatch");
    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    /// Submits `work` and returns at once.
    void async(std::function<void()> work);
    /// Whether the calling thread is this queue's thread.
    bool isCurrent() const;
    const std::string& label() const { return label_; }

    /// The closures of one queue, shared by the queue and its thread.
    struct State;

  private:
    std::string label_;
    std::shared_ptr<State> state_;
};

}  // namespace vanto::platform
