#include "base/Events.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace posbench {
namespace {

struct Queue {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Notice> notices;
    bool woken = false;
};

Queue& TheQueue() {
    static Queue queue;
    return queue;
}

std::function<void()>& WindowPump() {
    static std::function<void()> pump;
    return pump;
}

}  // namespace

void PostNotice(Notice notice) {
    Queue& q = TheQueue();
    {
        std::lock_guard lock(q.mutex);
        q.notices.push_back(std::move(notice));
    }
    q.ready.notify_one();
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

void WaitEvents(std::chrono::milliseconds maxWait) {
    Queue& q = TheQueue();
    {
        std::unique_lock lock(q.mutex);
        q.ready.wait_for(lock, maxWait, [&] { return !q.notices.empty() || q.woken; });
        q.woken = false;
    }
    DoEvents();
}

void WakeEvents() {
    Queue& q = TheQueue();
    {
        std::lock_guard lock(q.mutex);
        q.woken = true;
    }
    q.ready.notify_one();
}

void DiscardNotices() {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    q.notices.clear();
    q.woken = false;
}

}  // namespace posbench
