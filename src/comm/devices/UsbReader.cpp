#include "comm/devices/UsbReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/Tick.h"
#include "comm/devices/UsbDevice.h"

namespace posbench {

clsUSBRd::~clsUSBRd() { CloseUSBRdThread(); }

bool clsUSBRd::OpenRdThread() {
    mstrLastRdError.clear();
    int code = 0;
    if (!mWorker.Start(code)) {
        mstrLastRdError = "clsUSBRd, OpenRdThread Error: " + CStr(code) + " " + std::strerror(code);
        return false;
    }
    return true;
}

bool clsUSBRd::CloseUSBRdThread() {
    mWorker.Stop();
    mbStepPending = false;
    mDevice = nullptr;
    mLink = nullptr;
    return true;
}

bool clsUSBRd::StartRead(int32_t lngWaitNumBytes, int32_t lngBlockCount, UsbLink* RHandle,
                         clsUSB& objVar) {
    mstrLastRdError.clear();
    if (!mWorker.Running() || !RHandle) {
        mstrLastRdError = "clsUSBRd, StartRead Error: " + CStr(err::ObjectVariableNotSet) + " " +
                          ErrorDescription(err::ObjectVariableNotSet);
        return false;
    }
    mlWait = lngWaitNumBytes;
    mlBlock = lngBlockCount;
    mlRcv = 0;
    mLink = RHandle;
    mDevice = &objVar;
    if (!mbStepPending) ReadUSB();
    return true;
}

void clsUSBRd::ReadUSB() {
    try {
        if (!mDevice) return;
        if (mlRcv >= mlWait) {
            mDevice->ReadStopped(true);
            return;
        }
        int32_t want = std::min(mlWait - mlRcv, mlBlock);
        if (want <= 0) want = 1;
        want = std::min(want, kReadArea);
        mStepStart = TickCount();
        UsbLink* link = mLink;
        const int timeout = mPipeTimeoutMs;
        mbStepPending = true;
        mWorker.Run([this, link, want, timeout](const StopSignal& stop,
                                                const ReaderWorker::Deliver& deliver) {
            char area[kReadArea];
            int code = 0;
            long count = link->Read(area, static_cast<size_t>(want), timeout, stop, code);
            if (stop.requested()) return;
            std::string data(area, static_cast<size_t>(std::max(count, 0L)));
            deliver([this, count, code, data] { StepDone(count, code, data); });
        });
    } catch (...) {
        mstrLastRdError = FailureLine("clsUSBRd, ReadUSB Error: ");
        if (mDevice) mDevice->ReadStopped(true);
    }
}

void clsUSBRd::StepDone(long count, int errorCode, const std::string& data) {
    mbStepPending = false;
    if (!mDevice) return;
    try {
        // The pipe failed or its far end closed: the printer is gone, not silent.
        if (count < 0) {
            mstrLastRdError = errorCode == EPIPE
                                  ? std::string("USB Read Error: the printer closed its pipe")
                                  : "USB Read Error " + CStr(errorCode) + " " + std::strerror(errorCode);
            mDevice->ReaderLinkLost(mstrLastRdError);
            return;
        }
        std::string text = data;
        int32_t received = static_cast<int32_t>(count);
        const int32_t reason = mDevice->StopRead();
        if (received == 0 && reason == STOP_R_WAIT &&
            TickCount() - mStepStart > kUsbIdleAnswerMs) {
            received = 1;
            text = "\x06";
            mDevice->AnswerMadeUp(true);
        }
        mlRcv += received;
        bool stopped = false;
        switch (reason) {
            case STOP_R:
                mlWait = mlBlock = mlRcv = 0;
                stopped = true;
                break;
            case STOP_R_NUM:
            case STOP_R_WAIT:
                if (mlRcv < mlWait) {
                    mlWait = mDevice->ReadCount();
                } else {
                    mlWait = mlBlock = mlRcv = 0;
                    stopped = true;
                }
                break;
            default:
                stopped = true;
                break;
        }
        if (stopped) mDevice->ReadStopped(true);
        if (mlRcv >= mlWait) mlRcv = 0;
        mDevice->ReadTh_oRead(received, text);
        if (!stopped) ReadUSB();
    } catch (...) {
        mstrLastRdError = FailureLine("clsUSBRd, ReadUSB Error: ");
        mDevice->ReadStopped(true);
    }
}

}  // namespace posbench
