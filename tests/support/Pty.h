#pragma once
// A pseudo-terminal pair standing in for a serial line: the engine opens the slave path as its
// device, the test plays the printer on the master side. The object keeps a slave descriptor of
// its own open, so the line stays up while the device under test closes and reopens it. Both
// ends start raw: bytes pass unchanged, without echo.
#include <termios.h>

#include <chrono>
#include <string>

namespace posbench::test {

class Pty {
public:
    Pty();   // throws std::runtime_error when no pseudo-terminal can be had
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }
    int SlaveFd() const { return slave_; }
    termios Settings() const;  // the line as the device has set it
    void CloseMaster();        // the printer hangs up

    // What the printer side sends to the engine.
    void Write(const std::string& bytes) const;
    // Writes and returns once the bytes wait in the line's input queue (false when they never
    // arrive), so the device's next look finds them.
    bool Send(const std::string& bytes) const;
    int InputQueued() const;
    // What the engine sent, until count bytes are in or the time is up; the engine's notices
    // run meanwhile.
    std::string Read(std::size_t count,
                     std::chrono::milliseconds timeout = std::chrono::seconds(3)) const;
    // Everything the engine sends until the line stays quiet for `quiet`.
    std::string Drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(100)) const;

private:
    bool ReadSome(std::string& got, std::size_t most) const;

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace posbench::test
