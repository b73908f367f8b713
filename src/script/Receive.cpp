#include "script/Receive.h"

#include <cstddef>
#include <limits>

#include "base/Display.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "base/Tick.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "script/ScriptState.h"

namespace posbench {

namespace {

constexpr int32_t kImageHeaderSize = 14;
constexpr char kAck = '\x06';

int32_t Now() { return static_cast<int32_t>(TickCount()); }

// Tick arithmetic wraps like the 32-bit counter itself (no signed overflow).
int32_t TickPlus(int32_t tick, int32_t ms) {
    return static_cast<int32_t>(static_cast<uint32_t>(tick) + static_cast<uint32_t>(ms));
}

// Counters that a long transfer could push past the Long range stop at its top instead.
int32_t SaturatingAdd(int32_t value, std::size_t count) {
    const int64_t sum = static_cast<int64_t>(value) + static_cast<int64_t>(count);
    constexpr int64_t top = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(sum > top ? top : sum);
}

// Start of a timed wait: counting from zero, every time stamp at now.
void ArmTimer(PortState& ps) {
    ps.RcvdCount = 0;
    ps.StartTime = Now();
    ps.FirstCharTime = ps.StartTime;
    ps.LastCharTime = ps.StartTime;
    ps.Deadline = TickPlus(ps.StartTime, ps.TimeoutMs);
    if (ps.CaptureOpen) ps.TimeFirstChar = true;
}

// Leaves nothing for the processor to send or wait for.
void DisarmOutput() {
    gsOutData.clear();
    glOutCount = 0;
}

// The data of a wait line into gsOutData; on failure the message is shown and nothing is armed.
bool ConvertWaitData(const std::string& data, const char* failure) {
    if (ProcessData(data)) {
        gsOutData = gsResult;
        return true;
    }
    Display(failure);
    DisarmOutput();
    return false;
}

void WaitForCount(int16_t port, int32_t count) {
    glOutCount = count;
    glWaitReadMode = ReadMode::Count;
    AwaitRead(port);
}

// RCVT(n)data: the count between the brackets, the data after the closing one.
void ProcessRcvt(int16_t port, const std::string& line) {
    PortState& ps = gPortState(port);
    const long open = InStr(line, "(");
    const long close = InStr(line, ")");
    if (open > 0 && close >= open + 2) {
        glOutCount = CLng(Val(Mid(line, open + 1, close - open - 1)));
    } else {
        Display("Invalid input count");
    }
    ps.ExpectTotal = glOutCount;
    ps.RcvdCount = 0;
    glWaitReadMode = ReadMode::Count;
    // A count of 0 expects no reply: a read marked pending that is never started would hold
    // the port for ever.
    if (glOutCount < 0) glOutCount = 0;
    AwaitRead(port, glOutCount > 0);
    ps.TimeFirstChar = true;

    std::string data = close > 0 ? Mid(line, close + 1) : Mid(line, 5);
    TrimLeadingSpaces(data);
    if (ProcessData(data)) {
        gsOutData = gsResult;
    } else {
        gsOutData.clear();
        Display("Invalid Output String");
    }
}

// SRVI: the printer connects to us; the TCP entry is reopened as a server for this one image.
bool ProcessSrvi(int16_t port) {
    gsSavedTCPMode = gsTCPAddress;
    gsTCPAddress = "SERVER";
    if (!OpenTCP("TCP", port)) {
        // The address goes back at once: nothing will close this channel and restore it later.
        gsTCPAddress = gsSavedTCPMode;
        Display(gsCommErr);
        Display("Unable to open secondary channel");
        DisarmOutput();
        return false;
    }
    PortState& ps = gPortState(port);
    gsImageHdr.clear();
    ps.ImageRcv = true;
    ArmTimer(ps);
    gbStop(port) = false;
    gsOutData.clear();
    glOutCount = ps.ExpectTotal;
    glWaitReadMode = ReadMode::Count;
    return true;
}

// Writes the display form of one received byte at out and returns the position after it:
// text mode shows 32..127 as the character and any other byte as " (xx) ", hex mode "xx ".
char* PutResponseByte(char* out, unsigned char byte, bool hex) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    if (!hex && byte >= 32 && byte <= 127) {
        *out++ = static_cast<char>(byte);
        return out;
    }
    if (!hex) {
        *out++ = ' ';
        *out++ = '(';
    }
    *out++ = kDigits[byte >> 4];
    *out++ = kDigits[byte & 0x0F];
    if (!hex) *out++ = ')';
    *out++ = ' ';
    return out;
}

constexpr std::size_t kMaxResponseBytesPerByte = 6;  // " (xx) "

// The common part of taking in received bytes, as one piece (a captured block) or byte by byte.
// Byte by byte (no capture file) the result is that of one ProcessRCVData call per byte, with
// the response box shown once at the end instead of after every byte: no one could see the
// box between two window pumps anyway, and a large block would cost quadratic time.
void TakeBytes(int16_t port, const std::string& data, bool asOnePiece) {
    if (data.empty()) return;
    giLastRcvByte(port) =
        static_cast<unsigned char>(asOnePiece ? data.front() : data.back());
    if (gbFlashDl(port)) return;

    PortState& ps = gPortState(port);
    ps.RcvdCount = SaturatingAdd(ps.RcvdCount, data.size());
    const int32_t now = Now();
    if (ps.TimeFirstChar) {
        ps.FirstCharTime = now;
        ps.TimeFirstChar = false;
    }
    if (ps.RestartTimeout) {
        ps.LastCharTime = now;
        ps.Deadline = TickPlus(now, ps.TimeoutMs);
    }

    if (ps.CaptureOpen) {
        // A text capture holds one line per piece received, a binary one the bytes as they are.
        ps.CaptureBuf += data;
        try {
            if (gbHexDisplay(port)) {
                WriteBytes(ps.CaptureFileNum, ps.CaptureBuf);
            } else {
                PrintLine(ps.CaptureFileNum, ps.CaptureBuf);
            }
        } catch (...) {
            // The file is incomplete from here on: it is closed, and SETU FILC says so.
            ps.CaptureBuf.clear();
            ps.CaptureFailed = true;
            ps.CaptureOpen = false;
            gsFileErr = FailureLine("Capture File Write Error ");
            throw;
        }
        ps.CaptureBuf.clear();
        return;
    }

    const bool hex = gbHexDisplay(port);
    const std::size_t before = ps.Response.size();
    ps.Response.resize(before + data.size() * kMaxResponseBytesPerByte);
    char* const first = ps.Response.data() + before;
    char* out = first;
    for (char c : data) out = PutResponseByte(out, static_cast<unsigned char>(c), hex);
    ps.Response.resize(before + static_cast<std::size_t>(out - first));
    if (IResponseBox* box = ResponseBox()) box->SetText(ps.Response);
}

// Byte by byte, with the module's error line for a failure (as each ProcessRCVData call has).
// Used only while no capture file is open.
void TakeEachByte(int16_t port, const std::string& data) {
    try {
        TakeBytes(port, data, false);
    } catch (...) {
        Display(FailureLine("ModCommon, ProcessRCVData Error "));
    }
}

}  // namespace

