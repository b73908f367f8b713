#include "base/Events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <numeric>
#include <thread>
#include <vector>

#include "base/Tick.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;

// Notices from another thread run in order and only in the pump; one posted by a notice runs in
// the same pass, before the window pump; discarded ones never run.
TEST(Events, DoEventsRunsNoticesInOrderThenTheWindowPump) {
    std::vector<int> seen, expected(200);
    std::iota(expected.begin(), expected.end(), 0);
    std::thread([&] {
        for (int i = 0; i < 200; ++i) PostNotice([&seen, i] { seen.push_back(i); });
    }).join();
    EXPECT_TRUE(seen.empty());
    DoEvents();
    EXPECT_EQ(seen, expected);

    std::vector<std::string> order;
    SetWindowPump([&] { order.push_back("pump"); });
    PostNotice([&] {
        order.push_back("first");
        PostNotice([&] { order.push_back("posted by first"); });
    });
    PostNotice(nullptr);  // an empty notice is skipped
    DoEvents();
    PostNotice([&] { order.push_back("discarded"); });
    DiscardNotices();
    DoEvents();
    EXPECT_EQ(order, (std::vector<std::string>{"first", "posted by first", "pump", "pump"}));
}

// A long wait ends as soon as there is something to do (a notice from another thread, a wake,
// a notice already pending) and runs the notices it finds.
TEST(Events, WaitEndsEarlyWhenThereIsWorkAndRunsIt) {
    static std::atomic<int> ran{0};
    const auto notice = [] { PostNotice([] { ++ran; }); };
    struct Case {
        const char* name;
        std::function<void()> fromThread;
        int notices;
    } const cases[] = {{"notice from a thread", notice, 1}, {"wake", WakeEvents, 0}, {"pending notice", nullptr, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ran = 0;
        if (!c.fromThread) notice();
        std::thread other([&] {
            std::this_thread::sleep_for(50ms);
            if (c.fromThread) c.fromThread();
        });
        const auto start = std::chrono::steady_clock::now();
        WaitEvents(10s);
        const auto waited = std::chrono::steady_clock::now() - start;
        other.join();
        EXPECT_LT(waited, 5s);
        EXPECT_EQ(ran, c.notices);
    }
}

TEST(Tick, DeadlinesSurviveTheWrap) {
    EXPECT_TRUE(TickReached(5, 0xFFFFFFF0u) && TickReached(100, 100));
    EXPECT_FALSE(TickReached(0xFFFFFFF0u, 5) || TickReached(99, 100));
}

}  // namespace
}  // namespace posbench
