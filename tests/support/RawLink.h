#pragma once
// A plain client of the simulated printer or of a device under test: raw sockets, the pty slave,
// the FIFOs. It shares nothing with the engine's devices, so a failure points at the other side.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "support/Wait.h"

namespace posbench::test {

class RawLink {
public:
    RawLink() = default;
    RawLink(int readFd, int writeFd) : rd_(readFd), wr_(writeFd) {}
    ~RawLink() {
        if (rd_ >= 0) ::close(rd_);
        if (wr_ >= 0 && wr_ != rd_) ::close(wr_);
    }
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
            if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
                return (connected = fd) >= 0;
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

    // The requests here are short: the link takes them whole. A socket whose peer has gone fails
    // the test instead of ending it with SIGPIPE.
    void Write(const std::string& bytes) const {
        ssize_t n = ::send(wr_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) n = ::write(wr_, bytes.data(), bytes.size());
        EXPECT_EQ(n, static_cast<ssize_t>(bytes.size()));
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

private:
    int rd_ = -1;
    int wr_ = -1;
    bool ended_ = false;
};

}  // namespace posbench::test
