#pragma once
// A descriptor in transit from a reader's worker thread to the user-interface thread. Whoever
// ends up with it calls release(); if the result is dropped on the way (port closed first),
// the descriptor closes with the last copy instead of leaking.
#include <memory>

#include <unistd.h>

namespace posbench {

class OwnedFd {
public:
    explicit OwnedFd(int fd) : fd_(fd) {}
    ~OwnedFd() {
        if (fd_ >= 0) close(fd_);
    }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

}  // namespace posbench
