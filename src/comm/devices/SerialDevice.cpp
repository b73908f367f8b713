#include "comm/devices/SerialDevice.h"

#include <sys/ioctl.h>

#include "base/Display.h"
#include "base/RuntimeError.h"
#include "comm/CommGlobals.h"

namespace posbench {

namespace {

constexpr int32_t kQueueSize = 1024;


}  // namespace

clsRS232::clsRS232() : PortDevice("clsRS232") {}

clsRS232::~clsRS232() { ClosePath(); }

int16_t clsRS232::GetNumFromDevname(const std::string& name) {
    try {
        return NumberAfter(name, "COM", 16);
    } catch (...) {
        mstrLastError = FailureLine(Prefix("GetNumFromDevname"));
        return 0;
    }
}

bool clsRS232::OpenComm(const std::string& CommDeviceName) {
    try {
        mstrLastReason.clear();
        std::string name = CommDeviceName;
        mbAdaptor = !name.empty() && name.back() == 'x';
        if (mbAdaptor) name.pop_back();
        int16_t number = GetNumFromDevname(name);
        if (number == 0) {
            mstrLastError = "Invalid Com parameter";
            return false;
        }
        std::string medium = "COM" + std::to_string(number);
        std::string path = DevicePath(medium);
        if (path.empty()) path = "/dev/ttyS" + std::to_string(number - 1);
        if (!OpenPath(path, true, "dialout")) return false;

        // The line driver sizes its own queues; the request is only remembered.
        mlInQueue = kQueueSize;
        mlOutQueue = kQueueSize;

        std::string failure;
        if (!mDCB.GetCommState(mPort.Fd())) {
            failure = WithCode("Get CommState Error: ", mDCB.LastErrno());
        } else {
            mDCB.SetDefaults();
            if (!mDCB.SetCommState(mPort.Fd()))
                failure = WithCode("Set CommState Error: ", mDCB.LastErrno());
        }
        if (!failure.empty()) {
            CloseComm();
            mstrLastError = failure;
            return false;
        }
        ReadIntervalTimeout(-1);
        ReadTotalTimeoutMultiplier(mbAdaptor ? 0 : 1);
        ReadTotalTimeoutConstant(mbAdaptor ? 10 : 3000);
        WriteTotalTimeoutMultiplier(100);
        WriteTotalTimeoutConstant(3000);
        SetCommTimeouts();
        StartInput(1);
        return true;
    } catch (...) {
        std::string failure = FailureLine(Prefix("OpenComm"));
        ClosePath();
        mstrLastError = failure;
        return false;
    }
}

bool clsRS232::CloseComm() {
    try {
        if (int error = ClosePath(); error != 0) {
            mstrLastError = WithCode("Error Closing RS232 Comm ", error);
            return false;
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("CloseComm"));
        return false;
    }
}

bool clsRS232::WriteComm(const std::string& sLine) {
    try {
        // Each write starts clean: bytes of an earlier write that has not finished are dropped.
        if (int error = mPort.FlushUnfinishedOutput(); error != 0) {
            mstrLastError = WithCode("Purge Write Buffer Error: ", error);
            return false;
        }
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

bool clsRS232::ReadComm(int32_t) {
    try {
        if (!mbDataAvailable || mlRcvCount < mlReadCount) {
            if (!mbDataAvailable) msBuffer.clear();
            mlStopRead = 3;  // read requested
            mPort.AwaitRead();
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("ReadComm"));
        return false;
    }
}

bool clsRS232::ReadIsComplete() {
    try {
        mstrLastError.clear();
        bool appended = false;
        if (!CollectRead(appended)) {
            if (mlStopRead == 1) {
                mPort.StopAwaiting();
                return true;
            }
            mPort.AwaitRead();
            return false;
        }
        if (mlRcvCount >= mlReadCount) {
            mPort.StopAwaiting();
            mlStopRead = 1;
            // A read stays outstanding so that the next answer is noticed.
            return RenewRead();
        }
        if (RenewRead()) mPort.AwaitRead();
        return false;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("ReadIsComplete"));
        return false;
    }
}

bool clsRS232::DataAvailable() {
    try {
        mstrLastError.clear();
        bool appended = false;
        // The line is watched while it waits, so that an idle loop sleeps until bytes come.
        if (!CollectRead(appended)) {
            mPort.AwaitRead();
            return false;
        }
        const bool failed = !mstrLastError.empty();  // a hung-up line would wake it for ever
        bool restarted = RenewRead();
        if (restarted && !failed) mPort.AwaitRead();
        return appended && restarted;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("DataAvailable"));
        return false;
    }
}

int32_t clsRS232::ReadSizeNow() const {
    // Bytes nobody has asked for are taken as they come, all that is there at once; an answer
    // asked for is read up to its count, so nothing of what follows it is taken with it.
    return mlStopRead == 1 ? static_cast<int32_t>(PortIo::kReadBufferSize) : NextReadSize();
}

bool clsRS232::RenewRead() {
    // Tried at the caller's next poll, sized by what is asked by then: bytes that come before
    // the next request are taken as unasked, those after it up to its count. After a failure
    // it is tried at once instead: a hung-up line then fails the start and stays quiet, rather
    // than reporting the hang-up again with every read.
    if (mstrLastError.empty() && mPort.IsOpen()) {
        mPort.ArmRead(static_cast<size_t>(ReadSizeNow()));
        return true;
    }
    return StartInput(NextReadSize());
}

bool clsRS232::ReadShutdown(int32_t) { return true; }

bool clsRS232::PollDev() { return true; }

bool clsRS232::PurgeComm() {
    try {
        if (int error = mPort.FlushOutput(); error != 0) {
            mstrLastError = WithCode("Purge Write Buffer Error: ", error);
            return false;
        }
        if (int error = mPort.FlushInput(); error != 0) {
            mstrLastError = WithCode("Purge Read Buffer Error: ", error);
            return false;
        }
        return true;
    } catch (...) {
        mstrLastError = FailureLine(Prefix("PurgeComm"));
        return false;
    }
}

bool clsRS232::ModemBit(int bit) {
    if (!mPort.IsOpen()) {
        Display("Device not open");
        return false;
    }
    int lines = 0;
    if (mPort.ModemLines(lines) != 0) {
        Display("Modem Status Error");
        return false;
    }
    return (lines & bit) != 0;
}

bool clsRS232::CTS_ON() { return ModemBit(TIOCM_CTS); }
bool clsRS232::DSR_ON() { return ModemBit(TIOCM_DSR); }
bool clsRS232::RING_ON() { return ModemBit(TIOCM_RI); }
bool clsRS232::RLSD_ON() { return ModemBit(TIOCM_CD); }

}  // namespace posbench
