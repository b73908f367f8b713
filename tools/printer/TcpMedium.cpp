// TCP printer: listening for the tool (client mode of the tool) or connecting to it (server
// mode of the tool).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "Medium.h"

namespace posbench::sim {

namespace {

constexpr int64_t kRetryMs = 250;

std::string Describe(const sockaddr_in& a) {
    char host[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
}

// Answers leave at once and every received piece is acknowledged at once, so a peer that
// writes a command header and its data separately is not held up by delayed acknowledgements.
void TuneForSmallExchanges(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

Received ReadChunk(int& fd) {
    Received r;
    char buf[4096];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n > 0) {
        r.data.assign(buf, static_cast<std::size_t>(n));
        TuneForSmallExchanges(fd);  // the kernel clears quick acknowledgement again
    } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        CloseFd(fd);
        r.sessionChanged = true;
    }
    return r;
}

class TcpListener final : public Medium {
public:
    explicit TcpListener(const std::string& hostPort) : addr_(ResolveIpv4(hostPort)) {
        if (!Listen()) throw std::runtime_error("cannot listen on " + hostPort + ": " + why_);
    }
    ~TcpListener() override {
        CloseFd(conn_);
        CloseFd(listener_);
    }
    std::string Endpoint() const override { return "tcp " + Describe(addr_); }
    void AddPollFds(std::vector<pollfd>& fds) const override {
        if (conn_ >= 0) fds.push_back({conn_, POLLIN, 0});
        else if (listener_ >= 0) fds.push_back({listener_, POLLIN, 0});
    }
    std::optional<int64_t> Deadline() const override { return relistenAt_; }
    Received Service(int64_t nowMs) override {
        if (relistenAt_ && nowMs >= *relistenAt_) {
            relistenAt_.reset();
            if (!Listen()) relistenAt_ = nowMs + kRetryMs;
        }
        if (conn_ >= 0) return ReadChunk(conn_);
        if (listener_ < 0) return {};
        conn_ = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (conn_ >= 0) TuneForSmallExchanges(conn_);
        Received r;
        r.sessionChanged = conn_ >= 0;
        return r;
    }
    int WriteFd() const override { return conn_; }
    void Drop(int64_t) override { CloseFd(conn_); }
    void PowerOff() override {
        // Listener first: a peer that sees its connection end must not get straight back in.
        CloseFd(listener_);
        CloseFd(conn_);
        relistenAt_.reset();
    }
    void PowerOn(int64_t nowMs) override {
        if (!Listen()) relistenAt_ = nowMs + kRetryMs;
    }

private:
    // Binds the remembered address; after the first bind that is the port actually chosen.
    bool Listen() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (listener_ < 0) {
            why_ = std::strerror(errno);
            return false;
        }
        const int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(listener_, reinterpret_cast<const sockaddr*>(&addr_), sizeof addr_) != 0 ||
            ::listen(listener_, 1) != 0) {
            why_ = std::strerror(errno);
            CloseFd(listener_);
            return false;
        }
        socklen_t len = sizeof addr_;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr_), &len);
        return true;
    }

    sockaddr_in addr_;
    int listener_ = -1;
    int conn_ = -1;
    std::optional<int64_t> relistenAt_;
    std::string why_;
};

class TcpConnector final : public Medium {
public:
    explicit TcpConnector(const std::string& hostPort) : addr_(ResolveIpv4(hostPort)) {}
    ~TcpConnector() override { CloseFd(fd_); }
    std::string Endpoint() const override { return "tcp-connect " + Describe(addr_); }
    void AddPollFds(std::vector<pollfd>& fds) const override {
        if (fd_ >= 0) fds.push_back({fd_, static_cast<short>(connected_ ? POLLIN : POLLOUT), 0});
    }
    std::optional<int64_t> Deadline() const override {
        if (fd_ >= 0 || off_) return std::nullopt;
        return retryAt_;
    }
    Received Service(int64_t nowMs) override {
        Received r;
        if (off_) return r;
        if (fd_ < 0) {
            if (nowMs >= retryAt_) r.sessionChanged = StartConnect(nowMs);
            return r;
        }
        if (!connected_) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 0) <= 0) return r;
            int err = 0;
            socklen_t len = sizeof err;
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
            if (err != 0) {
                Retry(nowMs);
                return r;
            }
            connected_ = true;
            TuneForSmallExchanges(fd_);
            r.sessionChanged = true;
            return r;
        }
        r = ReadChunk(fd_);
        if (fd_ < 0) Retry(nowMs);
        return r;
    }
    int WriteFd() const override { return connected_ ? fd_ : -1; }
    void Drop(int64_t nowMs) override { Retry(nowMs); }
    void PowerOff() override {
        CloseFd(fd_);
        connected_ = false;
        off_ = true;
    }
    void PowerOn(int64_t nowMs) override {
        off_ = false;
        retryAt_ = nowMs;
    }

private:
    // True when the connection was made at once (it usually completes later, in Service).
    bool StartConnect(int64_t nowMs) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            Retry(nowMs);
            return false;
        }
        connected_ = false;
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr_), sizeof addr_) == 0) {
            connected_ = true;
            TuneForSmallExchanges(fd_);
            return true;
        }
        if (errno != EINPROGRESS) Retry(nowMs);
        return false;
    }
    void Retry(int64_t nowMs) {
        CloseFd(fd_);
        connected_ = false;
        retryAt_ = nowMs + kRetryMs;
    }

    sockaddr_in addr_;
    int fd_ = -1;
    bool connected_ = false;
    bool off_ = false;
    int64_t retryAt_ = 0;
};

}  // namespace

sockaddr_in ResolveIpv4(const std::string& hostPort) {
    const auto colon = hostPort.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == hostPort.size())
        throw std::runtime_error("expected HOST:PORT, got " + hostPort);
    const std::string host = hostPort.substr(0, colon);
    const std::string port = hostPort.substr(colon + 1);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr)
        throw std::runtime_error("cannot resolve " + hostPort);
    sockaddr_in addr{};
    std::memcpy(&addr, found->ai_addr, sizeof addr);
    ::freeaddrinfo(found);
    return addr;
}

std::unique_ptr<Medium> MakeTcpListener(const std::string& hostPort) {
    return std::make_unique<TcpListener>(hostPort);
}

std::unique_ptr<Medium> MakeTcpConnector(const std::string& hostPort) {
    return std::make_unique<TcpConnector>(hostPort);
}

}  // namespace posbench::sim
