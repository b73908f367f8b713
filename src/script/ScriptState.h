#pragma once
// The script engine's own state: the per-port script record (gPortState) with its receive,
// timing, loop and capture fields, and the shared results that waits, status lines and download
// steps hand to the script processor. The per-port request fields that the state machine acts
// on live with the ports (comm/PortRequests.h).
#include <array>
#include <cstdint>
#include <string>

#include "base/Arrays.h"
#include "base/PerPort.h"
#include "comm/PortRequests.h"

namespace posbench {

inline constexpr int kMaxLoopLevels = 8;
inline constexpr int kFileStackSize = 6;     // only the first five are ever filled
inline constexpr int kMaxChainDepth = 5;

struct PortState {
    // Script file (the script processor)
    std::string ScriptFile;
    int16_t FileNum = 0;
    std::array<int16_t, kFileStackSize> FileStack{};
    int16_t FileStackCount = 0;
    int16_t LineNum = 0;
    // Lines read from the current file itself (LineNum counts on across a chained file);
    // loops go back by it. The outer files' counts wait on FileLineStack beside their handles.
    int16_t FileLine = 0;
    std::array<int16_t, kFileStackSize> FileLineStack{};
    int16_t SkipWhileCount = 0;
    int16_t SkipIfCount = 0;      // IF blocks opened while skipping, still to be closed
    bool FileOpen = false;
    int32_t DelayUntil = 0;
    bool Skipping = false;
    // How the last script on the port ended: by an error or a cancel (true), or at its end.
    bool EndedByStop = false;

    // Receiving (waits and receive processing)
    std::string Response;
    std::string CaptureBuf;
    int32_t RcvdCount = 0;
    int32_t ExpectTotal = 0;
    int32_t BlockSize = 0;
    int32_t StartTime = 0;
    int32_t FirstCharTime = 0;
    int32_t LastCharTime = 0;
    int32_t TimeoutMs = 0;
    int32_t Deadline = 0;
    bool ImageRcv = false;
    bool TimeFirstChar = false;
    bool RestartTimeout = false;
    bool CaptureOpen = false;
    int16_t CaptureFileNum = 0;
    bool CaptureFailed = false;  // a write to the capture file failed: it is not announced

    // Loop levels, shared by the utility LOOP command and PROG WHILE
    int16_t LoopDepth = 0;
    BoundedArray<int16_t, 1, kMaxLoopLevels> LoopLine;
    BoundedArray<int16_t, 1, kMaxLoopLevels> LoopCount;
    BoundedArray<bool, 1, kMaxLoopLevels> WhileFalse;
};

extern PerPort<PortState> gPortState;
extern PerPort<int16_t> giSection;          // current section code; 0 before any header

// Results handed from a wait, status or download step to the script processor.
extern std::string gsOutData;
extern int32_t glOutCount;
extern ReadMode glWaitReadMode;
extern ReadMode glDlReadMode;

// Secondary channel (COMM SEC): waits run on the TCP port giSecPort while set.
extern bool gbSecActive;
extern int16_t giSecPort;
extern std::string gsSavedTCPMode;          // the TCP mode text saved while SRVI uses SERVER

// Receive display and acknowledged blocks.
extern PerPort<bool> gbHexDisplay;
extern BoundedArray<int16_t, 0, 9> giLastRcvByte;  // ten entries, indexed by port
extern std::string gsImageHdr;
extern bool gbBlockArmed;
extern bool gbAckMode;
extern int32_t glAckCount;
extern PerPort<int32_t> glAckThreshold;
extern PerPort<std::string> gsExpectedStatus;
extern PerPort<std::string> gsStatusMode;

// Timing of the state machine.
extern PerPort<bool> gbTimeoutOn;
extern int32_t giEventPasses;

// Capture file numbering (SETU ASTK, FILO, FILK).
extern int32_t glCaptureCounter;
extern bool gbCounterSet;

// PROG failures.
extern std::string gsProgErr;

void ResetScriptState();

}  // namespace posbench
