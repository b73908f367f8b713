#include "comm/devices/ReaderWorker.h"

#include <cerrno>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "base/Events.h"

namespace posbench {

WaitResult WaitReadable(int fd, const StopSignal& stop, int timeoutMs) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stop.fd(), POLLIN, 0}};
    for (;;) {
        int ready = poll(fds, 2, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return WaitResult::Failed;
        }
        if (stop.requested() || (fds[1].revents & POLLIN)) return WaitResult::Stopped;
        if (ready == 0) return WaitResult::TimedOut;
        if (fds[0].revents & POLLNVAL) {
            errno = EBADF;
            return WaitResult::Failed;
        }
        // Errors and hang-ups count as readable: the read itself tells what happened.
        return WaitResult::Ready;
    }
}

ReaderWorker::~ReaderWorker() { Stop(); }

bool ReaderWorker::Start(int& errorCode) {
    if (Running()) return true;
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        errorCode = errno;
        return false;
    }
    signal_.fd_ = fd;
    signal_.requested_ = false;
    stopping_ = false;
    next_ = nullptr;
    session_ = std::make_shared<int>(0);
    try {
        thread_ = std::thread(&ReaderWorker::Loop, this, std::weak_ptr<void>(session_));
    } catch (const std::system_error& e) {
        close(fd);
        signal_.fd_ = -1;
        session_.reset();
        errorCode = e.code().value();
        return false;
    }
    return true;
}

void ReaderWorker::Run(std::function<void(const StopSignal&, const Deliver&)> step) {
    {
        std::lock_guard lock(mutex_);
        next_ = std::move(step);
    }
    wake_.notify_one();
}

void ReaderWorker::Stop() {
    session_.reset();
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        next_ = nullptr;
    }
    signal_.requested_ = true;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(signal_.fd_, &one, sizeof one);
    wake_.notify_one();
    thread_.join();
    close(signal_.fd_);
    signal_.fd_ = -1;
}

void ReaderWorker::Loop(std::weak_ptr<void> session) {
    // Results go through the event queue and are dropped there when the session has ended
    // (port closed or device released) before the user-interface thread got to them.
    const Deliver deliver = [session](Result result) {
        PostNotice([session, result = std::move(result)] {
            if (session.lock()) result();
        });
    };
    for (;;) {
        std::function<void(const StopSignal&, const Deliver&)> step;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || next_ != nullptr; });
            if (stopping_) return;
            step = std::move(next_);
            next_ = nullptr;
        }
        step(signal_, deliver);
    }
}

}  // namespace posbench