WaitForm ProcessWaitCommand(int16_t port, const std::string& line) {
    try {
        const std::string word = Left(line, 4);
        std::string rest = Mid(line, 5);
        if (!TrimLeadingSpaces(rest)) {
            Display("Invalid WAIT format");
            DisarmOutput();
            return WaitForm::Refused;
        }
        PortState& ps = gPortState(port);

        if (word == "DSRT") {
            DisarmOutput();
            return WaitForm::ModemEvent;
        } else if (word == "RCVT") {
            ProcessRcvt(port, line);
        } else if (word == "RCVC") {
            if (!ConvertWaitData(rest, "Invalid RCVC Parameter")) return WaitForm::Refused;
            ps.ExpectTotal = 1;
            ps.RcvdCount = 0;
            WaitForCount(port, 1);
        } else if (word == "RCVN") {
            if (!ConvertWaitData(rest, "Invalid RCVN Parameter")) return WaitForm::Refused;
            ArmTimer(ps);
            ps.TimeFirstChar = true;
            WaitForCount(port, ps.ExpectTotal);
        } else if (word == "RCVI") {
            if (!ConvertWaitData(rest, "Invalid RCVI Parameter")) return WaitForm::Refused;
            gsImageHdr.clear();
            ps.ImageRcv = true;
            ArmTimer(ps);
            WaitForCount(port, ps.ExpectTotal);
        } else if (word == "SRVI") {
            if (!ProcessSrvi(port)) return WaitForm::Refused;
        } else if (word == "RCVX") {
            gsImageHdr.clear();
            ArmTimer(ps);
            gsOutData.clear();
            glOutCount = ps.ExpectTotal;
            ArmReadAlone(port);
            glWaitReadMode = ReadMode::Count;
        } else {
            // Not a wait form (they are case-sensitive): leave no stale count behind for the
            // processor to wait on.
            Display("Invalid WAIT format");
            DisarmOutput();
            return WaitForm::Refused;
        }
        return WaitForm::Transfer;
    } catch (...) {
        const RuntimeError e = CurrentRuntimeError();
        Display("Error Number " + CStr(e.number()) + "  " + e.description());
        Display("Wait Command Error");
        return WaitForm::Refused;
    }
}

