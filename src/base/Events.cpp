#include "base/Events.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "base/Tick.h"

namespace posbench {
namespace {

// Notices under a mutex; an eventfd counts wake-ups so that the waiter can poll it together
// with device descriptors. Created once for the life of the program.
struct Queue {
    std::mutex mutex;
    std::deque<Notice> notices;
    int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
};

Queue& TheQueue() {
    static Queue queue;
    return queue;
}

std::function<void()>& WindowPump() {
    static std::function<void()> pump;
    return pump;
}

std::chrono::milliseconds gWindowSlice{0};
constexpr std::chrono::milliseconds kDrivenClockSlice{5};

std::function<std::chrono::milliseconds()>& TimerDue() {
    static std::function<std::chrono::milliseconds()> due;
    return due;
}

// Descriptors armed for one wake-up of WaitEventsOrInput (user-interface thread only).
std::vector<int>& Watched() {
    static std::vector<int> watched;
    return watched;
}

std::function<void()>& WatchObserver() {
    static std::function<void()> observer;
    return observer;
}

void WatchSetChanged() {
    if (auto& observer = WatchObserver()) observer();
}

void Signal(const Queue& q) {
    if (q.wakeFd < 0) return;
    const uint64_t one = 1;
    // EAGAIN means the counter is saturated: a wake-up is pending anyway.
    while (write(q.wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Drain(const Queue& q) {
    if (q.wakeFd < 0) return;
    uint64_t count = 0;
    while (read(q.wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

int TimeoutMs(std::chrono::milliseconds wait) {
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, 1 << 30));
}

// Blocks up to maxWait for the wake-up counter or, with watchInput, a watched descriptor; drops
// the watches that fired, then runs the notices.
void Wait(std::chrono::milliseconds maxWait, bool watchInput) {
    Queue& q = TheQueue();
    std::vector<pollfd> fds;
    fds.push_back({q.wakeFd, POLLIN, 0});
    if (watchInput)
        for (int fd : Watched()) fds.push_back({fd, POLLIN, 0});
    if (auto& due = TimerDue()) maxWait = std::min(maxWait, due());
    if (gWindowSlice.count() > 0) maxWait = std::min(maxWait, gWindowSlice);
    // A driven clock moves only when its driver runs, so a real sleep is kept short.
    if (ClockIsDriven()) maxWait = std::min(maxWait, kDrivenClockSlice);
    maxWait = std::clamp(maxWait, std::chrono::milliseconds{0}, std::chrono::milliseconds{1 << 30});
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + maxWait;
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
        int ready = poll(fds.data(), fds.size(), TimeoutMs(left));
        if (ready >= 0 || errno != EINTR) break;
    }
    if (fds[0].revents != 0) Drain(q);
    for (size_t i = 1; i < fds.size(); ++i)
        if (fds[i].revents != 0) UnwatchInput(fds[i].fd);
    DoEvents();
}

}  // namespace

void PostNotice(Notice notice) {
    Queue& q = TheQueue();
    {
        std::lock_guard lock(q.mutex);
        q.notices.push_back(std::move(notice));
    }
    Signal(q);
}

void DoEvents() {
    Queue& q = TheQueue();
    for (;;) {
        Notice next;
        {
            std::lock_guard lock(q.mutex);
            if (q.notices.empty()) break;
            next = std::move(q.notices.front());
            q.notices.pop_front();
        }
        if (next) next();
    }
    if (auto& pump = WindowPump()) pump();
}

void SetWindowPump(std::function<void()> pump) { WindowPump() = std::move(pump); }

void SetWindowSlice(std::chrono::milliseconds slice) { gWindowSlice = slice; }

void SetTimerDue(std::function<std::chrono::milliseconds()> untilDue) {
    TimerDue() = std::move(untilDue);
}

void WaitEvents(std::chrono::milliseconds maxWait) { Wait(maxWait, false); }

void WaitEventsOrInput(std::chrono::milliseconds maxWait) { Wait(maxWait, true); }

void WatchInput(int fd) {
    if (fd < 0 || InputWatched(fd)) return;
    Watched().push_back(fd);
    WatchSetChanged();
}

void UnwatchInput(int fd) {
    if (std::erase(Watched(), fd) > 0) WatchSetChanged();
}

bool InputWatched(int fd) {
    const auto& watched = Watched();
    return std::find(watched.begin(), watched.end(), fd) != watched.end();
}

std::vector<int> WatchedInputs() { return Watched(); }

void SetInputWatchObserver(std::function<void()> observer) { WatchObserver() = std::move(observer); }

void WakeEvents() { Signal(TheQueue()); }

int EventPumpFd() { return TheQueue().wakeFd; }

void DrainEventPumpFd() { Drain(TheQueue()); }

void DiscardNotices() {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    q.notices.clear();
    Drain(q);
}

}  // namespace posbench
