#include "comm/devices/ParallelDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "base/Events.h"
#include "base/RuntimeError.h"
#include "base/Tick.h"
#include "comm/CommGlobals.h"

namespace posbench {

namespace {


// The printer's back channel needs a moment between the end of a write or read and the next
// turn of the line.
constexpr int16_t kWriteAfterReadWait = 15;
constexpr int16_t kTurnWait = 4;

}  // namespace

// Settings start from the opening defaults so that applying them to a terminal line (an
// adaptor or test line) never meets an empty record.
clsLPT::clsLPT() : PortDevice("clsLPT") { mDCB.SetDefaults(); }

clsLPT::~clsLPT() { ClosePath(); }

int16_t clsLPT::GetNumFromDevname(const std::string& name) {
    try {
        return NumberAfter(name, "LPT", 0x7FFF);
    } catch (...) {
        mstrLastError = FailureLine(Prefix("GetNumFromDevname"));
        return 0;
    }
}

void clsLPT::WaitTimeLPT(int16_t n) {
    try {
        if (n <= 0) return;
        uint32_t deadline = TickCount() + static_cast<uint32_t>(n);
        // Also bounded in real time, so a stopped test clock cannot hold the caller.
        auto realEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(n);
        for (;;) {
            uint32_t now = TickCount();
            auto realLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
                realEnd - std::chrono::steady_clock::now());
            if (TickReached(now, deadline) || realLeft.count() <= 0) break;
            WaitEvents(std::min(std::chrono::milliseconds(deadline - now), realLeft));
        }
    } catch (...) {
        mstrLastError = FailureLine("LPT WaitTimeLPT Error: ");
    }
}

bool clsLPT::OpenComm(const std::string& CommDeviceName) {
    try {
        mstrLastError.clear();
        mstrLastReason.clear();
        int16_t number = GetNumFromDevname(CommDeviceName);
        if (number == 0) {
            // Only LPTn names map onto a device here.
            mstrLastError = WithCode("Invalid Handle: ", ENOENT);
            return false;
        }
        std::string path = DevicePath("LPT" + std::to_string(number));
        if (path.empty()) path = "/dev/lp" + std::to_string(number - 1);
        if (!OpenPath(path, false, "lp")) return false;
        // A printer port reached through a terminal line (adaptor, test line) must pass bytes
        // untouched; a bare printer port has nothing to set.
        if (int error = mPort.MakeRaw(); error != 0) {
            CloseComm();
            mstrLastError = WithCode("Set CommState Error: ", error);
            return false;
        }
        ReadIntervalTimeout(-1);
        ReadTotalTimeoutMultiplier(1);
        ReadTotalTimeoutConstant(3000);
        WriteTotalTimeoutMultiplier(100);
        WriteTotalTimeoutConstant(3000);
        SetCommTimeouts();
        mbReadIdle = true;
        return true;
    } catch (...) {
        std::string failure = FailureLine(Prefix("OpenComm"));
        ClosePath();
        mstrLastError = failure;
        return false;
    }
}

bool clsLPT::CloseComm() {
    try {
        if (!mPort.IsOpen()) return true;
        mbReadIdle = true;
        if (int error = ClosePath(); error != 0) {
            mstrLastError = WithCode("Error Closing LPT Port ", error);
            return false;
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("CloseComm"));
        return false;
    }
}

bool clsLPT::WriteComm(const std::string& sLine) {
    try {
        if (!mbReadIdle) WaitTimeLPT(kWriteAfterReadWait);
        if (int error = mPort.StartWrite(sLine); error != 0) {
            mstrLastError = WithCode("Start Write Error: ", error);
            return false;
        }
        TraceSent(sLine);
        return true;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("WriteComm"));
        return false;
    }
}

bool clsLPT::ReadComm(int32_t lReadFlg) {
    try {
        mlStopRead = lReadFlg;
        WaitTimeLPT(kTurnWait);
        if (!mbDataAvailable || mlRcvCount < mlReadCount) {
            if (!mbDataAvailable) {
                msBuffer.clear();
                mbDataAvailable = false;
            }
            if (mbReadIdle) {
                if (!StartInput(NextReadSize())) return false;
                mbReadIdle = false;
            }
            mPort.AwaitRead();
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("ReadComm"));
        return false;
    }
}

bool clsLPT::Step(bool& appended) {
    appended = false;
    mstrLastError.clear();
    // Between exchanges no read runs: the read is complete while its count stays reached.
    if (mbReadIdle) return mlRcvCount >= mlReadCount;
    if (!CollectRead(appended)) {
        mPort.AwaitRead();
        return false;
    }
    if (mlRcvCount < mlReadCount) {
        if (StartInput(NextReadSize()))
            mPort.AwaitRead();
        else
            mbReadIdle = true;  // ReadComm may start afresh
        return false;
    }
    mPort.StopAwaiting();
    mbReadIdle = true;
    mlStopRead = 1;
    WaitTimeLPT(kTurnWait);
    return true;
}

bool clsLPT::ReadIsComplete() {
    try {
        bool appended = false;
        return Step(appended);
    } catch (...) {
        mstrLastError = FailureLine(Prefix("ReadIsComplete"));
        return false;
    }
}

bool clsLPT::DataAvailable() {
    try {
        bool appended = false;
        Step(appended);
        return appended;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("DataAvailable"));
        return false;
    }
}

bool clsLPT::ReadShutdown(int32_t lType) {
    mPort.CancelRead();
    mPort.StopAwaiting();
    mbReadIdle = true;
    mlStopRead = lType;
    return true;
}

bool clsLPT::PollDev() {
    try {
        return ReadComm(STOP_R);
    } catch (...) {
        mstrLastError = FailureLine(Prefix("PollDev", false));
        return false;
    }
}

}  // namespace posbench
