#pragma once
// A plain client for the simulated printer: raw sockets, the pty slave, the FIFOs. It shares
// nothing with the engine's devices, so a test failure points at the printer alone.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/PrinterBytes.h"
#include "support/Wait.h"

namespace posbench::test {

class RawLink {
public:
    RawLink() = default;
    RawLink(int readFd, int writeFd) : rd_(readFd), wr_(writeFd) {}
    ~RawLink() { Close(); }
    RawLink(RawLink&& o) noexcept : rd_(o.rd_), wr_(o.wr_) { o.rd_ = o.wr_ = -1; }

    // Connects to 127.0.0.1:port, trying again until the time is up; an invalid link when it fails.
    static RawLink Tcp(int port, int timeoutMs = 3000) {
        int connected = -1;
        PumpUntil([&] {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<uint16_t>(port));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return (connected = fd) >= 0;
            ::close(fd);
            return false;
        }, timeoutMs);
        return {connected, connected};
    }
    // Opens the pty slave through its link, raw, as a serial device would be opened.
    static RawLink Pty(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return {};
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
        return {fd, fd};
    }
    static RawLink Fifo(const std::string& dir) {
        const int rd = ::open((dir + "/from-printer").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const int wr = ::open((dir + "/to-printer").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        return {rd, wr};
    }

    bool Valid() const { return rd_ >= 0 && wr_ >= 0; }

    bool Write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(wr_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EAGAIN) {
                pollfd p{wr_, POLLOUT, 0};
                ::poll(&p, 1, 1000);
                continue;
            }
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Reads until n bytes have arrived, the link ends, or timeoutMs passes.
    std::string Read(std::size_t n, int timeoutMs = 3000) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now()).count();
            if (left <= 0) break;
            pollfd p{rd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char buf[8192];
            const ssize_t r = ::read(rd_, buf, std::min(sizeof buf, n - got.size()));
            if (r > 0) got.append(buf, static_cast<std::size_t>(r));
            else if (r == 0 || errno != EAGAIN) { ended_ = true; break; }
        }
        return got;
    }

    // True when the peer hangs up (end of file, hang-up or I/O error) within the timeout.
    bool WaitEnded(int timeoutMs) {
        Read(1u << 20, timeoutMs);
        return ended_;
    }

    void Close() {
        if (rd_ >= 0) ::close(rd_);
        if (wr_ >= 0 && wr_ != rd_) ::close(wr_);
        rd_ = wr_ = -1;
    }

private:
    int rd_ = -1;
    int wr_ = -1;
    bool ended_ = false;
};

// CPU time (user + system) a process has used so far, from /proc/PID/stat.
inline std::chrono::milliseconds CpuTimeOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));  // the name may hold blanks
    std::string skip;
    for (int i = 3; i < 14; ++i) fields >> skip;  // state .. cmajflt
    long long utime = 0, stime = 0;
    fields >> utime >> stime;
    return std::chrono::milliseconds((utime + stime) * 1000 / sysconf(_SC_CLK_TCK));
}

// A printer with nothing to do sleeps in poll: over a quiet 300 ms it may use a few ticks of
// CPU, never the most of it that a loop over a hung-up or closed descriptor would.
inline void ExpectIdleWithoutCpu(pid_t pid) {
    const auto before = CpuTimeOf(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(CpuTimeOf(pid) - before, std::chrono::milliseconds(60)) << "the printer spins";
}

}  // namespace posbench::test
