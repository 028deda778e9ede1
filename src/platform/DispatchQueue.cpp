#include "platform/DispatchQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/StatePart.h"

namespace vanto::platform {

struct DispatchQueue::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> work;
    // Set when the queue is destroyed: its thread leaves once the remaining closures have run.
    bool stopping = false;
    // A queue is given its thread with its first closure, so that the thread starts working at
    // once instead of being woken a second time.
    bool seated = false;
    std::thread::id thread;
};

namespace {

// Parked threads waiting for a queue to serve. Its threads are detached and end with the process.
class ThreadPark : public internal::StatePart {
  public:
    static ThreadPark& shared() { return internal::processPart<ThreadPark>(); }

    // Hands `state` to a parked thread, or to a new one, and records which thread serves it.
    void serve(const std::shared_ptr<DispatchQueue::State>& state) {
        std::unique_lock lock(mutex_);
        if (parked_.empty()) {
            lock.unlock();
            std::thread([this, job = state]() mutable {
                Seat seat;
                seat.job = std::move(job);
                run(seat);
            }).detach();
            return;
        }
        Seat* seat = parked_.back();
        parked_.pop_back();
        {
            const std::lock_guard seatLock(seat->mutex);
            seat->job = state;
        }
        lock.unlock();
        seat->wake.notify_one();
    }

  private:
    // A thread's place in the park, kept on its own stack: the park lists it only while the thread
    // waits for a queue there.
    struct Seat {
        std::mutex mutex;
        std::condition_variable wake;
        std::shared_ptr<DispatchQueue::State> job;
    };

    static constexpr std::size_t kMostParked = 16;

    static void drain(DispatchQueue::State& state) {
        {
            const std::lock_guard lock(state.mutex);
            state.thread = std::this_thread::get_id();
        }
        for (;;) {
            std::function<void()> next;
            {
                std::unique_lock lock(state.mutex);
                state.wake.wait(lock, [&] { return state.stopping || !state.work.empty(); });
                if (state.work.empty()) {
                    return;
                }
                next = std::move(state.work.front());
                state.work.pop_front();
            }
            next();
        }
    }

    void run(Seat& seat) {
        for (;;) {
            std::shared_ptr<DispatchQueue::State> job;
            {
                std::unique_lock lock(seat.mutex);
                seat.wake.wait(lock, [&] { return seat.job != nullptr; });
                job = std::move(seat.job);
            }
            drain(*job);
            job.reset();
            const std::lock_guard lock(mutex_);
            if (parked_.size() >= kMostParked) {
                return;
            }
            parked_.push_back(&seat);
        }
    }

    std::mutex mutex_;
    std::vector<Seat*> parked_;
};

}  // namespace

DispatchQueue::DispatchQueue(std::string label)
    : label_(std::move(label)), state_(std::make_shared<State>()) {}

DispatchQueue::~DispatchQueue() {
    const std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    state_->wake.notify_all();
}

void DispatchQueue::async(std::function<void()> work) {
    // Notified (or seated) under the lock: once it is released the closure may run and even
    // destroy this queue, so nothing of the queue may be touched after that.
    const std::lock_guard lock(state_->mutex);
    state_->work.push_back(std::move(work));
    if (!state_->seated) {
        state_->seated = true;
        ThreadPark::shared().serve(state_);
        return;
    }
    state_->wake.notify_all();
}

bool DispatchQueue::isCurrent() const {
    const std::lock_guard lock(state_->mutex);
    return state_->thread == std::this_thread::get_id();
}

}  // namespace vanto::platform
