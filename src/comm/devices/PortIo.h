#pragma once
// One serial or parallel line opened non-blocking, with at most one write and one read in
// flight. Nothing here ever waits: each check is a zero-wait step that moves the transfer on
// and says whether it has finished, so the user-interface thread can poll between events.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct termios2;

namespace posbench {

// Read and write timeouts in milliseconds. A read ends when all bytes asked for are in, when
// the gap after a byte exceeds the interval, or when the total (multiplier per byte asked for
// plus constant) has passed; an interval of kNoInterval makes a read end as soon as anything
// has arrived (at once, even empty, when the total is 0). A write not taken by the driver
// within its total is dropped. A total of 0 means no limit.
struct CommTimeouts {
    static constexpr uint32_t kNoInterval = 0xFFFFFFFFu;
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

class PortIo {
public:
    static constexpr size_t kReadBufferSize = 1024;

    PortIo();
    ~PortIo();
    PortIo(const PortIo&) = delete;
    PortIo& operator=(const PortIo&) = delete;

    // Opens the path for exclusive use (no other opener may write into a transfer) and keeps
    // the line's settings to restore on Close. Returns 0 or the system's error number; a path
    // that is no terminal (requireTerminal) or no character device gives ENOTTY.
    int Open(const std::string& path, bool requireTerminal);
    // Restores the saved settings, releases the exclusive claim and closes. 0 or errno.
    int Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    bool IsTerminal() const { return terminal_; }

    // Raw bytes in both directions, keeping the line's speed; nothing to do off a terminal.
    int MakeRaw();
    // Drop what waits in the driver's output or input queue (0 or errno; 0 off a terminal).
    int FlushOutput();
    // FlushOutput, but only when the last write has not finished (still pending, or ended by
    // its timeout with bytes left in the driver): the bytes of a finished write belong to the
    // printer, and a flush could still catch them on their way (0 or errno; EBADF closed).
    int FlushUnfinishedOutput();
    int FlushInput();
    // The modem lines (TIOCM_* bits) or errno.
    int ModemLines(int& lines) const;
    // True when input is waiting in the driver (zero wait).
    bool InputWaiting() const;

    void Timeouts(const CommTimeouts& timeouts) { timeouts_ = timeouts; }
    const CommTimeouts& Timeouts() const { return timeouts_; }

    // Hands the bytes to the driver; what it does not take at once stays pending, after the
    // pending tail of an earlier write (FlushOutput drops that tail). Returns 0 or errno.
    int StartWrite(const std::string& bytes);
    // Zero-wait: passes more of the pending tail on; true once the write has finished, that is
    // once the driver's output queue has drained as well (the bytes are on the line, as a
    // write that completes on transmission), or when the write timeout has passed.
    // WriteErrno tells whether the last write ended by an error or timeout (ETIMEDOUT).
    bool WriteDone();
    bool WritePending() const { return !writeTail_.empty() || writeDraining_; }
    int WriteErrno() const { return writeErrno_; }

    // Starts a read of up to n bytes (1..kReadBufferSize) under the current timeouts and
    // tries it once at once. Returns 0 or errno.
    int StartRead(size_t n);
    // Starts a read without trying it: its first attempt comes with the next ReadDone.
    void ArmRead(size_t n);
    // A running read that has received nothing yet takes n as its size: the count asked for
    // may have changed since it started. Each attempt takes whatever the driver holds, up to
    // the size, in one system call.
    void ResizeRead(size_t n);
    // Zero-wait: moves a started read on; true once it has ended (ReadErrno tells how).
    bool ReadDone();
    bool ReadStarted() const { return readState_ != ReadState::Idle; }
    bool ReadEnded() const { return readState_ == ReadState::Ended; }
    size_t ReadBytes() const { return readGot_; }
    int ReadErrno() const { return readErrno_; }
    // The bytes of the ended read, one character per byte; the read becomes idle.
    std::string TakeRead();
    void CancelRead();

    // For a reader that has polled and still waits: makes the engine loop's input-aware wait
    // end when the read can move on. A running read on a terminal line arms a one-shot watch
    // on the descriptor; a read that has already ended (its bytes or error await collection)
    // wakes the loop at once. A bare printer port's driver may call itself readable all the
    // time, so its running read is left to the loop's bounded wait.
    void AwaitRead();
    // Drops the watch (the read completed, was shut down, or the line closes).
    void StopAwaiting();

private:
    enum class ReadState { Idle, Running, Ended };
    void AdvanceRead();
    void PushWrite();
    // Bytes waiting in the driver's output queue (0 off a terminal or when it cannot tell).
    int OutputQueued() const;
    void EndRead(int error);
    // One non-blocking read of what the driver holds, up to what the read still wants; 0 (also
    // when nothing was there) or errno.
    int ReadAvailable();

    int fd_ = -1;
    bool terminal_ = false;
    bool queued_ = false;  // a line whose driver holds written bytes until they are sent
    bool exclusive_ = false;
    std::unique_ptr<termios2> saved_;
    CommTimeouts timeouts_;

    std::string writeTail_;
    bool writeDraining_ = false;  // all handed to the driver, its output queue not yet empty
    uint32_t writeDeadline_ = 0;
    bool writeHasDeadline_ = false;
    int writeErrno_ = 0;

    std::array<char, kReadBufferSize> readBuffer_{};
    size_t readWant_ = 0;
    size_t readGot_ = 0;
    ReadState readState_ = ReadState::Idle;
    uint32_t readStarted_ = 0;
    uint32_t lastByteAt_ = 0;
    int readErrno_ = 0;
};

}  // namespace posbench
