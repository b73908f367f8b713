#include "comm/devices/ReaderDevice.h"

#include <chrono>

#include "base/Events.h"
#include "base/RuntimeError.h"
#include "base/Tick.h"

namespace posbench {

void ReaderDevice::ReadTh_oRead(int32_t NumRcvd, const std::string& data) {
    try {
        mstrLastError.clear();
        if (NumRcvd != 0) {
            TraceReceived(data);
            mbDataAvailable = true;
            mlRcvCount += NumRcvd;
            msBuffer += data;
        }
    } catch (...) {
        mstrLastError = FailureLine(ReadEventErrorPrefix());
    }
}

bool ReaderDevice::ReadIsComplete() { return mlRcvCount >= mlReadCount; }

bool ReaderDevice::BlockIsComplete() { return mbDataAvailable; }

std::string ReaderDevice::GetReadData() {
    try {
        std::string data = std::move(msBuffer);
        msBuffer.clear();
        mbDataAvailable = false;
        if (mlRcvCount >= mlReadCount) {
            mlReadCount = 0;
            mlBlockCount = 0;
            mlRcvCount = 0;
        }
        return data;
    } catch (...) {
        mstrLastError = FailureLine(GetReadDataErrorPrefix());
        return {};
    }
}

bool ReaderDevice::ReadShutdown(int32_t lType) {
    try {
        mstrLastError.clear();
        StopRead(lType);
        if (!ReadStopped() && lType == STOP_R_FORCE) SendReleaseCommand();
        if (WaitReadStopped(kReadShutdownWaitMs)) return true;
        mstrLastError = ShutdownTimeoutText();
        return false;
    } catch (...) {
        mstrLastError = FailureLine(ReadShutdownErrorPrefix());
        return false;
    }
}

void ReaderDevice::ReaderLinkLost(const std::string& why) {
    mstrLinkLost = why;
    mstrLastError = why;
    mbReadStopped = true;
}

void ReaderDevice::ResetReadState() {
    mstrLinkLost.clear();
    mlStopRead = STOP_R;
    mlReadCount = 1;
    mlBlockCount = 1;
    mlRcvCount = 0;
    msBuffer.clear();
    mbDataAvailable = false;
    mbReadStopped = true;
}

bool ReaderDevice::WaitReadStopped(uint32_t maxMs) {
    const uint32_t deadline = TickCount() + maxMs;
    while (!ReadStopped()) {
        if (TickReached(TickCount(), deadline)) return false;
        WaitEvents(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace posbench
