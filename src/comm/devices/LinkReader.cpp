#include "comm/devices/LinkReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/Events.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/Tick.h"
#include "comm/devices/ByteLink.h"
#include "comm/devices/LinkDevice.h"

namespace posbench {
namespace {

struct ReaderTexts {
    const char* startRead;
    const char* step;
    const char* lost;  // the read failed: followed by the number and the system's text
    const char* ended;  // the printer's side has closed
};

const ReaderTexts& TextsOf(ReaderMedium medium) {
    static const ReaderTexts tcp{"clsTCPRd, StartRead Error: ", "clsTCPRd, ReadTCP Error: ",
                                 "TCP Read Error ",
                                 "TCP Read Error: connection closed by the printer"};
    static const ReaderTexts usb{"clsUSBRd, StartRead Error: ", "clsUSBRd, ReadUSB Error: ",
                                 "USB Read Error ", "USB Read Error: the printer closed its pipe"};
    return medium == ReaderMedium::Tcp ? tcp : usb;
}

}  // namespace

LinkReader::LinkReader(ReaderMedium medium) : mMedium(medium) {}

bool LinkReader::StartRead(int32_t lngWaitNumBytes, int32_t lngBlockCount, ByteLink* link,
                           LinkDevice& objVar) {
    mstrLastRdError.clear();
    if (!link) {
        mstrLastRdError = TextsOf(mMedium).startRead + CStr(err::ObjectVariableNotSet) + " " +
                          ErrorDescription(err::ObjectVariableNotSet);
        return false;
    }
    mlWait = lngWaitNumBytes;
    mlBlock = lngBlockCount;
    mlRcv = 0;
    mLink = link;
    mDevice = &objVar;
    mStepStart = TickCount();
    // Nothing is read yet: the answer can hardly be there, and the first poll reads it.
    if (mlRcv >= mlWait)
        Finish();
    else
        Await();
    return true;
}

bool LinkReader::Running() const { return mDevice && mLink && !mDevice->ReadStopped(); }

int LinkReader::WaitFd() const { return Running() ? mLink->ReadFd() : -1; }

void LinkReader::Close() {
    if (mWatched >= 0) UnwatchInput(mWatched);
    mWatched = -1;
    mDevice = nullptr;
    mLink = nullptr;
}

// A counted read takes whatever has arrived up to the count still missing, in one read; a
// one-step read (stop reason 1 or a reason it does not know) takes at most the block size,
// since that step is all it gets.
int32_t LinkReader::StepSize() const {
    const int32_t missing = mlWait - mlRcv;
    const int32_t reason = mDevice->StopRead();
    const bool counted = reason == STOP_R_NUM || reason == STOP_R_WAIT;
    return std::clamp(counted ? missing : std::min(missing, mlBlock), 1, kReadArea);
}

void LinkReader::Step() {
    if (!Running()) return;
    try {
        if (mlRcv >= mlWait) return Finish();
        if (mLink->ServerMode()) {
            const int code = mLink->AcceptWaiting();
            if (code == EAGAIN) return Await();
            if (code != 0) {
                mstrLastRdError = "Unable to accept connection " + CStr(code);
                return Finish();
            }
        }
        char area[kReadArea];
        int code = 0;
        const long count = mLink->Read(area, static_cast<size_t>(StepSize()), code);
        // An empty step: a TCP read waits for as long as it takes; a USB pipe read returns
        // empty once the driver's time-out has passed.
        const bool pipeTimedOut =
            mMedium == ReaderMedium::Usb && TickCount() - mStepStart > mlPipeTimeoutMs;
        if (count == 0 && !pipeTimedOut) return Await();
        StepDone(count, code, std::string(area, static_cast<size_t>(std::max(count, 0L))));
    } catch (...) {
        mstrLastRdError = FailureLine(TextsOf(mMedium).step);
        Finish();
    }
}

void LinkReader::StepDone(long count, int errorCode, std::string data) {
    if (count < 0) {
        // The link failed or the printer's side closed: it is gone, not silent.
        mstrLastRdError = LostText(errorCode);
        LinkDevice& device = *mDevice;
        Finish();  // the watch goes before the descriptor it is on
        mLink->DropConnection();
        device.ReaderLinkLost(mstrLastRdError);
        return;
    }
    auto received = static_cast<int32_t>(count);
    const int32_t reason = mDevice->StopRead();
    // USB: a printer silent through the idle time under stop reason 3 has answered 06.
    if (mMedium == ReaderMedium::Usb && received == 0 && reason == STOP_R_WAIT &&
        TickCount() - mStepStart > kUsbIdleAnswerMs) {
        received = 1;
        data = "\x06";
        mDevice->AnswerMadeUp(true);
    }
    mlRcv += received;
    bool stopped = false;
    bool reconnects = false;
    switch (reason) {
        case STOP_R:
            mlWait = mlBlock = mlRcv = 0;
            stopped = true;
            break;
        case STOP_R_WAIT:
            // TCP reads on past the count until the read is stopped; USB ends at the count.
            if (mMedium == ReaderMedium::Tcp) break;
            [[fallthrough]];
        case STOP_R_NUM:
            // The caller may have raised the count while the read ran.
            mlWait = mDevice->ReadCount();
            if (mlRcv < mlWait) break;
            mlWait = mlBlock = mlRcv = 0;
            stopped = true;
            // A TCP server: the printer connects anew for its next answer.
            reconnects = reason == STOP_R_NUM;
            break;
        default:
            stopped = true;
            break;
    }
    if (mlRcv >= mlWait) mlRcv = 0;
    mStepStart = TickCount();
    LinkDevice& device = *mDevice;
    if (stopped)
        Finish();
    else
        Await();
    if (reconnects) mLink->DropConnection();
    device.ReadTh_oRead(received, data);
}

void LinkReader::Finish() {
    if (mWatched >= 0) UnwatchInput(mWatched);
    mWatched = -1;
    if (mDevice) mDevice->ReadStopped(true);
}

void LinkReader::Await() {
    const int fd = mLink->ReadFd();
    if (mWatched >= 0 && mWatched != fd) UnwatchInput(mWatched);
    mWatched = fd;
    if (fd >= 0) WatchInput(fd);
}

std::string LinkReader::LostText(int code) const {
    const ReaderTexts& texts = TextsOf(mMedium);
    if (code == 0) return texts.ended;
    return texts.lost + CStr(code) + " " + std::strerror(code);
}

}  // namespace posbench
