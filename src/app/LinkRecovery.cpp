#include "app/LinkRecovery.h"

#include <algorithm>
#include <cstdint>

#include "base/Display.h"
#include "base/Events.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Tick.h"
#include "comm/CommGlobals.h"
#include "comm/Device.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"

namespace posbench {
namespace {

// The device key of an entry of the given kind, as the port operations name it.
std::string DeviceName(const std::string& entry, const std::string& kind) {
    if (kind == "COM" || kind == "LPT") return Left(entry, 4);
    if (kind == "USB") return Left(entry, 6);
    return Left(entry, 3);
}

bool KnownKind(const std::string& kind) {
    return kind == "COM" || kind == "LPT" || kind == "USB" || kind == "TCP";
}

// Closes the link as ClosePort would. A USB device is left open: its reader notices the
// printer's return by itself, and the entry only goes OFF.
bool CloseLink(const std::string& kind, const std::string& name) {
    if (kind == "COM") return CloseCom(name, STOP_R_FORCE);
    if (kind == "TCP") return CloseTCP(name, STOP_R_FORCE);
    if (kind == "LPT") return CloseLPT(name, STOP_R_FORCE);
    return true;
}

bool OpenLink(const std::string& kind, const std::string& name, int16_t port) {
    if (kind == "COM") return OpenComm(name, port);
    if (kind == "USB") return OpenUSB(name, port);
    if (kind == "TCP") return OpenTCP(name, port);
    return OpenLPT(name, port);
}

class TickGuard {
public:
    explicit TickGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~TickGuard() { flag_ = false; }
    TickGuard(const TickGuard&) = delete;
    TickGuard& operator=(const TickGuard&) = delete;

private:
    bool& flag_;
};

}  // namespace

long SettleTimeMs(const std::string& kind) {
    if (kind == "COM" || kind == "LPT") return 4000;
    if (kind == "USB") return 7000;
    if (kind == "TCP") return 11000;
    return 0;
}

LinkRecovery::LinkRecovery() : nextTick_(TickCount() + kMainTickMs) {
    for (int16_t p = 1; p <= kMaxPorts; ++p) {
        armed_(p) = false;
        deadline_(p) = 0;
        closePending_(p) = false;
        closed_(p) = false;
        retries_(p) = 0;
    }
}

void LinkRecovery::InitializeTimeout(int16_t port, long ms) {
    if (!closePending_(port) && !closed_(port)) {
        closePending_(port) = true;
        retries_(port) = 0;
    }
    deadline_(port) = TickCount() + static_cast<uint32_t>(ms);
    armed_(port) = true;
    if (armedHook_) armedHook_();
}

void LinkRecovery::Poll() {
    if (inTick_) return;
    const uint32_t now = TickCount();
    if (TickReached(now, nextTick_)) {
        nextTick_ = now + kMainTickMs;
        MainTimerTick();
    } else {
        RunExpired();
    }
}

namespace {
uint32_t Until(uint32_t deadline, uint32_t now) {
    const int32_t left = static_cast<int32_t>(deadline - now);
    return left > 0 ? static_cast<uint32_t>(left) : 0;
}
}  // namespace

uint32_t LinkRecovery::UntilNextTick() const { return Until(nextTick_, TickCount()); }

uint32_t LinkRecovery::UntilDeadline() const {
    if (inTick_) return kMainTickMs;
    const uint32_t now = TickCount();
    uint32_t until = UINT32_MAX;
    for (int16_t p = 1; p <= kMaxPorts; ++p)
        if (armed_(p)) until = std::min(until, Until(deadline_(p), now));
    return until;
}

uint32_t LinkRecovery::UntilDue() const {
    return std::min(inTick_ ? kMainTickMs : UntilNextTick(), UntilDeadline());
}

void LinkRecovery::RunExpired() {
    if (inTick_) return;
    TickGuard guard(inTick_);
    try {
        for (int16_t p = 1; p <= kMaxPorts; ++p) {
            if (armed_(p) && TickReached(TickCount(), deadline_(p))) {
                armed_(p) = false;
                TimeoutCleanup(p);
            }
        }
    } catch (...) {
        Display(FailureLine("Timer Error ", ": "));
    }
}

void LinkRecovery::MainTimerTick() {
    if (inTick_) return;
    {
        TickGuard guard(inTick_);
        try {
            if (tickHook_) tickHook_();
        } catch (...) {
            Display(FailureLine("Timer Error ", ": "));
            return;
        }
    }
    RunExpired();
}

bool LinkRecovery::InProgress(int16_t port) const {
    return armed_(port);
}

uint32_t LinkRecovery::MsLeft(int16_t port) const {
    if (!armed_(port)) return 0;
    const auto left = static_cast<int32_t>(deadline_(port) - TickCount());
    return left > 0 ? static_cast<uint32_t>(left) : 0;
}

bool LinkRecovery::AnyInProgress() const {
    for (int16_t p = 1; p <= kMaxPorts; ++p)
        if (InProgress(p)) return true;
    return false;
}

namespace {
// How soon a close held back for a queued write is tried again.
constexpr uint32_t kWriteFirstMs = 100;
}  // namespace

void LinkRecovery::TimeoutCleanup(int16_t port) {
    const DisplayPortScope linesOf(port);
    try {
        const std::string entry = gsPortTable(port);
        const std::string kind = UCase(Left(entry, 3));
        if (!KnownKind(kind)) return;
        const std::string name = DeviceName(entry, kind);

        if (closePending_(port) && !closed_(port)) {
            // The close is timed from the moment the reset was queued. While another port's
            // download holds the loop in one of its waits, the reset may still be waiting to
            // go out: the link is closed only once it has been written, or the printer would
            // never reset and the write would meet a closed line.
            if (gbSendPending(port) && !gbStop(port)) {
                deadline_(port) = TickCount() + kWriteFirstMs;
                armed_(port) = true;
                return;
            }
            closePending_(port) = false;
            closed_(port) = true;
            if (CloseLink(kind, name)) {
                OnToOff(port);
                InitializeTimeout(port, SettleTimeMs(kind));
            } else {
                Display(gsCommErr);
            }
        } else if (closed_(port) && !closePending_(port)) {
            if (OpenLink(kind, name, port)) {
                OffToOn(port);
                WakeEvents();  // a script waiting for the link goes on now, not at the next beat
                Display(name + " open");
                closed_(port) = false;
            } else {
                Display(gsCommErr);
                if (retries_(port) >= kMaxRetries) {
                    Display("Unable to re-establish " + kind + " Link");
                    gbPortFailed(port) = true;
                } else {
                    retries_(port) = static_cast<int16_t>(retries_(port) + 1);
                    InitializeTimeout(port, kRetryMs);
                }
            }
        }
    } catch (...) {
        Display(FailureLine("frmStartup, Timeout cleanup Error: "));
    }
}

}  // namespace posbench
