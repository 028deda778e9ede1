#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "CookieEngine.h"
#include "platform/DispatchQueue.h"
#include "vanto/platform/HTTPCookieStorage.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/platform/SecretText.h"

namespace vanto::platform {
namespace {

using namespace std::chrono_literals;

// The names of `cookies`: the longer-path ones first, as sent; the order among cookies of equal
// path length is the jar's own, so those are sorted for comparison.
std::vector<std::string> names(const std::vector<HTTPCookie>& cookies) {
    std::vector<std::string> result;
    std::size_t groupStart = 0;
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        if (i > 0 && cookies[i].path.size() != cookies[i - 1].path.size()) {
            std::sort(result.begin() + static_cast<long>(groupStart), result.end());
            groupStart = i;
        }
        EXPECT_TRUE(i == 0 || cookies[i].path.size() <= cookies[i - 1].path.size());
        result.push_back(cookies[i].name);
    }
    std::sort(result.begin() + static_cast<long>(groupStart), result.end());
    return result;
}

TEST(CookieStorage, AnswersWhichCookiesApplyByDomainPathSecureAndExpiry) {
    HTTPCookieStorage storage;
    const auto past = std::chrono::system_clock::now() - 1h;
    const auto future = std::chrono::system_clock::now() + 1h;
    storage.setCookie({.name = "host", .value = "1", .domain = "gw.example", .path = "/"});
    storage.setCookie(
        {.name = "sub", .value = "2", .domain = "example", .includesSubdomains = true});
    storage.setCookie(
        {.name = "deep", .value = "3", .domain = "gw.example", .path = "/zel/virtual"});
    storage.setCookie({.name = "secure", .value = "4", .domain = "gw.example", .secure = true});
    storage.setCookie({.name = "old", .value = "5", .domain = "gw.example", .expiresDate = past});
    storage.setCookie(
        {.name = "later", .value = "6", .domain = "gw.example", .expiresDate = future});
    storage.setCookie({.name = "other", .value = "7", .domain = "elsewhere.example"});

    EXPECT_EQ(names(storage.cookiesForURL("https://gw.example/zel/virtual/pago")),
              (std::vector<std::string>{"deep", "host", "later", "secure", "sub"}));
    EXPECT_EQ(names(storage.cookiesForURL("http://gw.example/zel/virtualX")),
              (std::vector<std::string>{"host", "later", "sub"}))
        << "no secure cookie over http; /zel/virtual does not match /zel/virtualX";
    EXPECT_EQ(names(storage.cookiesForURL("https://sub.gw.example/")),
              (std::vector<std::string>{"sub"}))
        << "host-only cookies stay on their host";
    EXPECT_TRUE(storage.cookiesForURL("not a url").empty());

    storage.setCookie({.name = "host", .value = "replaced", .domain = "gw.example", .path = "/"});
    const auto cookies = storage.cookiesForURL("https://gw.example/");
    ASSERT_FALSE(cookies.empty());
    EXPECT_EQ(
        std::count_if(cookies.begin(), cookies.end(), [](auto& c) { return c.name == "host"; }), 1);
    storage.removeAll();
    EXPECT_TRUE(storage.cookies().empty());
}

TEST(CookieStorage, ExpiriesBeyondTheClockStayFarInTheFuture) {
    using std::chrono::system_clock;
    HTTPCookieStorage storage;
    storage.takeIn(fuzz::cookieEngineLines(std::vector<std::string>{
        "maxAge=1; Max-Age=99999999999; Domain=gw.example; Path=/",
        "hugeMaxAge=2; Max-Age=99999999999999999999999; Domain=gw.example; Path=/",
        "year9999=3; Expires=Fri, 31 Dec 9999 23:59:59 GMT; Domain=gw.example; Path=/",
        "year2300=4; Expires=Sat, 01 Jan 2300 00:00:00 GMT; Domain=gw.example; Path=/",
    }));
    const auto cookies = storage.cookiesForURL("https://gw.example/");
    EXPECT_EQ(names(cookies),
              (std::vector<std::string>{"hugeMaxAge", "maxAge", "year2300", "year9999"}));
    const system_clock::time_point year2200 =
        std::chrono::sys_days(std::chrono::year(2200) / 1 / 1);
    for (const auto& cookie : cookies) {
        ASSERT_TRUE(cookie.expiresDate) << cookie.name;
        EXPECT_GT(*cookie.expiresDate, year2200) << cookie.name;
    }

    storage.removeAll();
    const auto withExpiry = [&storage](const std::string& name, system_clock::time_point expiry) {
        storage.setCookie(
            {.name = name, .value = "1", .domain = "gw.example", .expiresDate = expiry});
    };
    withExpiry("latest", system_clock::time_point::max());
    withExpiry("epoch", system_clock::time_point());
    withExpiry("earliest", system_clock::time_point::min());
    const auto written = storage.cookiesForURL("https://gw.example/");
    EXPECT_EQ(names(written), (std::vector<std::string>{"latest"}))
        << "an expiry at or before the epoch has passed: it does not make a session cookie";
    ASSERT_EQ(written.size(), 1u);
    EXPECT_GT(written.front().expiresDate, year2200);
}

TEST(SecretTexts, KeepTheirTextAcrossGrowthAndLeaveNothingBehindWhenMovedOrCleared) {
    SecretText text("4000000000000002");       // fits inside the object
    text.append("|" + std::string(100, '9'));  // grows into a block of its own
    EXPECT_EQ(text.size(), 117u);
    EXPECT_TRUE(text.view().starts_with("4000000000000002|999"));
    SecretText copied = text.copy();
    SecretText moved = std::move(text);
    EXPECT_TRUE(text.empty()) << "a moved-from secret holds nothing";
    EXPECT_EQ(moved, copied);
    SecretText small("123");
    SecretText movedSmall = std::move(small);
    EXPECT_TRUE(small.empty());
    EXPECT_EQ(movedSmall, "123");
    moved.clear();
    EXPECT_TRUE(moved.empty());
    moved.append("again");
    EXPECT_EQ(moved, "again") << "a cleared secret can be written again";
}

TEST(Queues, DispatchQueueRunsInOrderOnItsOwnThreadEvenAfterItIsDestroyed) {
    std::promise<void> release;
    std::promise<void> finished;
    std::vector<int> order;
    std::thread::id ran;
    {
        DispatchQueue queue("test");
        queue.async([gate = release.get_future().share()] { gate.wait(); });
        for (int i = 0; i < 50; ++i) {
            queue.async([&order, &ran, i] {
                order.push_back(i);
                ran = std::this_thread::get_id();
            });
        }
        queue.async([&] { finished.set_value(); });
    }  // must not wait: the first closure is still blocked
    release.set_value();
    ASSERT_EQ(finished.get_future().wait_for(10s), std::future_status::ready);
    ASSERT_EQ(order.size(), 50u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_NE(ran, std::this_thread::get_id());

    // The last owner may let go of a queue on the queue's own thread.
    auto queue = std::make_shared<DispatchQueue>("self");
    std::promise<bool> current;
    DispatchQueue* raw = queue.get();
    raw->async([owned = std::move(queue), &current]() mutable {
        const bool onItsThread = owned->isCurrent();
        owned.reset();
        current.set_value(onItsThread);
    });
    auto onItsThread = current.get_future();
    ASSERT_EQ(onItsThread.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(onItsThread.get());
}

TEST(Queues, MainQueueRunsOnThePumpingThreadOrOnAReplacementExecutor) {
    std::thread::id ran;
    std::thread([] { MainQueue::async([] {}); }).join();
    int count = 0;
    std::thread([&] {
        MainQueue::async([&] {
            ran = std::this_thread::get_id();
            ++count;
        });
    }).join();
    EXPECT_TRUE(MainQueue::runUntil([&] { return count == 1; }, 2s));
    EXPECT_EQ(ran, std::this_thread::get_id());
    EXPECT_FALSE(MainQueue::runUntil([] { return false; }, 20ms));

    std::vector<std::function<void()>> posted;
    MainQueue::setExecutor(
        [&posted](std::function<void()> work) { posted.push_back(std::move(work)); });
    MainQueue::async([&count] { ++count; });
    MainQueue::setExecutor(nullptr);
    ASSERT_EQ(posted.size(), 1u);
    posted.front()();
    EXPECT_EQ(count, 2);
    EXPECT_EQ(MainQueue::runPending(), 0);
}

}  // namespace
}  // namespace vanto::platform
