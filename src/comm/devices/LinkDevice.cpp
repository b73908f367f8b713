#include "comm/devices/LinkDevice.h"

#include <algorithm>
#include <cerrno>

#include <poll.h>

#include "base/Events.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/Tick.h"

namespace posbench {
namespace {

constexpr int kWaitSliceMs = 10;

// Waits up to ms for fd to poll for events (a plain sleep when there is no descriptor).
void WaitOn(int fd, short events, int ms) {
    pollfd p{fd, events, 0};
    poll(&p, fd >= 0 ? 1 : 0, ms);
}

}  // namespace

LinkDevice::LinkDevice(const LinkDeviceTexts& texts, std::unique_ptr<LinkReader> reader)
    : mTexts(texts), mReader(std::move(reader)) {}

LinkDevice::~LinkDevice() {
    mReader->Close();
    if (mLink) mLink->Close();
}

void LinkDevice::ResetReadState() {
    ResetOpenState();
    mWriteTail.clear();
    mbAnswerMadeUp = false;
}

bool LinkDevice::CloseComm() {
    mstrLastError.clear();
    FinishWrite();
    // The reader goes first: its watch is on the link's descriptor.
    mReader->Close();
    mbReadStopped = true;
    if (mLink) {
        const std::string error = mLink->Close();
        if (!error.empty()) mstrLastError = error;
        mLink.reset();
    }
    return mstrLastError.empty();
}

// ---- Writes ---------------------------------------------------------------------------------

bool LinkDevice::PushWrite(int& code) {
    while (!mWriteTail.empty()) {
        if (!mLink) {
            code = mTexts.notOpen;
            return false;
        }
        const long taken = mLink->Write(mWriteTail.data(), mWriteTail.size(), code);
        if (taken < 0) return false;
        if (taken == 0) break;
        mWriteTail.erase(0, static_cast<size_t>(taken));
        // The bound is on a printer that takes nothing, not on a long write to a slow one.
        mWriteDeadline = TickCount() + mlWriteTimeoutMs;
    }
    return true;
}

void LinkDevice::EndWrite(const std::string& failure) {
    mWriteTail.clear();
    mstrLastError = failure;
    mstrWriteFailure = failure;
}

bool LinkDevice::WriteComm(const std::string& sLine) {
    try {
        mstrLastError.clear();
        if (mWriteTail.empty()) mWriteDeadline = TickCount() + mlWriteTimeoutMs;
        // Behind what an earlier write left: the callers wait for WriteIsComplete first, but a
        // release command may come at any time.
        mWriteTail += sLine;
        int code = 0;
        if (!PushWrite(code)) {
            mWriteTail.clear();
            mstrLastError = mTexts.writeFailed + CStr(code);
            return false;
        }
        TraceSent(sLine);
        return true;
    } catch (...) {
        mstrLastError = FailureLine(mTexts.writeComm);
        return false;
    }
}

bool LinkDevice::WriteIsComplete() {
    try {
        if (mWriteTail.empty()) return true;
        int code = 0;
        if (!PushWrite(code))
            EndWrite(mTexts.writeFailed + CStr(code));
        else if (!mWriteTail.empty() && TickReached(TickCount(), mWriteDeadline))
            EndWrite(mTexts.writeTimedOut + CStr(ETIMEDOUT));
        return mWriteTail.empty();
    } catch (...) {
        mstrLastError = FailureLine(mTexts.writeIsComplete);
        return false;
    }
}

void LinkDevice::FinishWrite() {
    // Bytes a caller has handed over belong to the printer: a close waits for them, within
    // the write time-out, rather than dropping them unseen.
    while (!mWriteTail.empty()) {
        int code = 0;
        if (!PushWrite(code) || TickReached(TickCount(), mWriteDeadline)) {
            mWriteTail.clear();
            break;
        }
        if (!mWriteTail.empty()) WaitOn(mLink->WriteFd(), POLLOUT, kWaitSliceMs);
    }
}

// ---- Reads ----------------------------------------------------------------------------------

void LinkDevice::Step() {
    // A request's answer cannot come while its bytes wait here: a read also moves the write on.
    if (!mWriteTail.empty()) {
        int code = 0;
        if (!PushWrite(code)) EndWrite(mTexts.writeFailed + CStr(code));
    }
    mReader->Step();
}

bool LinkDevice::ReadComm(int32_t lReadFlg) {
    try {
        mstrLastError.clear();
        if (mbDataAvailable && mlRcvCount >= mlReadCount) return true;
        if (!mbDataAvailable) msBuffer.clear();
        mbAnswerMadeUp = false;
        mlStopRead = lReadFlg;
        if (mbReadStopped) {
            // Marked running first: the reader may end the read before StartRead returns.
            mbReadStopped = false;
            if (!mReader->StartRead(mlReadCount, mlBlockCount, mLink.get(), *this)) {
                mbReadStopped = true;
                mstrLastError = mReader->LastRdError();
                return false;
            }
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine(mTexts.readComm);
        return false;
    }
}

bool LinkDevice::ReadIsComplete() {
    try {
        Step();
        return mlRcvCount >= mlReadCount;
    } catch (...) {
        mstrLastError = FailureLine(mTexts.readIsComplete);
        return false;
    }
}

bool LinkDevice::BlockIsComplete() { return mbDataAvailable; }

bool LinkDevice::DataAvailable() {
    Step();
    return mbDataAvailable;
}

void LinkDevice::ReadTh_oRead(int32_t NumRcvd, const std::string& data) {
    try {
        mstrLastError.clear();
        if (NumRcvd != 0) {
            TraceReceived(data);
            mbDataAvailable = true;
            mlRcvCount += NumRcvd;
            msBuffer += data;
        }
    } catch (...) {
        mstrLastError = FailureLine(mTexts.readEvent);
    }
}

std::string LinkDevice::GetReadData() {
    try {
        return TakeReadData(0);
    } catch (...) {
        mstrLastError = FailureLine(mTexts.getReadData);
        return {};
    }
}

bool LinkDevice::ReadShutdown(int32_t lType) {
    try {
        mstrLastError.clear();
        StopRead(lType);
        // Not queued behind a write the printer is not taking: it would not answer either, and
        // the close that follows would wait out the write's time-out for it.
        if (!ReadStopped() && lType == STOP_R_FORCE && mLink && mWriteTail.empty()) {
            int code = 0;
            const long taken = mLink->Write(kReadReleaseCommand.data(), kReadReleaseCommand.size(), code);
            if (taken > 0) {
                mWriteTail = kReadReleaseCommand.substr(static_cast<size_t>(taken));
                mWriteDeadline = TickCount() + mlWriteTimeoutMs;
                TraceSent(kReadReleaseCommand);
            }
        }
        // The read ends at its next step, once the printer has said something; events flow
        // meanwhile, as they would while a reader thread finished.
        const uint32_t deadline = TickCount() + kReadShutdownWaitMs;
        for (;;) {
            Step();
            if (ReadStopped()) return true;
            if (TickReached(TickCount(), deadline)) break;
            WaitOn(mReader->WaitFd(), POLLIN, kWaitSliceMs);
            DoEvents();
        }
        mstrLastError = mTexts.shutdownTimeout;
        return false;
    } catch (...) {
        mstrLastError = FailureLine(mTexts.readShutdown);
        return false;
    }
}

bool LinkDevice::PollDev() {
    try {
        return ReadComm(mTexts.pollReason);
    } catch (...) {
        mstrLastError = FailureLine(mTexts.pollDev);
        return false;
    }
}

void LinkDevice::ReaderLinkLost(const std::string& why) {
    mstrLinkLost = why;
    mstrLastError = why;
    mbReadStopped = true;
}

}  // namespace posbench
