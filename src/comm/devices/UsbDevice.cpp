#include "comm/devices/UsbDevice.h"

#include <cerrno>

#include "base/Numbers.h"
#include "base/RuntimeError.h"

namespace posbench {

clsUSB::clsUSB() {
    mlReadCount = 1;
    mlStopRead = STOP_R;
    mstrLastError = mReader.LastRdError();
}

clsUSB::~clsUSB() {
    mReader.CloseUSBRdThread();
    if (mLink) mLink->Close();
}

void clsUSB::InitUSB(const std::string& sType) {
    try {
        mbPrinterClass = sType == "USB, P";
    } catch (...) {
        mstrLastError = FailureLine("clsUSB InitUSB Error: ");
    }
}

bool clsUSB::OpenComm(const std::string& sInterface) {
    try {
        // Opening an open port again starts it afresh instead of leaking the old pipes.
        if (mLink) CloseComm();
        InitUSB(sInterface);
        mstrLastError.clear();
        mstrLastReason.clear();
        ResetReadState();
        mbWriteComplete = true;
        std::string error;
        mLink = OpenUsbLink(mbPrinterClass, error, mstrLastReason);
        if (!mLink) {
            mstrLastError = error;
            return false;
        }
        if (!mReader.OpenRdThread()) {
            mstrLastError = mReader.LastRdError();
            mLink->Close();
            mLink.reset();
            return false;
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine("clsUSB OpenComm Error: ");
        return false;
    }
}

bool clsUSB::CloseComm() {
    mstrLastError.clear();
    // The reader goes first: its thread may be inside a read on the pipes.
    if (!mReader.CloseUSBRdThread()) mstrLastError = mReader.LastRdError();
    mbReadStopped = true;
    if (mLink) {
        const std::string error = mLink->Close();
        if (!error.empty()) mstrLastError = error;
        mLink.reset();
    }
    return mstrLastError.empty();
}

bool clsUSB::WriteComm(const std::string& sLine) {
    try {
        mbWriteComplete = true;
        int code = EBADF;
        if (!mLink || !mLink->Write(sLine, code)) {
            mstrLastError = "Invalid Write " + CStr(code);
            return false;
        }
        TraceSent(sLine);
        return true;
    } catch (...) {
        mstrLastError = FailureLine("clsUSB WriteComm Error: ");
        return false;
    }
}

bool clsUSB::WriteIsComplete() { return mbWriteComplete; }

bool clsUSB::ReadComm(int32_t lReadFlg) {
    try {
        if (mbDataAvailable && mlRcvCount >= mlReadCount) return true;
        if (!mbDataAvailable) msBuffer.clear();
        mbAnswerMadeUp = false;
        mlStopRead = lReadFlg;
        if (mbReadStopped) {
            // Marked running first: the reader may report its end before StartRead returns.
            mbReadStopped = false;
            if (!mReader.StartRead(mlReadCount, mlBlockCount, mLink.get(), *this)) {
                mbReadStopped = true;
                mstrLastError = mReader.LastRdError();
            }
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine("clsUSB ReadComm Error: ");
        return false;
    }
}

bool clsUSB::PollDev() {
    try {
        mbPoll = true;
        return ReadComm(STOP_R);
    } catch (...) {
        mstrLastError = FailureLine("clsUSB PollDev Error: ");
        return false;
    }
}

void clsUSB::SendReleaseCommand() {
    int code = 0;
    if (mLink && mLink->Write(kReadReleaseCommand, code)) TraceSent(kReadReleaseCommand);
}

}  // namespace posbench
