#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vanto::platform {

/// A serial queue with a thread of its own: closures run one at a time, in the order submitted,
/// all on the same thread for as long as the queue lives.
///
/// The thread comes from a process-wide set of parked threads and goes back there when the queue
/// is gone, because starting a thread (and the TLS library's per-thread state) costs more than a
/// whole exchange with a local server. Destroying the queue waits for the closures already
/// submitted, unless it happens on the queue's own thread (a closure that held the last
/// reference): then the remaining closures finish after it.
class DispatchQueue {
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
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> work;
        bool stopping = false;
        // A queue is given its thread with its first closure, so that the thread starts working
        // at once instead of being woken a second time; until then there is nothing to drain.
        bool seated = false;
        bool drained = true;
        std::thread::id thread;
    };

  private:
    std::string label_;
    std::shared_ptr<State> state_;
};

}  // namespace vanto::platform
