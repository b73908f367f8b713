#include "comm/devices/PortIo.h"

// The kernel's termios, so that a line with a free baud rate is restored exactly.
#include <asm/termbits.h>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>

#include "base/Events.h"
#include "base/Tick.h"

namespace posbench {

namespace {

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

bool Writable(int fd) {
    pollfd p{fd, POLLOUT, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLOUT | POLLHUP | POLLERR)) != 0;
}

// The slave side of a pseudo-terminal (Unix 98, majors 136 to 143): it keeps no output queue
// of its own, so TIOCOUTQ always answers 0 and asking after every write would only cost a call.
bool PseudoTerminal(const struct stat& st) {
    const unsigned int m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

uint32_t Total(uint32_t multiplier, size_t count, uint32_t constant) {
    uint64_t total = static_cast<uint64_t>(multiplier) * count + constant;
    return static_cast<uint32_t>(std::min<uint64_t>(total, 0x7FFFFFFFu));
}

}  // namespace

PortIo::PortIo() = default;

PortIo::~PortIo() { Close(); }

int PortIo::Open(const std::string& path, bool requireTerminal) {
    Close();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    bool terminal = isatty(fd) != 0;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || (requireTerminal && !terminal)) {
        ::close(fd);
        return ENOTTY;
    }
    // Exclusive like a COM port: a second opener must not write into a transfer. The lock
    // holds even against privileged openers, whom TIOCEXCL lets through.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        ::close(fd);
        return error;
    }
    if (terminal) {
        auto saved = std::make_unique<termios2>();
        if (ioctl(fd, TCGETS2, saved.get()) != 0 || ioctl(fd, TIOCEXCL) != 0) {
            int error = errno;
            ::close(fd);
            return error;
        }
        saved_ = std::move(saved);
        exclusive_ = true;
    }
    fd_ = fd;
    terminal_ = terminal;
    queued_ = terminal && !PseudoTerminal(st);
    writeTail_.clear();
    writeErrno_ = 0;
    readState_ = ReadState::Idle;
    readErrno_ = 0;
    return 0;
}

int PortIo::Close() {
    if (fd_ < 0) return 0;
    StopAwaiting();  // the number may be reused the moment it is closed
    writeTail_.clear();
    readState_ = ReadState::Idle;
    if (saved_) ioctl(fd_, TCSETS2, saved_.get());
    if (exclusive_) ioctl(fd_, TIOCNXCL);
    saved_.reset();
    exclusive_ = false;
    terminal_ = false;
    queued_ = false;
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;  // closing also releases the lock
}

int PortIo::MakeRaw() {
    if (fd_ < 0) return EBADF;
    if (!terminal_) return 0;
    termios2 tio{};
    if (ioctl(fd_, TCGETS2, &tio) != 0) return errno;
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;  // non-blocking all the same; see clsDCB::SetCommState
    tio.c_cc[VTIME] = 0;
    return ioctl(fd_, TCSETS2, &tio) == 0 ? 0 : errno;
}

int PortIo::FlushOutput() {
    if (fd_ < 0) return EBADF;
    writeTail_.clear();
    writeDraining_ = false;
    if (!terminal_) return 0;
    return ioctl(fd_, TCFLSH, TCOFLUSH) == 0 ? 0 : errno;
}

int PortIo::FlushUnfinishedOutput() {
    if (fd_ < 0) return EBADF;
    if (!WritePending() && writeErrno_ != ETIMEDOUT) return 0;
    return FlushOutput();
}

int PortIo::OutputQueued() const {
    int queued = 0;
    if (!queued_ || ioctl(fd_, TIOCOUTQ, &queued) != 0) return 0;
    return queued;
}

int PortIo::FlushInput() {
    if (fd_ < 0) return EBADF;
    if (!terminal_) return 0;
    return ioctl(fd_, TCFLSH, TCIFLUSH) == 0 ? 0 : errno;
}

int PortIo::ModemLines(int& lines) const {
    lines = 0;
    if (fd_ < 0) return EBADF;
    return ioctl(fd_, TIOCMGET, &lines) == 0 ? 0 : errno;
}

bool PortIo::InputWaiting() const { return fd_ >= 0 && Readable(fd_); }

int PortIo::StartWrite(const std::string& bytes) {
    if (fd_ < 0) return EBADF;
    if (!WritePending()) writeErrno_ = 0;
    writeTail_ += bytes;
    writeDraining_ = queued_;
    uint32_t total = Total(timeouts_.WriteTotalTimeoutMultiplier, writeTail_.size(),
                           timeouts_.WriteTotalTimeoutConstant);
    writeHasDeadline_ = total != 0;
    writeDeadline_ = TickCount() + total;
    PushWrite();
    if (writeErrno_ != 0 && writeErrno_ != ETIMEDOUT) {
        int error = writeErrno_;
        writeErrno_ = 0;
        writeDraining_ = false;
        return error;
    }
    return 0;
}

