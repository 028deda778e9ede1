#include "vanto/platform/DispatchQueue.h"

namespace vanto::platform {

DispatchQueue::DispatchQueue(std::string label)
    : label_(std::move(label)), state_(std::make_shared<State>()) {
    // The thread owns the state too, so it may outlive the queue object when it must detach.
    thread_ = std::thread([state = state_] { drain(state); });
}

DispatchQueue::~DispatchQueue() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_one();
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

void DispatchQueue::async(std::function<void()> work) {
    {
        const std::lock_guard lock(state_->mutex);
        state_->work.push_back(std::move(work));
    }
    state_->wake.notify_one();
}

bool DispatchQueue::isCurrent() const {
    return thread_.get_id() == std::this_thread::get_id();
}

void DispatchQueue::drain(const std::shared_ptr<State>& state) {
    for (;;) {
        std::function<void()> next;
        {
            std::unique_lock lock(state->mutex);
            state->wake.wait(lock, [&] { return state->stopping || !state->work.empty(); });
            if (state->work.empty()) {
                return;
            }
            next = std::move(state->work.front());
            state->work.pop_front();
        }
        next();
    }
}

}  // namespace vanto::platform
