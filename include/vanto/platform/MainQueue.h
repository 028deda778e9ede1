#pragma once

#include <chrono>
#include <functional>

#include "vanto/Export.h"

namespace vanto::platform {

/// The library's main queue: where screens, presenters and outcomes of payments run.
///
/// By default it is a run loop that the application pumps with run(), runUntil() or
/// runPending(). A UI binding replaces it with its own event loop through setExecutor(), after
/// which submitted closures go to that executor.
class VANTO_EXPORT MainQueue {
  public:
    using Executor = std::function<void(std::function<void()>)>;

    /// Submits `work` to run later on the main queue and returns at once.
    static void async(std::function<void()> work);

    /// Runs submitted closures on the calling thread until stop() is called.
    static void run();
    /// Runs submitted closures until `done` returns true or `timeout` has passed; returns `done()`.
    static bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    /// Runs the closures submitted so far, without waiting; returns how many ran.
    static int runPending();
    /// Makes run() return once the closure it is running, if any, has finished.
    static void stop();

    /// Hands every later submission to `executor` (for example a UI toolkit's event loop), or back
    /// to the built-in run loop when `executor` is empty.
    static void setExecutor(Executor executor);
};

}  // namespace vanto::platform
