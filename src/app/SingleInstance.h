#pragma once
// One copy of the desktop program per program directory. The first copy holds an advisory lock
// on a file there; the system drops the lock when that copy ends, however it ends, so a crash
// never leaves a stale lock behind. A second copy finds the lock held and ends at once.
#include <string>

namespace posbench {

class SingleInstance {
public:
    // Tries to take the lock on lockFile (created when missing).
    explicit SingleInstance(const std::string& lockFile);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this copy holds the lock.
    bool Acquired() const { return fd_ >= 0; }
    // Why the lock could not be taken: empty when another copy holds it, else the system's
    // reason (the lock file cannot be created, ...).
    const std::string& Error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};

// The lock file of a program directory.
std::string InstanceLockFile(const std::string& programDir);

}  // namespace posbench
