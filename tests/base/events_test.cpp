// The event pump: notices, wakes and waits, and the engine loop's wait on watched descriptors.
#include "base/Events.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <numeric>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;

using Clock = std::chrono::steady_clock;

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0); }
    ~Pipe() {
        for (int fd : fds)
            if (fd >= 0) close(fd);
    }
    int in() const { return fds[0]; }
    void Put() const { EXPECT_EQ(write(fds[1], "x", 1), 1); }
};

template <class Wait>
std::chrono::milliseconds Timed(Wait wait) {
    auto start = Clock::now();
    wait();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

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

// A long wait of the engine loop ends as soon as there is something to do (a notice from another
// thread, a wake, a notice already pending) and runs the notices it finds; a wake-up that was not
// a watched descriptor's own keeps its watch.
TEST(Events, WaitEndsEarlyWhenThereIsWorkAndRunsIt) {
    static std::atomic<int> ran{0};
    const auto notice = [] { PostNotice([] { ++ran; }); };
    struct Case {
        const char* name;
        std::function<void()> fromThread;
        int notices;
    } const cases[] = {{"notice from a thread", notice, 1}, {"wake", WakeEvents, 0}, {"pending notice", nullptr, 1}};
    Pipe quiet;
    WatchInput(quiet.in());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ran = 0;
        if (!c.fromThread) notice();
        std::thread other([&] {
            std::this_thread::sleep_for(50ms);
            if (c.fromThread) c.fromThread();
        });
        const auto waited = Timed([] { WaitEventsOrInput(10s); });
        other.join();
        EXPECT_LT(waited, 5s);
        EXPECT_EQ(ran, c.notices);
        EXPECT_TRUE(InputWatched(quiet.in()));
    }
    // The wake-up was used up, and a discarded one is gone as well.
    WakeEvents();
    DiscardNotices();
    EXPECT_GE(Timed([] { WaitEventsOrInput(60ms); }), 50ms);
    UnwatchInput(quiet.in());
}

TEST(InputWait, AWatchedDescriptorEndsTheWaitOnceAndOnlyTheInputAwareOne) {
    Pipe watched, other;
    WatchInput(watched.in());
    EXPECT_TRUE(InputWatched(watched.in()));

    // Bytes arriving from another thread end the wait long before its bound.
    std::thread writer([&] {
        std::this_thread::sleep_for(20ms);
        watched.Put();
    });
    EXPECT_LT(Timed([] { WaitEventsOrInput(5000ms); }), 2000ms);
    writer.join();
    // The watch has served its wake-up: the unread byte no longer ends a wait.
    EXPECT_FALSE(InputWatched(watched.in()));
    EXPECT_GE(Timed([] { WaitEventsOrInput(60ms); }), 50ms);

    // Readable but never watched, or watched and dropped again: no early end.
    other.Put();
    EXPECT_GE(Timed([] { WaitEventsOrInput(60ms); }), 50ms);
    WatchInput(other.in());
    UnwatchInput(other.in());
    EXPECT_FALSE(InputWatched(other.in()));
    EXPECT_GE(Timed([] { WaitEventsOrInput(60ms); }), 50ms);

    // Waits outside the engine loop never see the watches.
    WatchInput(other.in());
    EXPECT_GE(Timed([] { WaitEvents(60ms); }), 50ms);
    EXPECT_LT(Timed([] { WaitEventsOrInput(5000ms); }), 2000ms);

    // A closed descriptor is reported invalid once, then gone: later waits sleep their full bound.
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    WatchInput(fds[0]);
    close(fds[0]);
    close(fds[1]);
    WaitEventsOrInput(1000ms);
    EXPECT_FALSE(InputWatched(fds[0]));
    EXPECT_GE(Timed([] { WaitEventsOrInput(60ms); }), 50ms);
}

TEST(InputWait, AWindowSystemsLoopMirrorsTheWatchesAndWaitsOnThePump) {
    // A window system's loop mirrors the watch set and waits on the pump's descriptor instead.
    Pipe a, b;
    std::vector<std::vector<int>> seen;
    SetInputWatchObserver([&seen] { seen.push_back(WatchedInputs()); });
    WatchInput(a.in());
    WatchInput(a.in());  // no change, no call
    WatchInput(b.in());
    UnwatchInput(b.in());
    UnwatchInput(b.in());
    a.Put();
    WaitEventsOrInput(1000ms);  // drops the watch it reported
    SetInputWatchObserver(nullptr);
    const std::vector<std::vector<int>> expected{{a.in()}, {a.in(), b.in()}, {a.in()}, {}};
    EXPECT_EQ(seen, expected);

    // Readable from a post until drained, whatever thread posted.
    const auto readable = [] {
        pollfd p{EventPumpFd(), POLLIN, 0};
        return poll(&p, 1, 0) == 1;
    };
    ASSERT_GE(EventPumpFd(), 0);
    EXPECT_FALSE(readable());
    std::thread([] { PostNotice([] {}); }).join();
    EXPECT_TRUE(readable());
    DrainEventPumpFd();
    EXPECT_FALSE(readable());
    DoEvents();
}

}  // namespace
}  // namespace posbench