void SetExpectedStatus(int16_t port, const std::string& line) {
    gsExpectedStatus(port) = line;
}

bool ProcessStatusCommand(int16_t port, const std::string& line) {
    try {
        if (GetParameter(1, " ", false, line)) {
            gsStatusMode(port) = UCase(gsResult);
            const std::string& mode = gsStatusMode(port);
            if ((mode == "ON" || mode == "OFF") && GetParameter(2, " ", true, line) &&
                ProcessData(gsResult)) {
                gsOutData = gsResult;
                glOutCount = static_cast<int32_t>(gsExpectedStatus(port).size() / 3 + 1);
                gPortState(port).Response.clear();
                return true;
            }
        }
        gbStop(port) = true;
        return false;
    } catch (...) {
        Display(FailureLine("ModCommon, ProcessStatusCommand Error "));
        if (port >= 1 && port <= kMaxPorts) gbStop(port) = true;
        return false;
    }
}

void CheckStatus(int16_t port) {
    try {
        if (gsStatusMode(port) != "ON") return;
        const std::string& response = gPortState(port).Response;
        std::string received = response;
        StripComment(true, received);
        if (received != gsExpectedStatus(port)) {
            Display("Status Error" + response);
            gbStop(port) = true;
        }
    } catch (...) {
        Display(FailureLine("ModCommon, CheckStatus Error "));
    }
}

void ProcPortCmd(int16_t port, const std::string& line) {
    try {
        if (GetParameter(1, " ", false, line) && UCase(gsResult) == "CLEAR") {
            if (!ClearPortOK(port)) Display("Error clearing Port:" + Str(port));
        } else {
            Display("Invalid PORT parameter");
        }
    } catch (...) {
        Display(FailureLine("ModCommon, ProcPortCmd Error "));
    }
}

void GetAndProcessRead(int16_t port) {
    try {
        const std::string data = gcolDevices.Item(port).GetReadData();
        glAckCount = SaturatingAdd(glAckCount, data.size());
        if (data.empty()) return;

        PortState& ps = gPortState(port);
        if (ps.ImageRcv) {
            ps.CaptureOpen = false;
            std::size_t pos = 0;
            while (pos < data.size() && ps.RcvdCount < kImageHeaderSize) {
                ProcessRCVData(port, std::string(1, data[pos]));
                gsImageHdr += data[pos];
                ++pos;
            }
            if (ps.RcvdCount < kImageHeaderSize) return;  // the header goes on in the next block
            ps.ImageRcv = false;
            ps.CaptureOpen = true;
            ps.TimeFirstChar = true;
            ReceiveImage(gsImageHdr, port);
            if (pos < data.size()) ProcessRCVData(port, data.substr(pos));
            if (!gbBlockArmed) return;
            gbBlockArmed = false;
            gbAckMode = true;
        } else if (ps.CaptureOpen) {
            ProcessRCVData(port, data);
        } else {
            TakeEachByte(port, data);
        }

        if (gbAckMode && glAckCount >= glAckThreshold(port)) {
            glAckCount = 0;
            QueueWrite(port, std::string(1, kAck));
        }
    } catch (...) {
        Display(FailureLine("ModCommon, GetAndProcessRead Error "));
    }
}

void ProcessRCVData(int16_t port, const std::string& data) {
    try {
        TakeBytes(port, data, true);
    } catch (...) {
        Display(FailureLine("ModCommon, ProcessRCVData Error "));
    }
}

void ReceiveImage(const std::string& header, int16_t port) {
    try {
        PortState& ps = gPortState(port);
        bool valid = header.size() >= static_cast<std::size_t>(kImageHeaderSize);
        int64_t total = 0;
        if (valid) {
            uint32_t size = 0;
            for (int i = 13; i >= 10; --i) {
                size = (size << 8) | static_cast<unsigned char>(header[static_cast<std::size_t>(i)]);
            }
            total = static_cast<int64_t>(size) + ps.RcvdCount;
            valid = size <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) &&
                    total <= std::numeric_limits<int32_t>::max();
        }
        if (valid) {
            ps.ExpectTotal = static_cast<int32_t>(total);
            gcolDevices.Item(port).ReadCount(ps.ExpectTotal);
            Display("Total to get: " + CStr(ps.ExpectTotal));
            return;
        }
    } catch (...) {
        // Any failure here means the same thing: the size cannot be trusted.
    }
    Display("Invalid File Size. Image is not valid.");
    if (port >= 1 && port <= kMaxPorts) gbStop(port) = true;
}

}  // namespace posbench
