#include "vanto/transport/TraceSink.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/StatePart.h"

namespace vanto {
namespace {

struct Sink : internal::StatePart {
    std::mutex choosing;
    std::shared_ptr<const TraceSink> chosen;

    // Blocks go out one at a time, so that traces of calls in flight together never interleave,
    // and no lock is held while a sink runs: one thread at a time hands blocks over, the others
    // wait for it. Blocks that the sink writes itself wait in `nested`, each with the sink chosen
    // when it was written, and follow once the sink returns.
    struct Nested {
        std::shared_ptr<const TraceSink> sink;
        std::string block;
    };
    std::mutex turn;
    std::condition_variable turnEnded;
    std::optional<std::thread::id> handingOver;
    std::deque<Nested> nested;

    void reset() override {
        const std::lock_guard lock(choosing);
        chosen.reset();
    }
};

Sink& sink() {
    return internal::processPart<Sink>();
}

void writeToStandardOutput(std::string_view block) {
    std::fwrite(block.data(), 1, block.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A sink that throws loses its block, never the payment that traced it.
void deliver(const TraceSink* chosen, std::string_view block) noexcept {
    try {
        if (chosen != nullptr) {
            (*chosen)(block);
        } else {
            writeToStandardOutput(block);
        }
    } catch (...) {
    }
}

}  // namespace

void setTraceSink(TraceSink chosen) {
    auto& state = sink();
    auto replacement = chosen ? std::make_shared<const TraceSink>(std::move(chosen)) : nullptr;
    const std::lock_guard lock(state.choosing);
    state.chosen = std::move(replacement);
}

void writeTrace(std::string_view block) {
    auto& state = sink();
    std::shared_ptr<const TraceSink> chosen;
    {
        const std::lock_guard lock(state.choosing);
        chosen = state.chosen;
    }
    std::unique_lock lock(state.turn);
    const auto self = std::this_thread::get_id();
    if (state.handingOver == self) {
        state.nested.push_back({std::move(chosen), std::string(block)});
        return;
    }
    state.turnEnded.wait(lock, [&] { return !state.handingOver; });
    state.handingOver = self;
    lock.unlock();
    deliver(chosen.get(), block);
    lock.lock();
    while (!state.nested.empty()) {
        const Sink::Nested next = std::move(state.nested.front());
        state.nested.pop_front();
        lock.unlock();
        deliver(next.sink.get(), next.block);
        lock.lock();
    }
    state.handingOver.reset();
    lock.unlock();
    state.turnEnded.notify_one();
}

}  // namespace vanto
