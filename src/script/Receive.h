#pragma once
// Response waits and receive processing. A WAIT line arms the port's receive fields and leaves
// the bytes to send in gsOutData and the reply count in glOutCount for the script processor;
// the state machine hands what the device received to GetAndProcessRead, which counts it,
// stamps its times, writes the capture file and builds the response text. The status check
// ([EXP]/[STA]) and the PORT command live here as well.
#include <cstdint>
#include <string>

namespace posbench {

// What a [WAI] line asks of the processor: nothing (the line was refused, its message shown),
// a watch for the line's modem-status event (DSRT), or the send and the count it left in
// gsOutData and glOutCount.
enum class WaitForm { Refused, ModemEvent, Transfer };

// A [WAI] line: DSRT, RCVT(n), RCVC, RCVN, RCVI, SRVI or RCVX (case-sensitive, columns 1-4).
// Any other word is refused with "Invalid WAIT format" and leaves nothing armed.
WaitForm ProcessWaitCommand(int16_t port, const std::string& line);

// An [EXP] line: the expected status, written as the response text will look.
void SetExpectedStatus(int16_t port, const std::string& line);

// A [STA] line: "ON"/"OFF" then the bytes of the status request. False (and gbStop set) when
// the mode or the bytes are not valid.
bool ProcessStatusCommand(int16_t port, const std::string& line);

// Compares the received response with the expected status when the status mode is "ON";
// a mismatch shows "Status Error" + the response and stops the port.
void CheckStatus(int16_t port);

// A [POR] line: only "CLEAR" (any case) is known; it resets the port.
void ProcPortCmd(int16_t port, const std::string& line);

// Fetches what the port's device has received and processes it (image header, capture file,
// response text, block acknowledgement).
void GetAndProcessRead(int16_t port);

// One received byte, or a whole block while a capture file is open.
void ProcessRCVData(int16_t port, const std::string& data);

// Sets the expected total from a 14-byte image header (size in bytes 11..14, LSB first).
void ReceiveImage(const std::string& header, int16_t port);

}  // namespace posbench
