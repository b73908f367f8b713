#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "base/Events.h"

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

TEST(InputWait, NoticesAndWakesStillEndTheInputAwareWait) {
    Pipe quiet;
    WatchInput(quiet.in());
    bool ran = false;
    std::thread poster([&] {
        std::this_thread::sleep_for(20ms);
        PostNotice([&ran] { ran = true; });
    });
    EXPECT_LT(Timed([] { WaitEventsOrInput(5000ms); }), 2000ms);
    poster.join();
    DoEvents();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(InputWatched(quiet.in()));  // a wake-up that was not its own keeps the watch

    WakeEvents();
    EXPECT_LT(Timed([] { WaitEventsOrInput(5000ms); }), 1000ms);
    // The wake-up was used up, and a discarded one is gone as well.
    WakeEvents();
    DiscardNotices();
    EXPECT_GE(Timed([] { WaitEventsOrInput(60ms); }), 50ms);
    UnwatchInput(quiet.in());

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
