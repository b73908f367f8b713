#include "script/ScriptProcessor.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "base/Display.h"
#include "base/Events.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "base/Tick.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "comm/devices/PortDevice.h"
#include "script/Producers.h"
#include "script/Prog.h"
#include "script/Receive.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"
#include "script/Utility.h"

namespace posbench {
namespace {

// Raised when a device without a comm-event watch is asked for one (only serial and parallel
// lines have modem-status events).
constexpr int32_t kErrNoSuchMember = 438;

void DefaultBeep() {
    std::fputc('\a', stderr);
    std::fflush(stderr);
}

void (*gBeep)() = DefaultBeep;

struct SectionPrefix {
    std::string_view prefix;
    int16_t code;
};

constexpr std::array<SectionPrefix, 28> kSections{{
    {"[HEX", section::Hex},     {"[QUO", section::Hex},      {"[TEX", section::Text},
    {"[LOG", section::Logo},    {"[BMP", section::Bitmap},   {"[BIN", section::Binary},
    {"[EXP", section::Expect},  {"[STA", section::Status},   {"[DEL", section::Delay},
    {"[WAI", section::Wait},    {"[CON", section::Chain},    {"[BOO", section::Boot},
    {"[FLA", section::Flash},   {"[DL_", 14},                {"[PTR", 15},
    {"[TIM", 16},               {"[UTI", section::Utility},  {"[MES", section::Message},
    {"[GFX", 22},               {"[POR", section::Port},     {"[GET", 24},
    {"[DAT", 25},               {"[OPO", 30},                {"[BEE", section::Beep},
    {"[RES", section::Reset},   {"[IMA", section::ImageBank}, {"[PRO", section::Prog},
    {"[TIF", section::Tiff},
}};

// What the processor does after a line: read the next one, or hand the port to the state
// machine and return.
enum class After { NextLine, Return };

// How long a script may run lines without returning to the state machine.
constexpr uint32_t kScriptSliceMs = 20;

void Stop(int16_t port) { gbStop(port) = true; }

// The line's remainder after its header: what follows the first "]", less the one character
// right after it.
std::string AfterHeader(const std::string& line) {
    const long close = InStr(line, "]");
    if (close == 0 || close >= static_cast<long>(line.size())) return {};
    return Mid(line, close + 2);
}

// Queues the converted bytes of a data or text line.
After QueueResult(int16_t port) {
    QueueWrite(port, gsResult);
    return After::Return;
}

// A download section's first step has been prepared in gsOutData: queue it and mark the kind.
After QueueDownload(int16_t port, PerPort<bool>& activeFlag) {
    activeFlag(port) = true;
    QueueWrite(port, gsOutData);
    return After::Return;
}

// The parameter index of line into gsResult; a failure is shown and stops the port.
bool Parameter(int16_t port, int16_t index, bool toEnd, const std::string& line) {
    if (GetParameter(index, " ", toEnd, line)) return true;
    Display(gsTextErr);
    Stop(port);
    return false;
}

// A download line whose file name is missing: the download takes an empty name for "go on
// with the running one" and would stop without a word, so the name check says what is wrong.
bool FileNamed(int16_t port, const std::string& fileName) {
    if (!fileName.empty()) return true;
    CheckFileName(fileName);
    Display(gsFileErr);
    Stop(port);
    return false;
}

After LogoOrBitmap(int16_t port, const std::string& line, bool bitmap) {
    if (!Parameter(port, 1, false, line)) return After::NextLine;
    const std::string id = gsResult;
    if (!Parameter(port, 2, true, line)) return After::NextLine;
    const std::string fileName = gsResult;
    if (!FileNamed(port, fileName)) return After::NextLine;
    std::string prefix = "\x1D\x23";
    prefix += static_cast<char>(HexCharToByte(id));
    if (bitmap) prefix += '\x1B';
    SetDefaultPath(port, gPortState(port).ScriptFile);
    bool abort = false;
    if (producers::FileDownload(port, abort, prefix, fileName)) return QueueDownload(port, gbFileDl);
    Stop(port);
    return After::NextLine;
}

After BinaryFile(int16_t port, const std::string& line) {
    // The first parameter must be there although only the second names the file.
    if (!Parameter(port, 1, true, line)) return After::NextLine;
    if (!Parameter(port, 2, true, line)) return After::NextLine;
    const std::string fileName = gsResult;
    if (!FileNamed(port, fileName)) return After::NextLine;
    SetDefaultPath(port, gPortState(port).ScriptFile);
    bool abort = false;
    if (producers::FileDownload(port, abort, "", fileName)) return QueueDownload(port, gbFileDl);
    Stop(port);
    return After::NextLine;
}

After StatusRequest(int16_t port, const std::string& line) {
    if (!ProcessStatusCommand(port, line)) {
        // The refused command has stopped the port; the loop ends at its next test.
        Display("Invalid Wait for Response Command");
        return After::Return;
    }
    if (gsOutData.empty()) {
        Display("Invalid Wait for Response Command");
        return After::Return;
    }
    if (glOutCount == 0) {
        QueueWrite(port, gsOutData);
        return After::Return;
    }
    // The status reply is read in whatever mode the port's last read used.
    QueueExchange(port, gsOutData, {glOutCount, glReadMode(port), true}, true);
    glWaitReadMode = ReadMode::Count;
    return After::Return;
}

After WaitLine(int16_t scriptPort, const std::string& line) {
    // With a secondary channel chosen, waits run on that port.
    const int16_t port = gbSecActive ? giSecPort : scriptPort;
    gsOutData.clear();
    const WaitForm form = ProcessWaitCommand(port, line);
    // A refused line does nothing (its message is shown); above all it must not be taken for
    // the modem-status form, whose request is empty too.
    if (form == WaitForm::Refused) return After::Return;
    if (form == WaitForm::ModemEvent) {
        auto* portDevice = dynamic_cast<PortDevice*>(&gcolDevices.Item(port));
        if (portDevice == nullptr)
            throw RuntimeError(kErrNoSuchMember, "Object doesn't support this property or method");
        if (!portDevice->EventWatchStartedOk(EV_DSR)) Display("Invalid Wait for Response Command");
    } else if (!gsOutData.empty()) {
        if (glOutCount != 0) QueueExchange(port, gsOutData, {glOutCount, glWaitReadMode}, true);
        else QueueWrite(port, gsOutData);
    } else if (glOutCount != 0) {
        // Nothing to write (RCVX, a server channel): the read starts alone.
        ArmRead(port, {glOutCount, glWaitReadMode});
        AwaitRead(port, gbSecActive);
    }
    return After::Return;
}

After Chain(int16_t port, const std::string& line) {
    if (!Parameter(port, 1, true, line)) return After::NextLine;
    PortState& st = gPortState(port);
    // The stack keeps five outer files; a sixth would be neither resumed nor closed.
    if (st.FileStackCount >= kMaxChainDepth) {
        Display("Chained scripts nested too deeply (at most" + Str(kMaxChainDepth) + " levels)");
        Stop(port);
        return After::NextLine;
    }
    PutFileNumber(port, st.FileNum);
    std::string name = gsResult;
    if (!GetCompletePath(name, st.ScriptFile)) {
        // The outer file is on the stack already: the end-of-file path closes it.
        Display(gsFileErr);
        Stop(port);
        return After::NextLine;
    }
    st.FileOpen = false;
    RunTextFile(port, gbStop(port), name);
    return After::Return;
}

After DownloadByName(int16_t port, const std::string& line, int16_t code) {
    if (!Parameter(port, 1, true, line)) return After::NextLine;
    const std::string fileName = gsResult;
    bool abort = false;
    switch (code) {
        case section::Boot:
            SetDefaultPath(port, gPortState(port).ScriptFile);
            if (producers::BootDownload(port, abort, fileName)) return QueueDownload(port, gbBootDl);
            break;
        case section::Flash:
            // Completed against this script's directory, not a path left by an earlier script.
            SetDefaultPath(port, gPortState(port).ScriptFile);
            if (producers::FlashDownload(port, abort, fileName)) {
                if (glOutCount != 0) {
                    ArmRead(port, {glOutCount, glDlReadMode});
                    AwaitRead(port);
                }
                return QueueDownload(port, gbFlashDl);
            }
            break;
        default:  // image bank
            SetDefaultPath(port, gPortState(port).ScriptFile);
            if (producers::ImageBankDownload(port, abort, fileName)) {
                SetReadMode(port, glDlReadMode);
                return QueueDownload(port, gbIBankDl);
            }
            break;
    }
    Stop(port);
    return After::NextLine;
}

After Dispatch(int16_t port, std::string& line) {
    PortState& st = gPortState(port);
    const int16_t code = giSection(port);
    switch (code) {
        case section::Hex:
            if (line.empty() || !ProcessData(line)) return After::NextLine;
            return QueueResult(port);
        case section::Text:
            if (line.empty()) line = "[0A][NP]";
            if (!ProcessMixedLine(line)) return After::NextLine;
            return QueueResult(port);
        case section::Logo:
        case section::Bitmap:
            return LogoOrBitmap(port, line, code == section::Bitmap);
        case section::Binary:
            return BinaryFile(port, line);
        case section::Expect:
            SetExpectedStatus(port, line);
            return After::NextLine;
        case section::Status:
            return StatusRequest(port, line);
        case section::Delay:
            if (!ProcessDelay(port, line)) Stop(port);
            return After::Return;
        case section::Wait:
            return WaitLine(port, line);
        case section::Chain:
            return Chain(port, line);
        case section::Boot:
        case section::Flash:
        case section::ImageBank:
            return DownloadByName(port, line, code);
        case section::Utility:
            ProcessUtilityCommand(port, line, st.FileNum);
            return gbDelay(port) ? After::Return : After::NextLine;
        case section::Message:
            Display(line);
            return After::NextLine;
        case section::Port:
            ProcPortCmd(port, line);
            return After::NextLine;
        case section::Beep:
            gBeep();
            return After::NextLine;
        case section::Reset:
            // Handed to the machine at once like every other line that queues bytes: left
            // queued, the reset would be replaced by the next line's bytes, or dropped at the
            // end of the script when the finished port stops.
            SendReset(port);
            return After::Return;
        case section::Prog:
            if (!ProcessProgLine(port, line)) Display(gsProgErr);
            return After::NextLine;
        case section::Tiff:
            if (!producers::TiffAvailable()) {
                producers::ProcessTiffFile(port, line);  // names the missing capability, stops
                return After::NextLine;
            }
            if (!producers::ProcessTiffFile(port, line)) Display(producers::TiffError());
            return After::NextLine;
        default:
            return After::NextLine;
    }
}

// True for a PROG IF statement (the statement word, any case, as ProcessProgLine reads it).
bool IsIfStatement(const std::string& line) {
    const auto first = line.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    const auto end = line.find(' ', first);
    return UCase(line.substr(first, end == std::string::npos ? end : end - first)) == "IF";
}

// PROG skipping: true when the line is dropped. Blocks opened inside the skipped part are
// counted, so that their own ELSE, ENDF and ENDW do not end the outer block's skipping.
bool SkippedByProg(PortState& st, const std::string& line) {
    if (!st.Skipping) return false;
    if (InStr(line, "WHILE") > 0) {
        st.SkipWhileCount = ToInteger(st.SkipWhileCount + 1);
        return true;
    }
    if (IsIfStatement(line)) {
        st.SkipIfCount = ToInteger(st.SkipIfCount + 1);
        return true;
    }
    if (InStr(line, "ENDF") > 0 && st.SkipIfCount > 0) {
        --st.SkipIfCount;
        return true;
    }
    if (InStr(line, "ENDF") > 0 || InStr(line, "ENDW") > 0) {
        st.Skipping = false;
        return false;
    }
    return InStr(line, "ELSE") == 0 || st.SkipIfCount > 0;
}

After ProcessLine(int16_t port, std::string line) {
    PortState& st = gPortState(port);
    if (SkippedByProg(st, line)) return After::NextLine;

    if (!line.empty() && line.front() == '[') {
        const int16_t code = SectionCode(line);
        if (code != section::None)
            giSection(port) = code;
        else
            Display("Unknown Section " + UCase(Left(line, 4)));
        line = AfterHeader(line);
    }

    const int16_t code = giSection(port);
    const bool textual = code == section::Text || code == section::Message;
    if (!textual && !TrimLeadingSpaces(line)) Display("Invalid data line");

    if (!line.empty() && line.front() == '\'') return After::NextLine;
    const bool keepsEmpty = textual || code == section::Beep || code == section::Reset;
    if ((line.empty() || line.front() == ' ') && !keepsEmpty) return After::NextLine;

    if (!line.empty() && !StripComment(textual, line)) Display(gsTextErr);
    return Dispatch(port, line);
}

// End of a file: close it (and the capture file), then go back to the file that chained to it,
// or end the script.
void EndOfFile(int16_t port) {
    PortState& st = gPortState(port);
    if (st.CaptureOpen) {
        CloseFile(st.CaptureFileNum);
        st.CaptureOpen = false;  // received data must not go to a closed handle
    }
    if (st.FileNum != 0) CloseFile(st.FileNum);
    const int16_t outer = GetFileNumber(port);
    if (outer != 0) {
        // The outer file is still open even when the chained one never opened.
        st.FileNum = outer;
        st.FileOpen = true;
        RunTextFile(port, gbStop(port), "");
        return;
    }
    st.EndedByStop = gbStop(port);
    if (gbStop(port)) {
        gbPortFailed(port) = true;
        Display("Error or operator initiated cancel on line " + Str(st.LineNum));
    }
    st.FileNum = 0;
    st.FileOpen = false;
    gbScriptRunning(port) = false;
    gbStop(port) = true;
}

}  // namespace

int16_t SectionCode(const std::string& headerLine) {
    const std::string prefix = UCase(Left(headerLine, 4));
    for (const SectionPrefix& entry : kSections)
        if (entry.prefix == prefix) return entry.code;
    return section::None;
}

void RunTextFile(int16_t port, bool stopRequested, const std::string& fileName) {
    try {
        PortState& st = gPortState(port);
        if (!st.FileOpen) {
            if (OpenFile(fileName, open_mode::TextRead)) {
                st.Response.clear();
                st.FileNum = giFileNum;
                st.LineNum = 0;
                st.FileLine = 0;
                st.ScriptFile = fileName;
                st.FileOpen = true;
                if (st.FileStackCount == 0) {
                    // A new script starts outside any PROG block or loop that an earlier one
                    // left open; a chained file goes on inside those of the file calling it.
                    st.Skipping = false;
                    st.SkipWhileCount = 0;
                    st.SkipIfCount = 0;
                    st.LoopDepth = 0;
                    // A cancel of an earlier transfer must not cut this script's waits (the
                    // pause of PORT CLEAR, the TCP reopening); a cancel from now on does.
                    gbDlAbort(port) = false;
                }
                gbStop(port) = false;
                gbScriptRunning(port) = true;
                gbSecActive = false;
                giSecPort = 0;
            } else {
                Display(gsFileErr);
                gbStop(port) = true;
                st.FileNum = 0;
                stopRequested = true;
            }
        }
        if (!stopRequested) {
            std::string line;
            const uint32_t sliceEnd = TickCount() + kScriptSliceMs;
            while (!gbStop(port) && !FileEOF(st.FileNum)) {
                LineInput(st.FileNum, line);
                st.LineNum = ToInteger(st.LineNum + 1);
                const int16_t fileLine = ToInteger(st.FileLine + 1);
                st.FileLine = fileLine;
                if (ProcessLine(port, line) == After::Return) return;
                // A loop that has jumped back gives the port back to the state machine once
                // its time slice is over, so that a cancel or a time limit reaches a loop that
                // never waits on the printer; the next pass goes on from here.
                if (st.FileLine < fileLine && TickReached(TickCount(), sliceEnd)) return;
            }
        }
        EndOfFile(port);
    } catch (...) {
        // The file stays open: the state machine resumes the port with its stop flag set and
        // the end-of-file path closes it.
        const RuntimeError e = CurrentRuntimeError();
        Display("File Access Error" + CStr(e.number()) + ": " + e.description());
        try {
            gbStop(port) = true;
        } catch (...) {
        }
    }
}

bool ProcessTextFile(int16_t port, const std::string& fileName) {
    try {
        if (port <= 0) {
            Display("No Active Ports");
            return false;
        }
        gbConfigPending(port) = false;
        if (PortIsActive(port)) {
            Display("Port " + Str(port) + " is active");
            return false;
        }
        if (InStr(UCase(gsPortTable(port)), "OFF") > 0) {
            Display("Port " + Str(port) + " is Off");
            return false;
        }
        gPortState(port).Response.clear();
        gbStop(port) = false;
        SetReadMode(port, ReadMode::FirstStep);
        gbScriptRunning(port) = true;
        RunTextFile(port, false, fileName);
        gbConfigPending(port) = true;
        WakeEvents();  // the engine loop may be asleep until something happens: this is it
        return !gbStop(port);
    } catch (...) {
        Display("modControl, ProcessTextFile Error: " + CurrentRuntimeError().description());
        return false;
    }
}

void PutFileNumber(int16_t port, int16_t fileNum) {
    try {
        PortState& st = gPortState(port);
        if (st.FileStackCount < kMaxChainDepth) {
            st.FileStack.at(static_cast<std::size_t>(st.FileStackCount)) = fileNum;
            st.FileLineStack.at(static_cast<std::size_t>(st.FileStackCount)) = st.FileLine;
            ++st.FileStackCount;
        }
    } catch (...) {
        Display(FailureLine(" modControl PutFileNumber Error "));
    }
}

int16_t GetFileNumber(int16_t port) {
    try {
        PortState& st = gPortState(port);
        if (st.FileStackCount <= 0) return 0;
        --st.FileStackCount;
        // The outer file goes on where it was: its loops count its own lines.
        st.FileLine = st.FileLineStack.at(static_cast<std::size_t>(st.FileStackCount));
        return st.FileStack.at(static_cast<std::size_t>(st.FileStackCount));
    } catch (...) {
        Display(FailureLine(" modControl GetFileNumber Error "));
        return 0;
    }
}

void SetBeepHook(void (*beep)()) { gBeep = beep != nullptr ? beep : DefaultBeep; }

void ResetScriptProcessorGlobals() { gBeep = DefaultBeep; }

}  // namespace posbench
