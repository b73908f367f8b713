#include "app/DownloadGuard.h"

#include "base/Numbers.h"
#include "base/Views.h"
#include "comm/PortRequests.h"

namespace posbench {

int16_t DownloadingPort() {
    for (int16_t p = 1; p <= 6; ++p)
        if (gbFileDl(p) || gbFlashDl(p) || gbBootDl(p) || gbIBankDl(p)) return p;
    return 0;
}

bool ConfirmStopDownload(const std::string& action) {
    const int16_t port = DownloadingPort();
    if (port == 0) return true;
    const std::string what = gbFileDl(port) ? "downloading a file" : "writing firmware";
    if (MsgBox("Port " + CStr(port) + " is " + what + ". Stop it and " + action + "?", MsgButtons::YesNo,
               "posbench") != MsgAnswer::Yes)
        return false;
    gbStop(port) = true;
    return true;
}

}  // namespace posbench
