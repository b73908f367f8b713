#pragma once
// A pseudo-terminal pair standing in for a serial line: the engine opens the slave path as its
// device, the test plays the printer on the master side. The object keeps a slave descriptor of
// its own open, so the line stays up while the device under test closes and reopens it.
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

    // What the printer side sends to the engine.
    void Write(const std::string& bytes) const;
    // Reads what the engine sent until count bytes are in or the time is up.
    std::string Read(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace posbench::test
