#include "vanto/transport/Manager.h"

#include "platform/DispatchQueue.h"
#include "platform/OperationQueue.h"
#include "vanto/platform/MainQueue.h"

namespace vanto {

CallbackQueue::CallbackQueue(Kind kind, std::shared_ptr<platform::OperationQueue> operations,
                             std::shared_ptr<platform::DispatchQueue> dispatch)
    : kind_(kind), operations_(std::move(operations)), dispatch_(std::move(dispatch)) {}

CallbackQueue CallbackQueue::operationQueue(std::shared_ptr<platform::OperationQueue> queue) {
    return {Kind::operationQueue, std::move(queue), nullptr};
}

CallbackQueue CallbackQueue::dispatchQueue(std::shared_ptr<platform::DispatchQueue> queue) {
    return {Kind::dispatchQueue, nullptr, std::move(queue)};
}

CallbackQueue CallbackQueue::main() {
    return {Kind::main, nullptr, nullptr};
}

CallbackQueue CallbackQueue::current() {
    return {Kind::current, nullptr, nullptr};
}

void CallbackQueue::execute(std::function<void()> closure) const {
    switch (kind_) {
        case Kind::operationQueue:
            if (operations_) {
                operations_->addOperation(std::move(closure));
                return;
            }
            break;
        case Kind::dispatchQueue:
            if (dispatch_) {
                dispatch_->async(std::move(closure));
                return;
            }
            break;
        case Kind::main:
            platform::MainQueue::async(std::move(closure));
            return;
        case Kind::current:
            closure();
            return;
    }
    // A queue made without a queue to run on: the outcome must not be lost, so it goes to the
    // main queue.
    platform::MainQueue::async(std::move(closure));
}

}  // namespace vanto
