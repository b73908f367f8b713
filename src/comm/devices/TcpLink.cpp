#include "comm/devices/TcpLink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/Events.h"
#include "base/Numbers.h"
#include "base/Tick.h"
#include "comm/devices/TcpResolve.h"

namespace posbench {
namespace {

constexpr int kConnectPollMs = 10;
// What the system may hold of the tool's bytes on their way to the printer (it doubles it). A
// printer takes a few kilobytes at a time; on loopback the system would otherwise take a whole
// firmware file at once, report it sent, and leave a printer that stopped reading unnoticed
// until the time-out of a write that never waits.
constexpr int kSendBufferBytes = 64 << 10;

// A fresh non-blocking stream socket of family with the bounded send buffer; -1 with errno.
int StreamSocket(int family) {
    const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSendBufferBytes, sizeof kSendBufferBytes);
    return fd;
}

// "host", "host:port" or "SERVER:port": the port after the last colon, else the default.
// False when the port is not a number from 1 to 65535.
bool SplitPort(const std::string& name, uint16_t defaultPort, std::string& host, uint16_t& port) {
    const auto colon = name.rfind(':');
    host = name.substr(0, colon);
    port = defaultPort;
    if (colon == std::string::npos) return true;
    const std::string digits = name.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const long value = std::stol(digits);
    if (value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool WouldBlock(int code) { return code == EAGAIN || code == EWOULDBLOCK; }

std::string StartupError(int code) {
    return "TCP Startup Error : " + CStr(code) + " " + "Is IP address correct?";
}

class TcpLink : public ByteLink {
public:
    TcpLink(int socket, bool server) : socket_(socket), server_(server) {}
    ~TcpLink() override { Close(); }

    int ReadFd() const override { return server_ && accepted_ < 0 ? socket_ : DataFd(); }

    long Read(char* area, size_t n, int& code) override {
        const int fd = DataFd();
        if (fd < 0) return 0;
        for (;;) {
            const ssize_t got = recv(fd, area, n, MSG_DONTWAIT);
            if (got > 0) return got;
            if (got == 0) {
                code = 0;  // the printer has closed its side
                return -1;
            }
            if (errno == EINTR) continue;
            if (WouldBlock(errno)) return 0;
            code = errno;
            return -1;
        }
    }

    long Write(const char* bytes, size_t n, int& code) override {
        // A listening socket carries no data: the printer's connection does, taken here when it
        // is already waiting and no read has taken it yet.
        if (server_) AcceptWaiting();
        const int fd = DataFd();
        if (fd < 0) {
            code = ENOTCONN;
            return -1;
        }
        for (;;) {
            const ssize_t sent = send(fd, bytes, n, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent >= 0) return sent;
            if (errno == EINTR) continue;
            if (WouldBlock(errno)) return 0;
            code = errno;
            return -1;
        }
    }

    int WriteFd() const override { return DataFd(); }

    std::string Close() override {
        DropConnection();
        std::string error;
        if (socket_ >= 0 && close(socket_) != 0) error = "TCP Close Socket Error: " + CStr(errno);
        socket_ = -1;
        return error;
    }

    bool ServerMode() const override { return server_; }

    int AcceptWaiting() override {
        if (!server_ || accepted_ >= 0) return 0;
        const int fd = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            accepted_ = fd;
            return 0;
        }
        // None yet, someone else took it, or it gave up before we got to it: wait on.
        if (WouldBlock(errno) || errno == EINTR || errno == ECONNABORTED) return EAGAIN;
        return errno;
    }

    void DropConnection() override {
        if (accepted_ >= 0) close(accepted_);
        accepted_ = -1;
    }

private:
    int DataFd() const { return server_ ? accepted_ : socket_; }

    int socket_;
    int accepted_ = -1;
    bool server_;
};

// Connects socket to address by the deadline without blocking, the events flowing meanwhile:
// an address that never answers would otherwise hold the whole program for minutes. 0, or the
// error number.
int Connect(int socket, const TcpAddress& address, uint32_t deadline) {
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address.address), address.length) == 0)
        return 0;
    int code = errno;
    if (code != EINPROGRESS && code != EINTR) return code;
    while (!TickReached(TickCount(), deadline)) {
        pollfd pending{socket, POLLOUT, 0};
        const int ready = poll(&pending, 1, kConnectPollMs);
        if (ready > 0) {
            socklen_t size = sizeof code;
            if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &code, &size) != 0) code = errno;
            return code;
        }
        if (ready < 0 && errno != EINTR) return errno;
        DoEvents();
    }
    return ETIMEDOUT;
}

}  // namespace

std::unique_ptr<ByteLink> OpenTcpClient(const std::string& target, uint32_t timeoutMs,
                                        std::string& error, std::string& reason) {
    std::string host;
    uint16_t port = kTcpClientPort;
    if (!SplitPort(target, kTcpClientPort, host, port) || host.empty()) {
        error = "TCP Connect Error: " + CStr(EADDRNOTAVAIL);
        return nullptr;
    }
    // One bound for the whole open, name lookup included.
    const uint32_t deadline = TickCount() + timeoutMs;
    std::string lookupError;
    const std::vector<TcpAddress> addresses = ResolveTcpHost(host, port, timeoutMs, lookupError);
    if (addresses.empty()) {
        error = "TCP Connect Error: " + lookupError;
        return nullptr;
    }
    int code = ETIMEDOUT;
    for (const TcpAddress& address : addresses) {
        if (TickReached(TickCount(), deadline)) break;
        const int fd = StreamSocket(address.family);
        if (fd < 0) {
            error = StartupError(errno);
            return nullptr;
        }
        code = Connect(fd, address, deadline);
        // The socket stays non-blocking: reads and writes never wait on the printer.
        if (code == 0) return std::make_unique<TcpLink>(fd, false);
        close(fd);
    }
    error = "TCP Connect Error: " + CStr(code);
    reason = target + ": " + std::strerror(code);
    return nullptr;
}

std::unique_ptr<ByteLink> OpenTcpServer(const std::string& name, std::string& error) {
    std::string host;
    uint16_t port = kTcpServerPort;
    if (!SplitPort(name, kTcpServerPort, host, port)) {
        error = "TCP Connect Error: " + CStr(EINVAL);
        return nullptr;
    }
    // Accepted connections inherit the listening socket's send buffer.
    const int fd = StreamSocket(AF_INET);
    if (fd < 0) {
        error = StartupError(errno);
        return nullptr;
    }
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 1) != 0) {
        error = "TCP Connect Error: " + CStr(errno);
        close(fd);
        return nullptr;
    }
    return std::make_unique<TcpLink>(fd, true);
}

}  // namespace posbench
