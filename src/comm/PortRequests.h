#pragma once
// What is asked of each port. The script processor, the downloads and the windows ask through
// the operations below and return; the transfer state machine carries the requests out one step
// per pass and marks them served through the same operations; PortReady reads the active flags
// to refuse a port that is still busy. The request fields are read freely but written only
// here, so that every request is whole (a read never armed without its count and mode). They
// live with the ports so that the port table can read them without reaching up into the script
// engine.
#include <cstdint>
#include <string>

#include "base/PerPort.h"
#include "comm/Device.h"

namespace posbench {

// How a requested read ends: the stop reason handed to the device's ReadComm.
enum class ReadMode : int32_t {
    FirstStep = STOP_R,       // after the first read step that returns
    Count = STOP_R_NUM,       // once the expected count has come
    CountWait = STOP_R_WAIT,  // as Count, with the medium's own waiting details
};
inline int32_t StopReason(ReadMode mode) { return static_cast<int32_t>(mode); }

extern PerPort<std::string> gsSendData;   // bytes queued for writing, one character per byte
extern PerPort<bool> gbSendPending;       // a write of gsSendData is requested
extern PerPort<bool> gbReadAfterWrite;    // start a read of glExpectCount bytes with the write
extern PerPort<bool> gbReadPending;       // a read must complete before the producer goes on
extern PerPort<int32_t> glExpectCount;    // reply bytes expected
extern PerPort<ReadMode> glReadMode;      // how the read ends
extern PerPort<bool> gbStatusCheck;       // compare the next complete reply with the expected status
extern PerPort<bool> gbStop;              // end every chain on the port at its next step

// Active flags: a script or a download is in progress on the port.
extern PerPort<bool> gbScriptRunning;
extern PerPort<bool> gbFileDl;
extern PerPort<bool> gbFlashDl;
extern PerPort<bool> gbBootDl;
extern PerPort<bool> gbIBankDl;

extern PerPort<bool> gbDelay;             // a delay or a utility command's wait runs on the port
extern PerPort<bool> gbConfigPending;     // the configuration flow waits for the script to end
// The port's work since its last send was ended by an error: a write or read that failed, a
// lost link, a script cancelled by an error, a download that did not complete, a link that
// could not be re-established. The operator's cancel counts too. Send clears it.
extern PerPort<bool> gbPortFailed;

// True while a script, file, flash or boot download holds the port: a second transfer started
// now would interleave with it (and a firmware image would be corrupted). Image-bank downloads
// are not counted, as the send dispatcher relies on. Port outside 1..6: "Subscript out of range".
bool PortIsActive(long port);

// False while the port's device still sends its last write, and after that write failed until
// the failure has been taken (TakeWriteFailure). A port without a device has nothing to send.
bool WriteDrained(long port);

void ResetPortRequests();

// A read that follows a write, or that starts alone.
struct ReadRequest {
    int32_t count = 0;                    // reply bytes expected
    ReadMode mode = ReadMode::FirstStep;  // how the read ends
    bool statusCheck = false;             // compare the complete reply with the expected status
};

// ---- Asking: the script processor, the downloads, the windows ----------------------------
// Bytes to write; nothing is read for them.
void QueueWrite(long port, std::string bytes);
// A read the state machine starts on its own (after the write queued with it, if any).
void ArmRead(long port, const ReadRequest& read);
// The read as last described (count, mode) starts at the next pass with nothing written: RCVX
// collects what the printer sends of its own accord.
void ArmReadAlone(long port);
// Bytes to write and the read of their answer, started in the same pass as the write. With
// `awaited` the producer holds until the read completes.
void QueueExchange(long port, std::string bytes, const ReadRequest& read, bool awaited);
// Whether the producer holds until a read completes.
void AwaitRead(long port, bool awaited = true);
// Withdraws both read requests and their count (a new command replaces whatever was asked).
void WithdrawReads(long port);
// The mode of the port's next read (a fresh script, file or command starts from FirstStep).
void SetReadMode(long port, ReadMode mode);

// ---- Serving: the transfer state machine ------------------------------------------------
void WriteServed(long port);
void ReadStarted(long port);
void ReadDone(long port);
// True once after a status check was asked; the check is then taken.
bool TakeStatusCheck(long port);
// A read no longer waited for: the request is done and the device's counts drop to one byte,
// so whatever still arrives completes at once instead of filling a read nobody collects.
void ReleaseRead(long port, Device& device);
// A read ended by the silence timeout: the device stops after its current step and the port's
// next read starts in the first-step mode.
void TimeOutRead(long port, Device& device);
// No write or read asked on the port.
void ClearTransfer(long port);

}  // namespace posbench