void PortIo::PushWrite() {
    while (!writeTail_.empty()) {
        ssize_t n = ::write(fd_, writeTail_.data(), writeTail_.size());
        if (n > 0) {
            writeTail_.erase(0, static_cast<size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            writeErrno_ = errno;
            writeTail_.clear();
        } else {
            break;  // the driver takes no more for now
        }
    }
}

bool PortIo::WriteDone() {
    if (!WritePending()) return true;
    if (fd_ < 0) {
        writeTail_.clear();
        writeDraining_ = false;
        writeErrno_ = EBADF;
        return true;
    }
    if (!writeTail_.empty() && Writable(fd_)) PushWrite();
    if (writeTail_.empty() && (writeErrno_ != 0 || OutputQueued() == 0)) writeDraining_ = false;
    if (WritePending() && writeHasDeadline_ && TickReached(TickCount(), writeDeadline_)) {
        // What the printer did not take in time is dropped; bytes the driver still holds go
        // with the next write's flush.
        writeErrno_ = ETIMEDOUT;
        writeTail_.clear();
        writeDraining_ = false;
    }
    return !WritePending();
}

void PortIo::ArmRead(size_t n) {
    readWant_ = std::clamp<size_t>(n, 1, kReadBufferSize);
    readGot_ = 0;
    readErrno_ = 0;
    readState_ = ReadState::Running;
    readStarted_ = TickCount();
    lastByteAt_ = readStarted_;
}

void PortIo::ResizeRead(size_t n) {
    if (readState_ == ReadState::Running && readGot_ == 0)
        readWant_ = std::clamp<size_t>(n, 1, kReadBufferSize);
}

int PortIo::StartRead(size_t n) {
    if (fd_ < 0) return EBADF;
    ArmRead(n);
    AdvanceRead();
    if (readState_ == ReadState::Ended && readErrno_ != 0 && readGot_ == 0) {
        int error = readErrno_;
        readState_ = ReadState::Idle;
        return error;
    }
    return 0;
}

void PortIo::EndRead(int error) {
    readErrno_ = error;
    readState_ = ReadState::Ended;
}

int PortIo::ReadAvailable() {
    for (;;) {
        // A bare printer port's driver is asked first: what its read says when empty differs.
        if (!terminal_ && !Readable(fd_)) return 0;
        const ssize_t n = ::read(fd_, readBuffer_.data() + readGot_, readWant_ - readGot_);
        if (n > 0) {
            readGot_ += static_cast<size_t>(n);
            lastByteAt_ = TickCount();
            return 0;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : errno;
        // Nothing read, no error: the line has hung up, unless it is a terminal whose minimum
        // was set to 0 behind our back (then an empty read says only that nothing is there).
        if (terminal_ && !Readable(fd_)) return 0;
        return EIO;
    }
}

void PortIo::AdvanceRead() {
    if (readState_ != ReadState::Running) return;
    if (fd_ < 0) return EndRead(EBADF);
    if (readGot_ < readWant_) {
        if (int error = ReadAvailable(); error != 0) return EndRead(error);
    }
    const CommTimeouts& t = timeouts_;
    uint32_t now = TickCount();
    uint32_t total = Total(t.ReadTotalTimeoutMultiplier, readWant_, t.ReadTotalTimeoutConstant);
    bool totalPassed = total != 0 && TickReached(now, readStarted_ + total);
    if (readGot_ >= readWant_) return EndRead(0);
    if (t.ReadIntervalTimeout == CommTimeouts::kNoInterval) {
        // Return with what is there; with no total at all even with nothing.
        if (readGot_ > 0 || total == 0 || totalPassed) EndRead(0);
        return;
    }
    if (totalPassed) return EndRead(0);
    if (t.ReadIntervalTimeout != 0 && readGot_ > 0 &&
        TickReached(now, lastByteAt_ + t.ReadIntervalTimeout))
        EndRead(0);
}

bool PortIo::ReadDone() {
    AdvanceRead();
    return readState_ == ReadState::Ended;
}

std::string PortIo::TakeRead() {
    std::string data(readBuffer_.data(), readState_ == ReadState::Ended ? readGot_ : 0);
    readState_ = ReadState::Idle;
    readGot_ = 0;
    return data;
}

void PortIo::CancelRead() {
    readState_ = ReadState::Idle;
    readGot_ = 0;
}

void PortIo::AwaitRead() {
    if (fd_ < 0) return;
    if (readState_ == ReadState::Ended) {
        WakeEvents();
    } else if (readState_ == ReadState::Running && terminal_) {
        WatchInput(fd_);
    }
}

void PortIo::StopAwaiting() {
    if (fd_ >= 0) UnwatchInput(fd_);
}

}  // namespace posbench
