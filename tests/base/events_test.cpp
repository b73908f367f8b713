#include "base/Events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <thread>
#include <vector>

#include "base/Tick.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;

TEST(Events, DoEventsRunsNoticesFromAnotherThreadInOrder) {
    std::vector<int> seen;
    std::thread poster([&] {
        for (int i = 0; i < 200; ++i) PostNotice([&seen, i] { seen.push_back(i); });
    });
    poster.join();
    EXPECT_TRUE(seen.empty());  // nothing runs before the pump
    DoEvents();
    ASSERT_EQ(seen.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
}

TEST(Events, NoticesPostedByANoticeRunInTheSamePassThenTheWindowPump) {
    std::vector<std::string> order;
    SetWindowPump([&] { order.push_back("pump"); });
    PostNotice([&] {
        order.push_back("first");
        PostNotice([&] { order.push_back("posted by first"); });
    });
    PostNotice(nullptr);  // an empty notice is skipped
    DoEvents();
    EXPECT_EQ(order, (std::vector<std::string>{"first", "posted by first", "pump"}));
    DoEvents();
    EXPECT_EQ(order.size(), 4u);
}

TEST(Events, DiscardedNoticesNeverRun) {
    int runs = 0;
    PostNotice([&] { ++runs; });
    DiscardNotices();
    DoEvents();
    EXPECT_EQ(runs, 0);
}

TEST(Events, WaitReturnsEarlyWhenANoticeArrives) {
    std::atomic<bool> ran{false};
    std::thread poster([&] {
        std::this_thread::sleep_for(50ms);
        PostNotice([&] { ran = true; });
    });
    auto start = std::chrono::steady_clock::now();
    WaitEvents(10s);
    auto waited = std::chrono::steady_clock::now() - start;
    poster.join();
    EXPECT_TRUE(ran);
    EXPECT_LT(waited, 5s);
}

TEST(Events, WakeEndsAWaitWithoutWork) {
    std::thread waker([] {
        std::this_thread::sleep_for(50ms);
        WakeEvents();
    });
    auto start = std::chrono::steady_clock::now();
    WaitEvents(10s);
    auto waited = std::chrono::steady_clock::now() - start;
    waker.join();
    EXPECT_LT(waited, 5s);
}

TEST(Events, IdleWaitSleepsInsteadOfSpinning) {
    std::clock_t cpuBefore = std::clock();
    auto start = std::chrono::steady_clock::now();
    WaitEvents(300ms);
    auto waited = std::chrono::steady_clock::now() - start;
    double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    EXPECT_GE(waited, 250ms);
    EXPECT_LT(cpuMs, 100.0);
}

TEST(Events, PendingNoticeMeansNoWaitAtAll) {
    int runs = 0;
    PostNotice([&] { ++runs; });
    auto start = std::chrono::steady_clock::now();
    WaitEvents(10s);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(runs, 1);
}

TEST(Tick, DeadlinesSurviveTheWrap) {
    EXPECT_TRUE(TickReached(5, 0xFFFFFFF0u));
    EXPECT_FALSE(TickReached(0xFFFFFFF0u, 5));
    EXPECT_TRUE(TickReached(100, 100));
    EXPECT_FALSE(TickReached(99, 100));
}

TEST(Tick, HookReplacesTheClockUntilRemoved) {
    {
        test::ManualClock clock(0xFFFFFFFEu);
        EXPECT_EQ(TickCount(), 0xFFFFFFFEu);
        clock.Advance(4);
        EXPECT_EQ(TickCount(), 2u);
    }
    uint32_t a = TickCount();
    std::this_thread::sleep_for(20ms);
    uint32_t b = TickCount();
    EXPECT_GE(b - a, 15u);
    EXPECT_LT(b - a, 5000u);
}

}  // namespace
}  // namespace posbench
