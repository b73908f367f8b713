#pragma once
// Utility commands of a script's [UTI] section: timing and the print-speed test, receive set-up
// (timeouts, counts, acknowledged blocks, display mode), numbered capture files, LOOP ... LOOP
// NEXT, the secondary channel, delays, and printing or showing the response and status texts.
// Most commands only set fields of the port and return; the printing ones write synchronously.
#include <cstdint>
#include <optional>
#include <string>

namespace posbench {

struct PortState;

// Capture numbers run 1..9999 and wrap back to 1.
inline constexpr int32_t kMaxCaptureNumber = 9999;

// One utility line. fileNum is the handle of the script file being read (LOOP NEXT rereads it).
// Failures are shown in the status list; a DLAY that is not a number sets gbStop(port).
void ProcessUtilityCommand(int16_t port, const std::string& line, int16_t fileNum);

// n + 1, or 1 past 9999.
int32_t NextCaptureNumber(int32_t n);
// n - 1, or 9999 below 1: the number to store so that the next one produced is n.
int32_t CaptureStart(int32_t n);

// The capture name for a number: the first "*" replaced by the number as four digits
// ("img*.tif", 5 gives "img0005.tif"). A name without "*" is returned unchanged; nothing when the
// "*" is the first character or no "." follows it.
std::optional<std::string> FormCaptureName(const std::string& name, int32_t number);

// Advances glCaptureCounter and rewrites name with it (a name without "*" is kept as it is and
// leaves the counter alone). False with gsFileErr for a name FormCaptureName refuses.
bool MakeCaptureName(std::string& name);

// Deletes the file the next MakeCaptureName of name would produce, without moving the counter,
// so that the next capture starts a fresh file.
void KillCaptureFile(const std::string& name, int16_t port);

// Rewinds the script file and reads lineCount lines again, leaving the next LineInput at line
// lineCount + 1. Used by LOOP NEXT and by PROG's ENDW.
void RewindScript(int16_t fileNum, int16_t lineCount);

// A loop going back: the port's current file (or fileNum) is rewound to its own line
// lineCount, and the line counts restart there.
void GoBackToLine(PortState& st, int16_t lineCount, int16_t fileNum = 0);

}  // namespace posbench
