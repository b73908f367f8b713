#include "comm/PortRequests.h"

#include <utility>

#include "comm/PortTable.h"

namespace posbench {

PerPort<std::string> gsSendData;
PerPort<bool> gbSendPending;
PerPort<bool> gbReadAfterWrite;
PerPort<bool> gbReadPending;
PerPort<int32_t> glExpectCount;
PerPort<ReadMode> glReadMode;
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

bool WriteDrained(long port) {
    if (port < 1 || port > gcolDevices.Count()) return true;
    Device& device = gcolDevices.Item(port);
    return device.WriteIsComplete() && !device.WriteFailed();
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

void QueueWrite(long port, std::string bytes) {
    gsSendData(port) = std::move(bytes);
    gbSendPending(port) = true;
}

void ArmRead(long port, const ReadRequest& read) {
    glExpectCount(port) = read.count;
    glReadMode(port) = read.mode;
    gbStatusCheck(port) = read.statusCheck;
    gbReadAfterWrite(port) = true;
}

void ArmReadAlone(long port) { gbReadAfterWrite(port) = true; }

void QueueExchange(long port, std::string bytes, const ReadRequest& read, bool awaited) {
    QueueWrite(port, std::move(bytes));
    ArmRead(port, read);
    if (awaited) gbReadPending(port) = true;
}

void AwaitRead(long port, bool awaited) { gbReadPending(port) = awaited; }

void WithdrawReads(long port) {
    glExpectCount(port) = 0;
    gbReadAfterWrite(port) = false;
    gbReadPending(port) = false;
}

void SetReadMode(long port, ReadMode mode) { glReadMode(port) = mode; }

void WriteServed(long port) { gbSendPending(port) = false; }

void ReadStarted(long port) { gbReadAfterWrite(port) = false; }

void ReadDone(long port) { gbReadPending(port) = false; }

bool TakeStatusCheck(long port) {
    if (!gbStatusCheck(port)) return false;
    gbStatusCheck(port) = false;
    return true;
}

void ReleaseRead(long port, Device& device) {
    gbReadPending(port) = false;
    device.ReadCount(1);
    device.BlockCount(1);
}

void TimeOutRead(long port, Device& device) {
    glReadMode(port) = ReadMode::FirstStep;
    device.ReadCount(1);
    device.BlockCount(1);
    device.StopRead(1);
}

void ClearTransfer(long port) {
    gbSendPending(port) = false;
    gbReadAfterWrite(port) = false;
    gbReadPending(port) = false;
    glExpectCount(port) = 0;
    gsSendData(port).clear();
}

}  // namespace posbench
