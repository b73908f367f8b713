#include "script/Utility.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/Display.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "base/Tick.h"
#include "base/Views.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"
#include "script/WholeNumber.h"

namespace posbench {

namespace {

constexpr const char* kPrintError = "Print Error. Abort speed test.";

int32_t Now() { return static_cast<int32_t>(TickCount()); }

// Parameter index of line (to its end when toEnd), or nothing when it cannot be read.
std::optional<std::string> Parameter(int16_t index, bool toEnd, const std::string& line) {
    if (!GetParameter(index, " ", toEnd, line)) return std::nullopt;
    return gsResult;
}

// The leading number of a parameter as a Long (WRIN, WANU, EVNT, ASTK).
int32_t LeadingLong(const std::string& text) { return CLng(Val(text)); }

// Writes bytes synchronously; false (after the message) when the printer could not take them.
bool PrintBytes(int16_t port, const std::string& bytes) {
    if (WriteReadOk(bytes, 0, false, port)) return true;
    Display(kPrintError);
    return false;
}

// A text line converted as a mixed line (a line feed appended) and printed.
bool PrintText(int16_t port, const std::string& text) {
    if (!ProcessMixedLine(text)) {
        Display(gsTextErr);
        return false;
    }
    return PrintBytes(port, gsResult);
}

std::string Seconds(int32_t ms) { return CStr(static_cast<double>(ms) / 1000.0); }

// ---- TIME ----

void SpeedTest(int16_t port, const std::string& line) {
    const auto countText = Parameter(3, false, line);
    if (!countText) {
        Display("Invalid Parameter in Speed Command");
        return;
    }
    const auto mode = Parameter(4, false, line);
    if (!mode) {
        Display("Invalid Parameter in TIME Command");
        return;
    }
    const double count = Val(*countText);
    const int32_t elapsed = Now() - gPortState(port).StartTime;

    if (!ProcessData("0A 0A 0A 0A")) {
        Display(gsTextErr);
        return;
    }
    if (!PrintBytes(port, gsResult)) return;
    if (!PrintText(port, "Speed Test")) return;

    std::string unit;
    double factor = 0;
    if (*mode == "1") {
        unit = "3.37MM/Line";
        factor = 3370;
    } else if (*mode == "2") {
        unit = "3.75MM/Line";
        factor = 3750;
    }
    const bool millimetres = *mode == "3";
    if (!PrintText(port, millimetres ? "MM:    " + CStr(count)
                                     : "Lines: " + CStr(count) + " @ " + unit))
        return;
    if (!PrintText(port, "Time: " + Seconds(elapsed) + " secs")) return;

    if (elapsed == 0) Raise(err::DivisionByZero);
    const double speed = count * (millimetres ? 1000.0 : factor) / elapsed;
    PrintText(port, "Speed: " + Left(LTrim(Str(speed)), 5) + " mm/sec");
}

void TimeCommand(int16_t port, const std::string& sub, const std::string& line) {
    PortState& st = gPortState(port);
    if (sub == "INIT") {
        const int32_t now = Now();
        st.StartTime = st.FirstCharTime = st.LastCharTime = st.Deadline = now;
        st.RestartTimeout = true;
    } else if (sub == "STOP") {
        st.Deadline = Now();
        st.RestartTimeout = false;
        if (gbTimeoutOn(port)) {
            gbTimeoutOn(port) = false;
            gcolDevices.Item(port).StopRead(1);
        }
    } else if (sub == "TOUT") {
        const auto n = Parameter(3, false, line);
        if (!n) {
            Display("Invalid Parameter in TOUT Command");
            return;
        }
        const int32_t tenths = WholeNumber(*n);
        gbTimeoutOn(port) = true;
        st.TimeoutMs = ToLong(static_cast<int64_t>(tenths) * 100);
    } else if (sub == "SHOW") {
        st.RestartTimeout = false;
        Display("Start to first char is: " + Seconds(st.FirstCharTime - st.StartTime) + " secs");
        Display("Start to last char is: " + Seconds(st.LastCharTime - st.StartTime) + " secs");
        Display("First to last char is: " + Seconds(st.LastCharTime - st.FirstCharTime) + " secs");
    } else if (sub == "SPEE") {
        SpeedTest(port, line);
    }
}

// ---- SETU: capture files ----

// False when the capture did not reach the disk whole (gsFileErr says why).
bool CloseCapture(PortState& st) {
    st.CaptureOpen = false;
    bool stored = !st.CaptureFailed;
    if (st.CaptureFileNum != 0 && !CloseFile(st.CaptureFileNum)) stored = false;
    st.CaptureFileNum = 0;
    st.CaptureFailed = false;
    return stored;
}

// Names in the script are relative to the script that runs on scriptPort.
std::optional<std::string> ResolvedName(int16_t scriptPort, const std::string& line,
                                        const char* missingText, const char* invalidText) {
    auto name = Parameter(3, true, line);
    if (!name) {
        Display(missingText);
        return std::nullopt;
    }
    if (name->empty() || !GetCompletePath(*name, gPortState(scriptPort).ScriptFile)) {
        Display(invalidText);
        return std::nullopt;
    }
    return name;
}

void OpenCapture(int16_t port, int16_t scriptPort, const std::string& line) {
    auto name = ResolvedName(scriptPort, line, "Invalid Parameter in FILO Command",
                             "Invalid FILO file name");
    if (!name) return;
    if (!MakeCaptureName(*name)) {
        Display(gsFileErr);
        return;
    }
    PortState& st = gPortState(port);
    // A capture still open would otherwise be left open for good, its handle forgotten.
    CloseCapture(st);
    st.CaptureBuf.clear();
    st.RcvdCount = 0;
    if (!OpenFile(*name, gbHexDisplay(port) ? open_mode::BinaryWrite : open_mode::TextAppend)) {
        Display(gsFileErr);
        return;
    }
    st.CaptureFileNum = giFileNum;
    st.CaptureOpen = true;
}

void SetupCommand(int16_t port, int16_t scriptPort, const std::string& sub,
                  const std::string& line) {
    PortState& st = gPortState(port);
    // The count parameters: the leading number of parameter 3, or the message when it is missing.
    auto number = [&](const char* invalidText) -> std::optional<int32_t> {
        const auto text = Parameter(3, true, line);
        if (!text) {
            Display(invalidText);
            return std::nullopt;
        }
        return LeadingLong(*text);
    };

    if (sub == "RTXT") {
        gbHexDisplay(port) = false;
    } else if (sub == "RHEX") {
        gbHexDisplay(port) = true;
    } else if (sub == "FILO") {
        OpenCapture(port, scriptPort, line);
    } else if (sub == "FILC") {
        gbBlockArmed = false;
        st.RestartTimeout = false;
        gbTimeoutOn(port) = false;
        st.ImageRcv = false;
        if (CloseCapture(st)) {
            Display("Image saved as " + gsFileName);
        } else {
            Display(gsFileErr);
            Display("Image not saved: " + gsFileName);
            gbStop(port) = true;
        }
    } else if (sub == "FILK") {
        const auto name = ResolvedName(scriptPort, line, "Invalid Parameter in FILK Command",
                                       "Invalid FILK file name");
        if (name) KillCaptureFile(*name, port);
    } else if (sub == "WRIN") {
        if (const auto n = number("Invalid WRIN Parameter")) {
            st.BlockSize = *n;
            glAckThreshold(port) = *n;
        }
    } else if (sub == "WANU") {
        if (const auto n = number("Invalid WANU Parameter")) {
            st.ExpectTotal = *n;
            st.RcvdCount = 0;
        }
    } else if (sub == "RBLK") {
        gbBlockArmed = true;
        gbAckMode = false;
        glAckCount = 0;
    } else if (sub == "EVNT") {
        if (const auto n = number("Invalid EVNT Parameter")) giEventPasses = *n;
    } else if (sub == "ASTK") {
        if (const auto n = number("Invalid ASTK Parameter")) {
            if (!gbCounterSet) {
                glCaptureCounter = CaptureStart(*n);
                gbCounterSet = true;
            }
        }
    } else {
        Display("Unknown SETU parameter");
    }
}

// ---- LOOP ----

void LoopCommand(int16_t port, int16_t fileNum, const std::string& sub) {
    PortState& st = gPortState(port);
    if (RTrim(sub) == "NEXT") {
        if (st.LoopDepth < 1) {
            Display("LOOP NEXT without valid LOOP start");
            return;
        }
        int16_t& count = st.LoopCount(st.LoopDepth);
        --count;
        if (count < 1) {
            --st.LoopDepth;
            return;
        }
        GoBackToLine(st, st.LoopLine(st.LoopDepth), fileNum);
        return;
    }
    const int32_t n = WholeNumber(sub);
    if (n < 1) {
        Display("0 count loop ignored");
        return;
    }
    const long level = st.LoopDepth + 1;  // a ninth level is out of range
    st.LoopCount(level) = ToInteger(n);
    st.LoopLine(level) = st.FileLine;
    st.WhileFalse(level) = false;
    st.LoopDepth = static_cast<int16_t>(level);
}

// ---- RESP and STAT ----

std::string ResponseBoxText() {
    IResponseBox* box = ResponseBox();
    return box ? box->Text() : std::string();
}

void ClearResponse(int16_t port) {
    if (IResponseBox* box = ResponseBox()) box->SetText("");
    gPortState(port).Response.clear();
}

void RespCommand(int16_t port, const std::string& sub) {
    if (sub == "CLEA") {
        ClearResponse(port);
    } else if (sub == "PRIN") {
        PrintText(port, ResponseBoxText());
    }
}

void StatCommand(int16_t port, const std::string& sub) {
    IStatusList* list = StatusList();
    if (sub == "CLEA") {
        if (list) list->Clear();
        gPortState(port).Response.clear();
    } else if (sub == "VIEW") {
        Display(ResponseBoxText());
        ClearResponse(port);
    } else if (sub == "PRIN") {
        // Printing may itself add lines (a failure message); the count read each time keeps the
        // index inside the list.
        for (long i = 0; list && i < list->ListCount(); ++i) {
            list->SetListIndex(i);
            if (!PrintText(port, list->Item(i))) return;
        }
    } else {
        Display("Warning:  Unknown STAT Parameter");
    }
}

}  // namespace

int32_t NextCaptureNumber(int32_t n) { return n >= kMaxCaptureNumber || n < 0 ? 1 : n + 1; }

int32_t CaptureStart(int32_t n) { return n <= 1 ? kMaxCaptureNumber : n - 1; }

std::optional<std::string> FormCaptureName(const std::string& name, int32_t number) {
    const auto star = name.find('*');
    if (star == std::string::npos) return name;
    if (star == 0 || name.find('.', star + 1) == std::string::npos) return std::nullopt;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", static_cast<int>(number));
    return name.substr(0, star) + digits + name.substr(star + 1);
}

bool MakeCaptureName(std::string& name) {
    const auto star = name.find('*');
    if (star == std::string::npos) return true;
    const int32_t next = NextCaptureNumber(glCaptureCounter);
    const auto formed = FormCaptureName(name, next);
    if (!formed) {
        gsFileErr = "Invalid capture file name " + name;
        return false;
    }
    glCaptureCounter = next;
    name = *formed;
    return true;
}

void KillCaptureFile(const std::string& name, int16_t port) {
    const auto formed = FormCaptureName(name, NextCaptureNumber(glCaptureCounter));
    if (!formed) {
        Display("Invalid FILK file name");
        return;
    }
    std::error_code ec;
    const std::filesystem::path path = NativePath(*formed);
    if (std::filesystem::is_regular_file(path, ec) && !std::filesystem::remove(path, ec)) {
        Display("Port" + Str(port) + ": can't delete " + *formed + " (" + ec.message() + ")");
    }
}

void GoBackToLine(PortState& st, int16_t lineCount, int16_t fileNum) {
    st.FileLine = lineCount;
    st.LineNum = lineCount;
    RewindScript(fileNum != 0 ? fileNum : st.FileNum, lineCount);
}

void RewindScript(int16_t fileNum, int16_t lineCount) {
    SeekFile(fileNum, 0);
    std::string discarded;
    for (int16_t i = 0; i < lineCount; ++i) {
        if (!LineInput(fileNum, discarded)) break;
    }
}

void ProcessUtilityCommand(int16_t port, const std::string& line, int16_t fileNum) {
    try {
        const std::string word = Left(line, 4);
        const std::string sub = line.size() > 5 ? Mid(line, 6, 4) : std::string();
        // A chosen secondary channel takes the receive and display commands; the loops stay
        // with the script being read.
        const int16_t target = gbSecActive ? giSecPort : port;

        if (word == "TIME") {
            TimeCommand(target, sub, line);
        } else if (word == "COMM") {
            if (RTrim(sub) == "SEC") {
                gbSecActive = true;
                if (IEngineHost* host = EngineHost()) {
                    if (const int16_t tcp = host->GetSetIndex(true); tcp != 0) giSecPort = tcp;
                }
            } else {
                gbSecActive = false;
            }
        } else if (word == "RCVD") {
            if (sub == "INIT") gPortState(port).RcvdCount = 0;
            else Display("Invalid RCVD parameter in script");
        } else if (word == "DLAY") {
            if (!ProcessDelay(port, sub)) gbStop(port) = true;
        } else if (word == "SETU") {
            SetupCommand(target, port, sub, line);
        } else if (word == "LOOP") {
            LoopCommand(port, fileNum, sub);
        } else if (word == "RESP") {
            RespCommand(target, sub);
        } else if (word == "STAT") {
            StatCommand(target, sub);
        } else {
            Display("Warning:  Unknown line in Configuration File");
        }
    } catch (...) {
        const RuntimeError e = CurrentRuntimeError();
        Display(ErrorLine("ModUtility, ProcessUtilityCommand Error ", e, "  "));
        int16_t lineNum = 0;
        if (port >= 1 && port <= kMaxPorts) lineNum = gPortState(port).LineNum;
        Display("Command Line Number is: " + CStr(lineNum));
    }
}

}  // namespace posbench
