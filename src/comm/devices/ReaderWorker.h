#pragma once
// The thread behind a device's background reader. It runs one blocking read step at a time,
// handed over from the user-interface thread, and reports back only through the event queue,
// so the device's state is never touched off its own thread. Every step must watch the stop
// signal (poll its fd next to the medium's), which is what lets Stop end the thread promptly
// even while the medium is silent.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace posbench {

class StopSignal {
public:
    int fd() const { return fd_; }
    bool requested() const { return requested_.load(); }

private:
    friend class ReaderWorker;
    int fd_ = -1;
    std::atomic<bool> requested_{false};
};

enum class WaitResult { Ready, TimedOut, Stopped, Failed };

// Blocks until fd is readable, the stop signal fires or timeoutMs passes (negative: no limit).
// On Failed, errno holds the reason.
WaitResult WaitReadable(int fd, const StopSignal& stop, int timeoutMs);

class ReaderWorker {
public:
    // A result a step hands back; runs later on the user-interface thread.
    using Result = std::function<void()>;
    // Handed to each step so that it can deliver its result (thread-safe).
    using Deliver = std::function<void(Result)>;

    ReaderWorker() = default;
    ~ReaderWorker();
    ReaderWorker(const ReaderWorker&) = delete;
    ReaderWorker& operator=(const ReaderWorker&) = delete;

    // Starts the thread; false with the system's error number when it refuses.
    bool Start(int& errorCode);
    bool Running() const { return thread_.joinable(); }

    // Queues the next step and wakes the thread. The step receives the stop signal and a
    // function that posts its result; results of a stopped session are dropped unseen.
    void Run(std::function<void(const StopSignal&, const Deliver&)> step);

    // Signals the running step, joins the thread and forgets undelivered results.
    void Stop();

private:
    void Loop(std::weak_ptr<void> session);

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void(const StopSignal&, const Deliver&)> next_;
    bool stopping_ = false;
    StopSignal signal_;
    std::shared_ptr<int> session_;  // results hold a weak reference; expired after Stop
};

}  // namespace posbench
