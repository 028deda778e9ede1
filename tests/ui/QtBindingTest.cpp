// The binding's hold on the library: the main queue is Qt's while a QtBinding lives, and is handed
// back, with the work still waiting, when it goes.
#include <thread>

#include <QCoreApplication>
#include <QTest>

#include "UiTest.h"
#include "vanto/platform/MainQueue.h"

namespace vanto {
namespace {

TEST(QtBinding, RunsTheMainQueueOnTheQtThreadAndHandsItBackWithWhatWaits) {
    bool late = false;
    {
        const qt::QtBinding binding;
        std::vector<int> order;
        std::thread::id ranOn;
        testing::Changes ran;
        std::thread([&] {
            platform::MainQueue::async([&] { order.push_back(1); });
            platform::MainQueue::async([&] {
                order.push_back(2);
                ranOn = std::this_thread::get_id();
                ran.notify();
            });
        }).join();
        ASSERT_TRUE(ran.waitFor([&] { return order.size() == 2; }));
        EXPECT_EQ(order, (std::vector<int>{1, 2}));
        EXPECT_EQ(ranOn, std::this_thread::get_id()) << "not on the Qt thread";
        platform::MainQueue::async([&] { late = true; });
    }
    QCoreApplication::sendPostedEvents();  // what Qt still had to deliver
    EXPECT_FALSE(late) << "ran on Qt after the binding went";
    EXPECT_EQ(platform::MainQueue::runPending(), 1) << "the waiting work was lost";
    EXPECT_TRUE(late);
}

}  // namespace
}  // namespace vanto
