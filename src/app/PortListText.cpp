#include "app/PortListText.h"

#include "app/LinkRecovery.h"
#include "base/Numbers.h"
#include "base/StringOps.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"

namespace posbench {

std::string PortLiveState(int16_t port, const LinkRecovery* recovery) {
    if (port < 1 || port > 6) return "";
    if (recovery && recovery->InProgress(port))
        return "recovering " + CStr(static_cast<int64_t>((recovery->MsLeft(port) + 999) / 1000)) + " s";
    if (recovery && recovery->LinkClosed(port)) return "link lost";
    if (PortIsActive(port) || gbDelay(port) || gbSendPending(port) || gbReadPending(port) || gbIBankDl(port) ||
        gbConfigPending(port))
        return "busy";
    return "idle";
}

std::string PortDevicePath(const std::string& entry) {
    const std::string kind = UCase(Left(entry, 3));
    if (kind == "COM" || kind == "LPT") {
        const std::string medium = UCase(Left(entry, 4));
        const std::string path = DevicePath(medium);
        if (!path.empty()) return path;
        const long n = static_cast<long>(Val(Mid(entry, 4, 1)));
        return (kind == "COM" ? "/dev/ttyS" : "/dev/lp") + CStr(static_cast<int64_t>(n - 1));
    }
    if (kind == "USB") {
        const std::string path = DevicePath("USB");
        if (!path.empty()) return path;
        return UCase(Left(entry, 6)) == "USB, P" ? "first /dev/usb/lp* printer" : "libusb bulk pipes";
    }
    if (kind == "TCP") return gsTCPAddress.empty() ? "no address" : gsTCPAddress;
    return "";
}

std::string PortListLine(int16_t port, const std::string& entry, const std::string& state) {
    return CStr(static_cast<int64_t>(port)) + "  " + entry + (state.empty() ? "" : "   " + state);
}

}  // namespace posbench
