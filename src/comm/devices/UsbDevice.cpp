#include "comm/devices/UsbDevice.h"

#include <cerrno>

#include "base/RuntimeError.h"
#include "comm/devices/UsbLink.h"

namespace posbench {
namespace {

const LinkDeviceTexts kUsbTexts{
    "clsUSB ReadComm Error: ",     "clsUSB ReadIsComplete Error: ",
    "clsUSB Read Event Error: ",   "clsUSB, GetReadData Error: ",
    "clsUSB ReadShutdown Error: ", "clsUSB WriteComm Error: ",
    "clsUSB WriteIsComplete Error: ", "Invalid Write ",
    // A USB write has always ended on its time-out as on any other failure.
    "Invalid Write ",              EBADF,
    "clsUSB PollDev Error: ",      STOP_R,
    "USB ShutDown Error"};

}  // namespace

clsUSB::clsUSB() : LinkDevice(kUsbTexts, std::make_unique<clsUSBRd>()) {
    mlReadCount = 1;
    mlStopRead = STOP_R;
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
        if (IsOpen()) CloseComm();
        InitUSB(sInterface);
        mstrLastError.clear();
        mstrLastReason.clear();
        ResetReadState();
        std::string error;
        auto link = OpenUsbLink(mbPrinterClass, error, mstrLastReason);
        if (!link) {
            mstrLastError = error;
            return false;
        }
        Attach(std::move(link));
        return true;
    } catch (...) {
        mstrLastError = FailureLine("clsUSB OpenComm Error: ");
        return false;
    }
}

}  // namespace posbench
