#include "base/MainQueueOnQt.h"

#include <QCoreApplication>
#include <QObject>

#include "vanto/platform/MainQueue.h"

namespace vanto::qt::detail {

MainQueueOnQt::MainQueueOnQt() : context_(std::make_unique<QObject>()) {}

MainQueueOnQt::~MainQueueOnQt() {
    uninstall();
}

std::shared_ptr<MainQueueOnQt> MainQueueOnQt::install() {
    std::shared_ptr<MainQueueOnQt> queue(new MainQueueOnQt());
    queue->installed_ = true;
    // The executor keeps the queue alive: a thread may still hold a copy of it after it was
    // taken away.
    platform::MainQueue::setExecutor(
        [queue](std::function<void()> work) { queue->submit(std::move(work)); });
    return queue;
}

void MainQueueOnQt::uninstall() {
    std::deque<std::function<void()>> left;
    {
        const std::lock_guard lock(mutex_);
        if (!installed_) {
            return;
        }
    }
    // New submissions go to the library's own run loop from here on; only a copy of the
    // executor taken before can still reach submit(), which passes them on too.
    platform::MainQueue::setExecutor({});
    {
        const std::lock_guard lock(mutex_);
        installed_ = false;
        left.swap(waiting_);
        context_.reset();  // drops the runs posted and not yet made
    }
    for (auto& work : left) {
        platform::MainQueue::async(std::move(work));
    }
}

void MainQueueOnQt::submit(std::function<void()> work) {
    std::unique_lock lock(mutex_);
    if (!installed_) {
        lock.unlock();
        platform::MainQueue::async(std::move(work));
        return;
    }
    waiting_.push_back(std::move(work));
    // Posting is safe from any thread while the context lives, which the lock guarantees.
    QMetaObject::invokeMethod(
        context_.get(),
        [self = weak_from_this()] {
            if (auto queue = self.lock()) {
                queue->runNext();
            }
        },
        Qt::QueuedConnection);
}

void MainQueueOnQt::runNext() {
    std::function<void()> work;
    {
        const std::lock_guard lock(mutex_);
        if (waiting_.empty()) {
            return;
        }
        work = std::move(waiting_.front());
        waiting_.pop_front();
    }
    work();
}

}  // namespace vanto::qt::detail
