#include "script/StateMachine.h"

#include <algorithm>
#include <atomic>

#include "base/Display.h"
#include "base/Events.h"
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
#include "script/Producers.h"
#include "script/Receive.h"
#include "script/ScriptProcessor.h"
#include "script/ScriptState.h"
#include "script/WholeNumber.h"

namespace posbench {
namespace {

using std::chrono::milliseconds;

// A wait blind to input (the desktop program's timer when it has no pump descriptor) polls an
// idle port for unsolicited data this often.
constexpr milliseconds kIdleWait{5};
// A write draining the driver's output queue: nothing wakes the loop when it empties.
constexpr milliseconds kPollWait{1};
// In a wait that a read's bytes end (a reader thread's notice, or the line's watched
// descriptor), these bounds only limit how late a time-out that the engine does not keep
// itself (a device's own read time-out) is noticed. The engine's own deadlines (a delay's end,
// a read's silence) end the wait on time. A wait blind to input polls a read at kPollWait.
constexpr milliseconds kReadWait{250};
constexpr milliseconds kIdleInputWait{1000};

// What a port's step did, in rising order of urgency for the loop.
enum class Activity { Idle, Delaying, Awaiting, Polling, Progress };

// The request a step was serving; a run-time error drops it so that it is not retried forever.
enum class Step { None, Write, StartRead, Read, FileDl, FlashDl, BootDl, Unsolicited, IBankDl,
                  Delay, Config, Script, Timeout };

int32_t giPassCounter = 10;
std::atomic<bool> gbEndRequested{false};
milliseconds gNextWait = kIdleWait;
milliseconds gNextInputWait = kIdleInputWait;

// Signed distance from deadline to now, correct across the 32-bit wrap of the tick count.
int32_t PastDeadline(int32_t deadline) {
    return static_cast<int32_t>(TickCount() - static_cast<uint32_t>(deadline));
}

Device& DeviceOf(int16_t port) { return gcolDevices.Item(port); }

bool LinkRecovering(int16_t port) {
    const IEngineHost* host = EngineHost();
    return host && host->LinkRecovering(port);
}

// The link went away under a read that no pending request waits on (a command's reply is
// collected as it comes). Not while recovery already closes and reopens the link: a printer
// that was told to reset hangs up as it should.
bool UnsolicitedLinkLost(int16_t port) {
    if (port > giNumPorts || port > gcolDevices.Count()) return false;
    return DeviceOf(port).LinkLost() && !LinkRecovering(port);
}

// A failed request stops the port's work and marks it failed.
void FailPort(int16_t port, const std::string& why) {
    Display(why);
    gbStop(port) = true;
    gbPortFailed(port) = true;
}

// The link has failed (a write refused, or the printer's side gone during a read): the port's
// work ends and link recovery closes and reopens it.
void LinkFailed(int16_t port, const std::string& why) {
    FailPort(port, why);
    Display("Attempting to reconnect");
    ArmReconnect(port, 300);
}

// The steps of a download that sends its next block and, for flash and image banks, reads the
// printer's answer.
Activity DownloadStepDone(int16_t port, PerPort<bool>& active, bool expectsReply, bool setsBlock) {
    if (gsOutData.empty()) {
        active(port) = false;
        return Activity::Progress;
    }
    if (expectsReply && glOutCount != 0) {
        QueueExchange(port, gsOutData, {glOutCount, glDlReadMode}, true);
        if (setsBlock) DeviceOf(port).BlockCount(glOutCount);
    } else {
        QueueWrite(port, gsOutData);
    }
    return Activity::Progress;
}

void CheckStatusIfAsked(int16_t port) {
    if (TakeStatusCheck(port)) CheckStatus(port);
}

// A new counted read for the bytes of the image still to come; the device's counts start
// afresh, so it waits for what is missing rather than for the whole total.
void ContinueImageRead(int16_t port) {
    Device& dev = DeviceOf(port);
    const PortState& st = gPortState(port);
    dev.ReadCount(st.ExpectTotal - st.RcvdCount);
    dev.BlockCount(glAckThreshold(port));
    if (!dev.ReadComm(StopReason(glReadMode(port)))) {
        FailPort(port, dev.LastError());
        return;
    }
    AwaitRead(port);
}

Activity ReadStep(int16_t port) {
    Device& dev = DeviceOf(port);
    PortState& st = gPortState(port);
    if (gbStop(port)) {
        ReleaseRead(port, dev);
        return Activity::Progress;
    }
    if (dev.ReadIsComplete()) {
        ReadDone(port);
        const bool headerDue = st.ImageRcv;
        GetAndProcessRead(port);
        if (headerDue && !st.ImageRcv && st.RcvdCount < st.ExpectTotal) {
            // The read ended with the image header, whose size raised the total past what
            // the read waited for: the rest of the image is read on, not left on the line.
            ContinueImageRead(port);
            return Activity::Progress;
        }
        CheckStatusIfAsked(port);
        if (gbFlashDl(port)) {
            if (dev.AnswerMadeUp())
                FailPort(port, "Port " + CStr(port) +
                                   " No acknowledgement of the download block from the printer");
            else
                producers::CheckDownloadResponse(port);
        }
        if (gbSecActive) {
            // The secondary channel's server connection served this one read.
            CloseTCP("TCP", STOP_R_FORCE);
            gsTCPAddress = gsSavedTCPMode;
        }
        return Activity::Progress;
    }
    if (dev.BlockIsComplete()) {
        GetAndProcessRead(port);
        CheckStatusIfAsked(port);
        return Activity::Progress;
    }
    if (dev.LinkLost()) {
        ReadDone(port);
        LinkFailed(port, dev.TakeLinkLost());
        return Activity::Progress;
    }
    if (gbTimeoutOn(port) && !st.TimeFirstChar && PastDeadline(st.Deadline) > 0) {
        Display("Total Rcv'd:" + Str(st.RcvdCount) + " of " + Str(st.ExpectTotal));
        gbTimeoutOn(port) = false;
        TimeOutRead(port, dev);
        ReadDone(port);
        Display("Time out");
        return Activity::Progress;
    }
    return Activity::Awaiting;
}

// The write of a queued request. Polling while the device still sends the previous one; a
// failed write fails the port and arms its link recovery.
Activity WriteStep(int16_t port) {
    if (gbStop(port)) {
        WriteServed(port);
        return Activity::Progress;
    }
    Device& dev = DeviceOf(port);
    if (!dev.WriteIsComplete()) return Activity::Polling;
    // The write before this one ended without reaching the printer (its time-out): the bytes
    // queued behind it would be out of order, so the port's work ends as after a failed write.
    if (const std::string failed = dev.TakeWriteFailure(); !failed.empty())
        LinkFailed(port, failed);
    else if (!dev.WriteComm(gsSendData(port)))
        LinkFailed(port, dev.LastError());
    WriteServed(port);
    return Activity::Progress;
}

// A port with nothing left to do whose last write the printer has not yet taken in full. No
// later write runs into that write's failure, so it is looked for here: without it, a script
// whose last line the printer never takes would end as if it had been printed.
Activity DrainWriteStep(int16_t port) {
    if (WriteDrained(port)) return Activity::Idle;
    if (const std::string failed = DeviceOf(port).TakeWriteFailure(); !failed.empty()) {
        LinkFailed(port, failed);
        return Activity::Progress;
    }
    return Activity::Polling;
}

Activity StartReadStep(int16_t port) {
    Device& dev = DeviceOf(port);
    dev.ReadCount(glExpectCount(port));
    dev.BlockCount(glAckThreshold(port));
    if (!gbStop(port) && !dev.ReadComm(StopReason(glReadMode(port))))
        FailPort(port, dev.LastError());
    ReadStarted(port);
    return Activity::Progress;
}

// The downloads, in the order they are served; they differ only in their producer and in what
// follows a block (an answer read, the device's block size set to the answer's length).
struct DownloadKind {
    Step step;
    PerPort<bool>& active;
    bool (*next)(int16_t port, bool& abort);
    bool expectsReply;
    bool setsBlock;
};

bool NextFileBlock(int16_t port, bool& abort) { return producers::FileDownload(port, abort, "", ""); }
bool NextFlashBlock(int16_t port, bool& abort) { return producers::FlashDownload(port, abort, ""); }
bool NextBootBlock(int16_t port, bool& abort) { return producers::BootDownload(port, abort, ""); }
bool NextImageBankBlock(int16_t port, bool& abort) {
    return producers::ImageBankDownload(port, abort, "");
}

const DownloadKind kDownloads[] = {
    {Step::FileDl, gbFileDl, NextFileBlock, false, false},
    {Step::FlashDl, gbFlashDl, NextFlashBlock, true, false},
    {Step::BootDl, gbBootDl, NextBootBlock, false, false},
    {Step::IBankDl, gbIBankDl, NextImageBankBlock, true, true},
};

Activity DownloadStep(int16_t port, const DownloadKind& kind) {
    if (!kind.next(port, gbStop(port))) {
        kind.active(port) = false;
        return Activity::Progress;
    }
    return DownloadStepDone(port, kind.active, kind.expectsReply, kind.setsBlock);
}

// What a port does when no transfer holds it: a delay, the configuration flow's continuation,
// or the script's next lines.
Activity ScriptStep(int16_t port, Step& step) {
    if (gbDelay(port)) {
        step = Step::Delay;
        if (gbStop(port) || PastDeadline(gPortState(port).DelayUntil) > 0) {
            gbDelay(port) = false;
            return Activity::Progress;
        }
        return Activity::Delaying;
    }
    if (!gbScriptRunning(port)) {
        if (!gbConfigPending(port)) return Activity::Idle;
        step = Step::Config;
        // Cleared first: the continuation may start the next script, which sets it again.
        gbConfigPending(port) = false;
        producers::ConfigContinue(port, gbStop(port));
        return Activity::Progress;
    }
    step = Step::Script;
    // After a reset (or a failed link) the script's next bytes wait until the link is back;
    // sent into the restart they would be lost and their answer awaited for ever.
    if (!gbStop(port) && LinkRecovering(port)) return Activity::Idle;
    RunTextFile(port, gbStop(port), "");
    return Activity::Progress;
}

// The first applicable step for the port; `step` names the request being served.
Activity PortStep(int16_t port, Step& step) {
    if (gbSendPending(port)) {
        step = Step::Write;
        const Activity written = WriteStep(port);
        // The read is armed in the same pass: an answer delivered by a pump in between would
        // be counted before the read starts, and starting it resets the count, so the read
        // would never complete.
        if (written != Activity::Progress || !gbReadAfterWrite(port) || gbStop(port))
            return written;
    }
    if (gbReadAfterWrite(port)) {
        step = Step::StartRead;
        return StartReadStep(port);
    }
    if (gbReadPending(port)) {
        step = Step::Read;
        return ReadStep(port);
    }
    for (const DownloadKind& kind : kDownloads) {
        if (!kind.active(port)) continue;
        step = kind.step;
        return DownloadStep(port, kind);
    }
    step = Step::Unsolicited;
    if (DataAvailable(port) && !gbReadAfterWrite(port)) {
        GetAndProcessRead(port);
        return Activity::Progress;
    }
    if (UnsolicitedLinkLost(port)) {
        LinkFailed(port, DeviceOf(port).TakeLinkLost());
        return Activity::Progress;
    }
    const Activity scripted = ScriptStep(port, step);
    return scripted == Activity::Idle ? DrainWriteStep(port) : scripted;
}

// The silence check after every step: a read that has stopped receiving (after its first byte)
// is ended when the port's inter-character timeout has passed.
void TimeoutCheck(int16_t port) {
    if (!gbTimeoutOn(port) || gbReadPending(port)) return;
    PortState& st = gPortState(port);
    if (st.RcvdCount < st.ExpectTotal) {
        if (!st.TimeFirstChar && PastDeadline(st.Deadline) > 0) {
            gbTimeoutOn(port) = false;
            TimeOutRead(port, DeviceOf(port));
            Display("Time out");
        }
    } else {
        gbTimeoutOn(port) = false;
    }
}

void DropRequest(int16_t port, Step step) {
    switch (step) {
        case Step::Write: WriteServed(port); break;
        case Step::StartRead: ReadStarted(port); break;
        case Step::Read: ReadDone(port); break;
        case Step::FileDl: gbFileDl(port) = false; break;
        case Step::FlashDl: gbFlashDl(port) = false; break;
        case Step::BootDl: gbBootDl(port) = false; break;
        case Step::IBankDl: gbIBankDl(port) = false; break;
        case Step::Delay: gbDelay(port) = false; break;
        case Step::Config: gbConfigPending(port) = false; break;
        case Step::Script: gbStop(port) = true; break;
        case Step::Timeout: gbTimeoutOn(port) = false; break;
        case Step::None:
        case Step::Unsolicited: break;
    }
}

void ShowStateMachineError(int16_t port) {
    Display("Error: " + CurrentRuntimeError().description());
    Display("State Machine Error.  Is Port " + Str(port) + " Active?");
}

// The ports whose step (or synchronous exchange) is on the stack: a wait inside one serves the
// others, never itself; and how many port steps are on the stack.
PerPort<bool> gInService;
int gStepsOnStack = 0;
// How soon the ports served inside a wait need their next step (OtherPortsWait).
milliseconds gOtherPortsWait = milliseconds::max();

// Marks the port as being served for the life of the object.
class InService {
public:
    // A port outside 1..6 is left to the caller's own failure handling.
    explicit InService(int16_t port) : port_(port >= 1 && port <= kMaxPorts ? port : 0) {
        if (port_ == 0) return;
        was_ = gInService(port_);
        gInService(port_) = true;
        if (gStepsOnStack++ == 0) gOtherPortsWait = milliseconds::max();
    }
    ~InService() {
        if (port_ == 0) return;
        gInService(port_) = was_;
        --gStepsOnStack;
    }
    InService(const InService&) = delete;
    InService& operator=(const InService&) = delete;

private:
    int16_t port_;
    bool was_ = false;
};

// The port's step and timeout check. A run-time error is shown, the request that failed is
// dropped and the machine goes on with the next part.
Activity ServePort(int16_t port) {
    const DisplayPortScope linesOf(port);
    const InService serving(port);
    Activity activity = Activity::Idle;
    Step step = Step::None;
    try {
        activity = PortStep(port, step);
    } catch (...) {
        ShowStateMachineError(port);
        DropRequest(port, step);
        activity = Activity::Progress;
    }
    try {
        TimeoutCheck(port);
    } catch (...) {
        ShowStateMachineError(port);
        DropRequest(port, Step::Timeout);
    }
    return activity;
}

// The wait after a pass: nearest is the time to the earliest of the engine's own deadlines.
milliseconds WaitFor(Activity busiest, milliseconds nearest, bool inputWakes) {
    switch (busiest) {
        case Activity::Progress: return milliseconds{0};
        case Activity::Polling: return kPollWait;
        case Activity::Awaiting: return inputWakes ? std::min(kReadWait, nearest) : kPollWait;
        case Activity::Delaying: return std::min(inputWakes ? kIdleInputWait : kIdleWait, nearest);
        case Activity::Idle: break;
    }
    return std::min(inputWakes ? kIdleInputWait : kIdleWait, nearest);
}

// Time until the port's next deadline that a pass must see: the end of a delay, or the silence
// limit of a read that has started receiving. Past or due deadlines give 1 ms: PastDeadline
// must be above zero for the step to act.
milliseconds UntilDeadline(int16_t port) {
    milliseconds until = milliseconds::max();
    const PortState& st = gPortState(port);
    if (gbDelay(port)) until = std::min(until, milliseconds{-PastDeadline(st.DelayUntil) + 1});
    if (gbTimeoutOn(port) && !st.TimeFirstChar)
        until = std::min(until, milliseconds{-PastDeadline(st.Deadline) + 1});
    return std::max(until, milliseconds{1});
}

}  // namespace

void StateMachineInit() {
    for (int16_t p = 1; p <= kMaxPorts; ++p) {
        gbScriptRunning(p) = false;
        gbFileDl(p) = false;
        gbFlashDl(p) = false;
        gbBootDl(p) = false;
        gbDelay(p) = false;
        ClearTransfer(p);
    }
    giPassCounter = 10;
    gNextWait = kIdleWait;
    gNextInputWait = kIdleInputWait;
}

bool StateMachinePass() {
    Activity busiest = Activity::Idle;
    milliseconds nearest = milliseconds::max();
    for (int16_t p = 1; p <= kMaxPorts; ++p) {
        const Activity activity = ServePort(p);
        nearest = std::min(nearest, UntilDeadline(p));
        busiest = std::max(busiest, activity);
    }
    gNextWait = WaitFor(busiest, nearest, false);
    gNextInputWait = WaitFor(busiest, nearest, true);
    if (--giPassCounter < 1) {
        giPassCounter = giEventPasses;
        DoEvents();
    }
    return busiest != Activity::Idle;
}

void ServeOtherPorts() {
    if (gStepsOnStack == 0) return;
    // The waiting step's producer results are shared globals; the others' steps must not leave
    // theirs behind in them (a flash reset would expect the other port's block answer).
    const std::string outData = gsOutData, result = gsResult;
    const int32_t outCount = glOutCount;
    const ReadMode dlReadMode = glDlReadMode;
    Activity busiest = Activity::Idle;
    milliseconds nearest = milliseconds::max();
    for (int16_t p = 1; p <= kMaxPorts; ++p) {
        if (gInService(p) || p == DisplayPort()) continue;
        busiest = std::max(busiest, ServePort(p));
        nearest = std::min(nearest, UntilDeadline(p));
    }
    gOtherPortsWait = busiest == Activity::Idle ? nearest : WaitFor(busiest, nearest, true);
    gsOutData = outData;
    gsResult = result;
    glOutCount = outCount;
    glDlReadMode = dlReadMode;
}

milliseconds OtherPortsWait() {
    return gStepsOnStack > 0 ? gOtherPortsWait : milliseconds::max();
}

milliseconds StateMachineIdleWait() { return gNextWait; }

milliseconds StateMachineInputWait() { return gNextInputWait; }

void RunStateMachine(const std::function<bool()>& keepRunning) {
    while (!gbEndRequested.load() && keepRunning()) {
        StateMachinePass();
        if (gNextInputWait.count() > 0) WaitEventsOrInput(gNextInputWait);
    }
}

void StateMachine() {
    StateMachineInit();
    RunStateMachine([] { return true; });
    gbEndRequested.store(false);
}

void EndStateMachine() {
    gbEndRequested.store(true);
    WakeEvents();
}

void ResetStateMachineGlobals() {
    giPassCounter = 10;
    gbEndRequested.store(false);
    gNextWait = kIdleWait;
    gNextInputWait = kIdleInputWait;
    gOtherPortsWait = milliseconds::max();
}

bool WriteReadOk(const std::string& data, int32_t expected, bool hexDisplay, int16_t port,
                 int32_t boundMs) {
    // Its reply is its own: no pump inside the wait may serve the port and take the bytes.
    const InService exchanging(port);
    try {
        const uint32_t deadline = TickCount() + static_cast<uint32_t>(boundMs);
        const auto timedOut = [&] {
            if (boundMs <= 0 || !TickReached(TickCount(), deadline)) return false;
            Display("Time out");
            return true;
        };
        gPortState(port).Response.clear();
        glAckThreshold(port) = expected;
        gbHexDisplay(port) = hexDisplay;
        gbStop(port) = false;
        // The device is looked up again after every pump: a window may have changed the table.
        while (!DeviceOf(port).WriteIsComplete()) {
            WaitEvents(kPollWait);
            if (gbStop(port)) {
                Display("Error or operator requested cancel");
                return false;
            }
            if (timedOut()) return false;
        }
        if (const std::string failed = DeviceOf(port).TakeWriteFailure(); !failed.empty()) {
            Display(failed);
            return false;
        }
        if (!DeviceOf(port).WriteComm(data)) {
            Display(DeviceOf(port).LastError());
            return false;
        }
        if (expected == 0) return true;
        DeviceOf(port).ReadCount(expected);
        DeviceOf(port).BlockCount(expected);
        if (!DeviceOf(port).ReadComm(StopReason(ReadMode::Count))) {
            Display(DeviceOf(port).LastError());
            return false;
        }
        while (!DeviceOf(port).ReadIsComplete()) {
            if (DeviceOf(port).BlockIsComplete()) GetAndProcessRead(port);
            // As a failed write on this path: the reason, and the caller goes on without.
            if (DeviceOf(port).LinkLost()) {
                Display(DeviceOf(port).TakeLinkLost());
                return false;
            }
            WaitEventsOrInput(kReadWait);
            if (gbStop(port)) {
                Display("Operator requested cancel");
                return false;
            }
            if (timedOut()) {
                // The read is let go as a silent read's timeout lets it go.
                Device& device = DeviceOf(port);
                device.ReadCount(1);
                device.BlockCount(1);
                device.StopRead(1);
                return false;
            }
        }
        GetAndProcessRead(port);
        return true;
    } catch (...) {
        Display(FailureLine("modControl WriteReadOk Error ", ": "));
        return false;
    }
}

bool DataAvailable(int16_t port) {
    if (port > giNumPorts) return false;
    if (InStr(UCase(gsPortTable(port)), "OFF") > 0) return false;
    if (port > gcolDevices.Count()) return false;
    return DeviceOf(port).DataAvailable();
}

bool ProcessDelay(int16_t port, const std::string& line) {
    try {
        const int64_t ms = static_cast<int64_t>(WholeNumber(line)) * 100;
        const int32_t span = ToLong(ms);
        gPortState(port).DelayUntil = static_cast<int32_t>(TickCount() + static_cast<uint32_t>(span));
        gbDelay(port) = true;
        return true;
    } catch (...) {
        return false;
    }
}

void SendReset(int16_t port) {
    WithdrawReads(port);
    if (ProcessData("1D FF")) QueueWrite(port, gsResult);
    ArmReconnect(port, 800);
}

void Cancel() {
    for (int16_t p = 1; p <= kMaxPorts; ++p) {
        // Each statement on its own: a failure must not keep the other ports running.
        PortState& st = gPortState(p);
        try {
            if (st.CaptureOpen) CloseFile(st.CaptureFileNum);
        } catch (...) {
        }
        const bool wasReading = gbReadPending(p);
        gbStop(p) = true;
        if (PortIsActive(p) || wasReading || gbIBankDl(p) || gbDelay(p)) gbPortFailed(p) = true;
        gbTimeoutOn(p) = false;
        st.RestartTimeout = false;
        st.CaptureOpen = false;
        st.ExpectTotal = 1;
        st.RcvdCount = 1;
        st.ImageRcv = false;
        ReadDone(p);
        gbDlAbort(p) = true;
        // The read that no longer has a pending request is released on the device too.
        if (wasReading && p <= giNumPorts && p <= gcolDevices.Count()) {
            try {
                ReleaseRead(p, DeviceOf(p));
            } catch (...) {
            }
        }
    }
    gbBlockArmed = false;
    gbAckMode = false;
    WakeEvents();  // a download's pause asleep in its wait ends now, not at its deadline
}

}  // namespace posbench
