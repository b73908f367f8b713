#include "comm/devices/TcpDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/Events.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Tick.h"
#include "comm/devices/TcpResolve.h"

namespace posbench {
namespace {

constexpr int kConnectPollMs = 10;

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

bool SetBlocking(int fd, bool blocking) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return false;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
}

bool SendAll(int fd, const std::string& bytes, int& code) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            code = errno;
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

clsTCP::clsTCP() { mstrLastError = mReader.LastRdError(); }

clsTCP::~clsTCP() {
    mReader.CloseTCPRdThread();
    CloseSocket();
}

void clsTCP::CloseSocket() {
    if (mSocket >= 0) close(mSocket);
    mSocket = -1;
}

bool clsTCP::OpenComm(const std::string& CommDeviceName) {
    try {
        // Opening an open port again starts it afresh instead of leaking the old connection.
        if (mSocket >= 0) CloseComm();
        mstrLastError = "False";
        mstrLastReason.clear();
        ResetReadState();
        mbWriteComplete = true;
        const std::string upper = UCase(CommDeviceName);
        if (upper == "SERVER" || Left(upper, 7) == "SERVER:") return OpenCommS(CommDeviceName);
        return OpenCommC(CommDeviceName);
    } catch (...) {
        CloseSocket();
        mstrLastError = FailureLine("clsTCP, OpenComm Error: ");
        return false;
    }
}

bool clsTCP::OpenCommC(const std::string& CommDeviceName) {
    mbServerMode = false;
    std::string host;
    uint16_t port = kTcpClientPort;
    const std::string target = Trim(CommDeviceName);
    if (!SplitPort(target, kTcpClientPort, host, port) || host.empty()) {
        mstrLastError = "TCP Connect Error: " + CStr(EADDRNOTAVAIL);
        return false;
    }
    // One bound for the whole open, name lookup included.
    const uint32_t deadline = TickCount() + mlConnectTimeoutMs;
    std::string lookupError;
    const std::vector<TcpAddress> addresses =
        ResolveTcpHost(host, port, mlConnectTimeoutMs, lookupError);
    if (addresses.empty()) {
        mstrLastError = "TCP Connect Error: " + lookupError;
        return false;
    }
    int code = ETIMEDOUT;
    for (const TcpAddress& address : addresses) {
        if (TickReached(TickCount(), deadline)) break;
        mSocket = socket(address.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (mSocket < 0) {
            mstrLastError = "TCP Startup Error : " + CStr(errno) + " " + "Is IP address correct?";
            return false;
        }
        code = Connect(address, deadline);
        if (code == 0) return FinishOpen();
        CloseSocket();
    }
    mstrLastError = "TCP Connect Error: " + CStr(code);
    mstrLastReason = target + ": " + std::strerror(code);
    return false;
}

int clsTCP::Connect(const TcpAddress& address, uint32_t deadline) {
    // Connect without blocking and keep the events flowing: an address that never answers
    // would otherwise hold the whole program for minutes.
    int code = 0;
    if (connect(mSocket, reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0) {
        code = errno;
        if (code == EINPROGRESS || code == EINTR) {
            code = ETIMEDOUT;
            while (!TickReached(TickCount(), deadline)) {
                pollfd pending{mSocket, POLLOUT, 0};
                const int ready = poll(&pending, 1, kConnectPollMs);
                if (ready > 0) {
                    socklen_t size = sizeof code;
                    if (getsockopt(mSocket, SOL_SOCKET, SO_ERROR, &code, &size) != 0) code = errno;
                    break;
                }
                if (ready < 0 && errno != EINTR) {
                    code = errno;
                    break;
                }
                DoEvents();
            }
        }
    }
    if (code == 0 && !SetBlocking(mSocket, true)) code = errno;
    return code;
}

bool clsTCP::OpenCommS(const std::string& CommDeviceName) {
    mbServerMode = true;
    std::string host;
    uint16_t port = kTcpServerPort;
    if (!SplitPort(Trim(CommDeviceName), kTcpServerPort, host, port)) {
        mstrLastError = "TCP Connect Error: " + CStr(EINVAL);
        return false;
    }
    // Non-blocking, so that the reader's accept never hangs on a connection that went away
    // between its poll and its accept.
    mSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (mSocket < 0) {
        mstrLastError = "TCP Startup Error : " + CStr(errno) + " " + "Is IP address correct?";
        return false;
    }
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (setsockopt(mSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(mSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(mSocket, 1) != 0) {
        mstrLastError = "TCP Connect Error: " + CStr(errno);
        CloseSocket();
        return false;
    }
    return FinishOpen();
}

bool clsTCP::FinishOpen() {
    if (!mReader.OpenRdThread()) {
        std::string reason = mReader.LastRdError();
        CloseComm();
        mstrLastError = reason;
        return false;
    }
    return true;
}

bool clsTCP::CloseComm() {
    mstrLastError.clear();
    if (!mReader.CloseTCPRdThread()) mstrLastError = mReader.LastRdError();
    mbReadStopped = true;
    if (mSocket >= 0 && close(mSocket) != 0) mstrLastError = "TCP Close Socket Error: " + CStr(errno);
    mSocket = -1;
    return mstrLastError.empty();
}

bool clsTCP::WriteComm(const std::string& sLine) {
    try {
        mstrLastError.clear();
        mbWriteComplete = true;
        int fd = mSocket;
        if (mbServerMode) {
            // A listening socket carries no data: write to the printer's connection, taking
            // one that is already waiting when no read has accepted it yet.
            if (mbReadStopped && mSocket >= 0) mReader.AcceptWaiting(mSocket);
            fd = mReader.DataSocket();
        }
        int code = ENOTCONN;
        if (fd < 0 || !SendAll(fd, sLine, code)) {
            mstrLastError = "TCP Write Socket Error" + CStr(code);
            return false;
        }
        TraceSent(sLine);
        return true;
    } catch (...) {
        mstrLastError = FailureLine("clsTCP, WriteComm Error: ");
        return false;
    }
}

bool clsTCP::WriteIsComplete() { return mbWriteComplete; }

bool clsTCP::ReadComm(int32_t lReadFlg) {
    try {
        mstrLastError.clear();
        if (mbDataAvailable && mlRcvCount >= mlReadCount) return true;
        if (!mbDataAvailable) {
            msBuffer.clear();
            mlRcvCount = 0;
        }
        mbDataAvailable = false;
        mlStopRead = lReadFlg;
        if (mbReadStopped) {
            // Marked running first: the reader may report its end before StartRead returns.
            mbReadStopped = false;
            if (!mReader.StartRead(mlReadCount, mlBlockCount, mSocket, *this)) {
                mbReadStopped = true;
                mstrLastError = mReader.LastRdError();
                return false;
            }
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine("clsTCP, ReadComm Error: ");
        return false;
    }
}

void clsTCP::SendReleaseCommand() {
    int code = 0;
    if (mReader.DataSocket() >= 0 && SendAll(mReader.DataSocket(), kReadReleaseCommand, code))
        TraceSent(kReadReleaseCommand);
}

bool clsTCP::PollDev() {
    try {
        mbPoll = true;
        return ReadComm(0);
    } catch (...) {
        mstrLastError = FailureLine("TCP PollDev Error: ");
        return false;
    }
}

void clsTCP::WaitTimeTCP(int16_t iTime) {
    try {
        const uint32_t deadline = TickCount() + static_cast<uint32_t>(std::max<int16_t>(iTime, 0));
        while (!TickReached(TickCount(), deadline)) WaitEvents(std::chrono::milliseconds(10));
    } catch (...) {
        mstrLastError = FailureLine("TCP WaitTimeTCP Error: ");
    }
}

}  // namespace posbench
