#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "vanto/qt/BaseExport.h"

class QObject;

namespace vanto::qt::detail {

/// The library's main queue on the Qt event loop: each closure submitted, from any thread, is
/// posted to the thread of the QCoreApplication (QApplication, QGuiApplication) and runs there in
/// the order submitted. Taken away, it hands the closures still waiting back to the library's own
/// run loop, so that none is lost. Every Qt binding puts one in place while it is in use.
class VANTO_QT_BASE_EXPORT MainQueueOnQt : public std::enable_shared_from_this<MainQueueOnQt> {
  public:
    /// Puts a new one in place (platform::MainQueue::setExecutor). Call on the Qt thread.
    static std::shared_ptr<MainQueueOnQt> install();
    ~MainQueueOnQt();
    MainQueueOnQt(const MainQueueOnQt&) = delete;
    MainQueueOnQt& operator=(const MainQueueOnQt&) = delete;

    /// Gives the main queue back to the library's own run loop. Call on the Qt thread.
    void uninstall();

  private:
    MainQueueOnQt();
    void submit(std::function<void()> work);
    void runNext();

    std::mutex mutex_;
    std::deque<std::function<void()>> waiting_;
    // The object the runs are posted to; lives on the Qt thread while the queue is in place.
    std::unique_ptr<QObject> context_;
    bool installed_ = false;
};

}  // namespace vanto::qt::detail
