#pragma once
// What is asked of each port. The script processor, the downloads and the windows fill these
// fields and return; the transfer state machine carries the requests out one step per pass;
// PortReady reads the active flags to refuse a port that is still busy. They live with the
// ports so that the port table can read them without reaching up into the script engine.
#include <cstdint>
#include <string>

#include "base/PerPort.h"

namespace posbench {

extern PerPort<std::string> gsSendData;   // bytes queued for writing, one character per byte
extern PerPort<bool> gbSendPending;       // a write of gsSendData is requested
extern PerPort<bool> gbReadAfterWrite;    // start a read of glExpectCount bytes with the write
extern PerPort<bool> gbReadPending;       // a read must complete before the producer goes on
extern PerPort<int32_t> glExpectCount;    // reply bytes expected
extern PerPort<int32_t> glReadMode;       // stop reason handed to the device's ReadComm
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

void ResetPortRequests();

}  // namespace posbench
