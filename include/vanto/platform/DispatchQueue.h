#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vanto::platform {

/// A serial queue with a thread of its own: closures run one at a time, in the order submitted.
///
/// Destroying the queue lets the closures already submitted finish, then ends the thread. When
/// the last owner lets go of the queue on the queue's own thread (a closure that held the last
/// reference), the thread is left to end by itself instead of waiting for itself.
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

  private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> work;
        bool stopping = false;
    };
    static void drain(const std::shared_ptr<State>& state);

    std::string label_;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace vanto::platform
