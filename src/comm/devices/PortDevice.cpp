#include "comm/devices/PortDevice.h"

#include <cerrno>
#include <cmath>
#include <sys/ioctl.h>

#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "comm/devices/OpenFailure.h"

namespace posbench {

namespace {


// Modem lines a comm-event mask watches.
int LinesOfMask(int32_t mask) {
    int lines = 0;
    if (mask & EV_CTS) lines |= TIOCM_CTS;
    if (mask & EV_DSR) lines |= TIOCM_DSR;
    if (mask & EV_RLSD) lines |= TIOCM_CD;
    if (mask & EV_RING) lines |= TIOCM_RI;
    return lines;
}

}  // namespace

PortDevice::PortDevice(std::string className) : mClassName(std::move(className)) {}

std::string PortDevice::Prefix(const char* member, bool comma) const {
    return mClassName + (comma ? ", " : " ") + member + " Error: ";
}

int16_t PortDevice::NumberAfter(const std::string& name, const char* letters, int maxNumber) {
    std::string head(letters);
    if (!EqualsNoCase(Left(name, static_cast<long>(head.size())), head)) return 0;
    double value = Val(Mid(name, static_cast<long>(head.size()) + 1));
    if (value < 1 || value > maxNumber || value != std::floor(value)) return 0;
    return static_cast<int16_t>(value);
}

int32_t PortDevice::NextReadSize() const {
    int64_t missing = static_cast<int64_t>(mlReadCount) - mlRcvCount;
    int64_t n = mlBlockCount;
    if (mlBlockCount < 2 || mlBlockCount > missing) n = missing;
    if (n < 1) n = 1;
    if (n > static_cast<int64_t>(PortIo::kReadBufferSize)) n = PortIo::kReadBufferSize;
    return static_cast<int32_t>(n);
}

bool PortDevice::OpenPath(const std::string& path, bool requireTerminal,
                          const char* accessGroup) {
    if (mPort.IsOpen()) ClosePath();
    int error = mPort.Open(path, requireTerminal);
    if (error != 0) {
        mstrLastError = WithCode("Invalid Handle: ", error);
        mstrLastReason = OpenFailureReason(path, error, accessGroup);
        return false;
    }
    mPath = path;
    mstrLastError.clear();
    ResetOpenState();
    mWatchPending = false;
    return true;
}

int PortDevice::ClosePath() {
    mWatchPending = false;
    mPath.clear();
    return mPort.Close();
}

bool PortDevice::ConfigureComm() {
    try {
        mstrLastError.clear();
        if (!mPort.IsOpen()) {
            mstrLastError = WithCode("Set CommState Error: ", EBADF);
            return false;
        }
        if (!mPort.IsTerminal()) return true;  // a bare printer port has no line settings
        if (!mDCB.SetCommState(mPort.Fd())) {
            mstrLastError = WithCode("Set CommState Error: ", mDCB.LastErrno());
            return false;
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("ConfigureComm"));
        return false;
    }
}

bool PortDevice::GetCommTimeouts() {
    mTimeouts = mPort.Timeouts();
    return true;
}

bool PortDevice::SetCommTimeouts() {
    mPort.Timeouts(mTimeouts);
    return true;
}

bool PortDevice::WriteIsComplete() {
    try {
        if (!mPort.WritePending()) return true;
        if (!mPort.WriteDone()) return false;
        if (int error = mPort.WriteErrno(); error != 0) {
            mstrLastError = WithCode(error == ETIMEDOUT ? "Write Timeout Error: " : "Write Error: ",
                                     error);
            mstrWriteFailure = mstrLastError;
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("WriteIsComplete"));
        return false;
    }
}

bool PortDevice::StartInput(int32_t n) {
    try {
        mPort.CancelRead();
        int error = mPort.StartRead(static_cast<size_t>(n < 1 ? 1 : n));
        if (error != 0) {
            mstrLastError = WithCode("Start Read Error: ", error);
            return false;
        }
        if (mPort.ReadEnded() && mPort.ReadBytes() == 0 && EmptyImmediateReadFails()) {
            mPort.CancelRead();
            mstrLastError = WithCode("Read Error: ", EAGAIN);
            return false;
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("StartInput", false));
        return false;
    }
}

bool PortDevice::CollectRead(bool& bytesAppended) {
    bytesAppended = false;
    const bool wasRunning = mPort.ReadStarted();
    if (wasRunning) mPort.ResizeRead(static_cast<size_t>(ReadSizeNow()));
    if (wasRunning && !mPort.ReadDone()) return false;
    int error = mPort.ReadErrno();
    std::string data = mPort.TakeRead();
    if (!data.empty()) {
        TraceReceived(data);
        mbDataAvailable = true;
        mlRcvCount += static_cast<int32_t>(data.size());
        msBuffer += data;
        bytesAppended = true;
    }
    if (error != 0) {
        mstrLastError = WithCode("Read Error: ", error);
        // A terminal line whose read fails has hung up: the printer's side is gone. Told once,
        // when the read ends, not again for the error an idle line keeps reporting.
        if (mPort.IsTerminal() && wasRunning) mstrLinkLost = mstrLastError + " (the line hung up)";
    }
    return true;
}

// Only reports: collecting here could complete the counted read behind ReadIsComplete's back,
// and the fetch that follows would then reset the counts before the read was ever reported
// complete. ReadIsComplete and DataAvailable are the polls that collect.
bool PortDevice::BlockIsComplete() { return mbDataAvailable; }

std::string PortDevice::GetReadData() {
    try {
        return TakeReadData(1);
    } catch (...) {
        mstrLastError = FailureLine(Prefix("GetReadData"));
        return {};
    }
}

bool PortDevice::EventWatchStartedOk(int32_t lMask) {
    try {
        if (mWatchPending) return true;
        if (!mPort.IsOpen()) {
            mstrLastError = WithCode("Set CommMask Error: ", EBADF);
            return false;
        }
        mWatchLines = 0;
        if (LinesOfMask(lMask) != 0) {
            if (int error = mPort.ModemLines(mWatchLines); error != 0) {
                mstrLastError = WithCode("Set CommMask Error: ", error);
                return false;
            }
        }
        mWatchMask = lMask;
        mWatchPending = true;
        return true;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("EvWatchStarted"));
        return false;
    }
}

bool PortDevice::EventOccurred() {
    try {
        if (!mWatchPending) return true;
        bool occurred = (mWatchMask & EV_RXCHAR) != 0 && mPort.InputWaiting();
        if (int watched = LinesOfMask(mWatchMask); !occurred && watched != 0) {
            int lines = 0;
            if (int error = mPort.ModemLines(lines); error != 0) {
                mstrLastError = WithCode("Wait Comm Event Error: ", error);
                occurred = true;  // the watch cannot go on; report it ended
            } else {
                occurred = ((lines ^ mWatchLines) & watched) != 0;
            }
        }
        if (occurred) mWatchPending = false;
        return occurred;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("EventOccurred"));
        return false;
    }
}

}  // namespace posbench
