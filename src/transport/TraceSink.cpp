#include "vanto/transport/TraceSink.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/StatePart.h"

namespace vanto {
namespace {

struct Sink : internal::StatePart {
    std::mutex choosing;
    std::shared_ptr<const TraceSink> chosen;
    // Blocks go out one at a time, so that traces of calls in flight together never interleave.
    std::mutex writing;

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
    const std::lock_guard lock(state.writing);
    if (chosen) {
        (*chosen)(block);
    } else {
        writeToStandardOutput(block);
    }
}

}  // namespace vanto
