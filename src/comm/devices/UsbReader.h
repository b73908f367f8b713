#pragma once
// The background reader of the USB device. Its worker thread blocks in the pipe read; each
// step's outcome comes back on the user-interface thread, where the stop reason is applied,
// a silent printer's idle answer made up, and the device's oRead event raised.
#include <cstdint>
#include <string>

#include "comm/devices/ReaderWorker.h"
#include "comm/devices/UsbLink.h"

namespace posbench {

class clsUSB;

// An empty pipe read that took longer than this counts, under stop reason 3, as the printer's
// idle answer: one byte 06.
inline constexpr uint32_t kUsbIdleAnswerMs = 3000;

class clsUSBRd {
public:
    static constexpr int32_t kReadArea = 1024;

    clsUSBRd() = default;
    ~clsUSBRd();
    clsUSBRd(const clsUSBRd&) = delete;
    clsUSBRd& operator=(const clsUSBRd&) = delete;

    bool OpenRdThread();
    bool CloseUSBRdThread();
    bool StartRead(int32_t lngWaitNumBytes, int32_t lngBlockCount, UsbLink* RHandle, clsUSB& objVar);
    const std::string& LastRdError() const { return mstrLastRdError; }
    // How long one pipe read waits before returning empty (tests shorten it).
    void PipeTimeout(int ms) { mPipeTimeoutMs = ms; }

private:
    void ReadUSB();
    void StepDone(long count, int errorCode, const std::string& data);

    ReaderWorker mWorker;
    clsUSB* mDevice = nullptr;
    UsbLink* mLink = nullptr;
    int32_t mlWait = 0;
    int32_t mlBlock = 0;
    int32_t mlRcv = 0;
    uint32_t mStepStart = 0;
    int mPipeTimeoutMs = kUsbPipeTimeoutMs;
    // A step is with the worker: a new read started meanwhile goes on from its result
    // instead of queueing a second step on the same stream.
    bool mbStepPending = false;
    std::string mstrLastRdError;
};

}  // namespace posbench
