#include "comm/PortRequests.h"

namespace posbench {

PerPort<std::string> gsSendData;
PerPort<bool> gbSendPending;
PerPort<bool> gbReadAfterWrite;
PerPort<bool> gbReadPending;
PerPort<int32_t> glExpectCount;
PerPort<int32_t> glReadMode;
PerPort<bool> gbStatusCheck;
PerPort<bool> gbStop;
PerPort<bool> gbScriptRunning;
PerPort<bool> gbFileDl;
PerPort<bool> gbFlashDl;
PerPort<bool> gbBootDl;
PerPort<bool> gbIBankDl;
PerPort<bool> gbDelay;
PerPort<bool> gbConfigPending;
PerPort<bool> gbPortFailed;

bool PortIsActive(long port) {
    return gbScriptRunning(port) || gbFileDl(port) || gbFlashDl(port) || gbBootDl(port);
}

void ResetPortRequests() {
    gsSendData.reset();
    gbSendPending.reset();
    gbReadAfterWrite.reset();
    gbReadPending.reset();
    glExpectCount.reset();
    glReadMode.reset();
    gbStatusCheck.reset();
    gbStop.reset();
    gbScriptRunning.reset();
    gbFileDl.reset();
    gbFlashDl.reset();
    gbBootDl.reset();
    gbIBankDl.reset();
    gbDelay.reset();
    gbConfigPending.reset();
    gbPortFailed.reset();
}

}  // namespace posbench
