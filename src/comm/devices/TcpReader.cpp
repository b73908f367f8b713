#include "comm/devices/TcpReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "comm/devices/OwnedFd.h"
#include "comm/devices/TcpDevice.h"

namespace posbench {
namespace {
std::string SystemErrorLine(const char* prefix, int code) {
    return std::string(prefix) + CStr(code) + " " + std::strerror(code);
}
}  // namespace

clsTCPRd::~clsTCPRd() { CloseTCPRdThread(); }

bool clsTCPRd::OpenRdThread() {
    mstrLastRdError.clear();
    int code = 0;
    if (!mWorker.Start(code)) {
        mstrLastRdError = SystemErrorLine("clsTCPRd, OpenRdThread Error: ", code);
        return false;
    }
    return true;
}

bool clsTCPRd::CloseTCPRdThread() {
    mWorker.Stop();
    mbStepPending = false;
    CloseAccepted();
    mDevice = nullptr;
    return true;
}

void clsTCPRd::CloseAccepted() {
    if (mAccepted >= 0) close(mAccepted);
    mAccepted = -1;
}

bool clsTCPRd::AcceptWaiting(int listenSocket) {
    // Only a server takes connections: before its first read this is how the reader learns
    // that the data travels on the accepted one.
    mbServerMode = true;
    if (mAccepted >= 0) return true;
    int fd = accept4(listenSocket, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return false;
    mAccepted = fd;
    return true;
}

bool clsTCPRd::StartRead(int32_t lngWaitNumBytes, int32_t lngBlockCount, int lSocket,
                         clsTCP& objVar) {
    mstrLastRdError.clear();
    if (!mWorker.Running()) {
        mstrLastRdError = "clsTCPRd, StartRead Error: " + CStr(err::ObjectVariableNotSet) + " " +
                          ErrorDescription(err::ObjectVariableNotSet);
        return false;
    }
    mlWait = lngWaitNumBytes;
    mlBlock = lngBlockCount;
    mlRcv = 0;
    mSocket = lSocket;
    mDevice = &objVar;
    mbServerMode = objVar.ServerMode();
    if (mbStepPending) return true;
    if (mbServerMode && mAccepted < 0) {
        AcceptConnection();
    } else {
        ReadTCP();
    }
    return true;
}

void clsTCPRd::AcceptConnection() {
    const int listenSocket = mSocket;
    mbStepPending = true;
    mWorker.Run([this, listenSocket](const StopSignal& stop, const ReaderWorker::Deliver& deliver) {
        for (;;) {
            WaitResult waited = WaitReadable(listenSocket, stop, -1);
            if (waited == WaitResult::Stopped) return;
            int code = 0;
            int fd = -1;
            if (waited == WaitResult::Failed) {
                code = errno;
            } else {
                fd = accept4(listenSocket, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0) {
                    code = errno;
                    // Someone else took it, or it gave up before we got to it: wait again.
                    if (code == EAGAIN || code == EWOULDBLOCK || code == EINTR ||
                        code == ECONNABORTED)
                        continue;
                }
            }
            auto accepted = std::make_shared<OwnedFd>(fd);
            deliver([this, accepted, code] {
                mbStepPending = false;
                if (!mDevice) return;
                int fdAccepted = accepted->release();
                if (fdAccepted < 0) {
                    mstrLastRdError = "Unable to accept connection " + CStr(code);
                    mDevice->ReadStopped(true);
                    return;
                }
                CloseAccepted();
                mAccepted = fdAccepted;
                ReadTCP();
            });
            return;
        }
    });
}

void clsTCPRd::ReadTCP() {
    try {
        if (!mDevice) return;
        if (mlRcv >= mlWait) {
            mDevice->ReadStopped(true);
            return;
        }
        const int32_t want = std::clamp(std::min(mlWait - mlRcv, mlBlock), 1, kReadArea);
        const int fd = DataSocket();
        mbStepPending = true;
        mWorker.Run([this, fd, want](const StopSignal& stop, const ReaderWorker::Deliver& deliver) {
            char area[kReadArea];
            long count = -1;
            int code = 0;
            for (;;) {
                WaitResult waited = WaitReadable(fd, stop, -1);
                if (waited == WaitResult::Stopped) return;
                if (waited == WaitResult::Failed) {
                    code = errno;
                    break;
                }
                count = recv(fd, area, static_cast<size_t>(want), 0);
                if (count < 0 && errno == EINTR) continue;
                if (count < 0) code = errno;
                break;
            }
            std::string data(area, static_cast<size_t>(std::max(count, 0L)));
            deliver([this, count, code, data] { StepDone(count, code, data); });
        });
    } catch (...) {
        mstrLastRdError = FailureLine("clsTCPRd, ReadTCP Error: ");
        if (mDevice) mDevice->ReadStopped(true);
    }
}

void clsTCPRd::StepDone(long count, int errorCode, const std::string& data) {
    mbStepPending = false;
    if (!mDevice) return;
    try {
        // A peer that has closed its side keeps returning 0 at once; take it as the end of
        // the connection rather than reading on forever.
        if (count <= 0) {
            mstrLastRdError = count < 0 ? SystemErrorLine("TCP Read Error ", errorCode)
                                        : "TCP Read Error: connection closed by the printer";
            if (mbServerMode) CloseAccepted();
            mDevice->ReaderLinkLost(mstrLastRdError);
            return;
        }
        const auto received = static_cast<int32_t>(count);
        mlRcv += received;
        bool more = false;
        switch (mDevice->StopRead()) {
            case STOP_R:
                mlWait = mlBlock = mlRcv = 0;
                mDevice->ReadStopped(true);
                break;
            case STOP_R_NUM:
                mlWait = mDevice->ReadCount();
                if (mlRcv < mlWait) {
                    more = true;
                } else {
                    mlWait = mlBlock = mlRcv = 0;
                    mDevice->ReadStopped(true);
                    // The printer connects anew for its next answer.
                    if (mbServerMode) CloseAccepted();
                }
                break;
            case STOP_R_WAIT:
                more = true;
                break;
            default:
                mDevice->ReadStopped(true);
                break;
        }
        if (mlRcv >= mlWait) mlRcv = 0;
        mDevice->ReadTh_oRead(received, data);
        if (more) ReadTCP();
    } catch (...) {
        mstrLastRdError = FailureLine("clsTCPRd, ReadTCP Error: ");
        mDevice->ReadStopped(true);
    }
}

}  // namespace posbench
