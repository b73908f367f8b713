#pragma once
// The start-up window's timers: per-port link recovery and the 500 ms main tick. A port whose
// link has failed (or whose printer was told to reset) is closed when its timer expires, left
// alone for a settle time, then opened again with up to five retries two seconds apart. The
// tick runs from TickCount, so a test that installs a clock drives it without waiting.
#include <cstdint>
#include <functional>
#include <string>

#include "base/PerPort.h"

namespace posbench {

inline constexpr uint32_t kMainTickMs = 500;
inline constexpr long kRetryMs = 2000;
inline constexpr int16_t kMaxRetries = 5;

class LinkRecovery {
public:
    LinkRecovery();

    // Arms the port's timer ms milliseconds from now. In the idle phase this starts a cycle
    // (a close is due at expiry); later calls only move the deadline.
    void InitializeTimeout(int16_t port, long ms);

    // The 500 ms tick when it is due (at most one per call; a late tick is not repeated), and
    // between ticks any port whose deadline has come: a timer fires on time, not at the tick.
    void Poll();
    // Milliseconds until the next tick is due (0 when it is due now).
    uint32_t UntilNextTick() const;
    // Milliseconds until the earliest port deadline (0 when one has passed, UINT32_MAX when no
    // port is armed). Inside the tick, whose pumps cannot run it again, a tick's length.
    uint32_t UntilDeadline() const;
    // Milliseconds until Poll has something to run: the next tick or the earliest deadline.
    uint32_t UntilDue() const;
    // Every armed port whose deadline has passed is disarmed and cleaned up (not re-entrant).
    void RunExpired();
    // Called whenever a port's timer is armed, for a window that schedules its own wake-up.
    void SetArmedHook(std::function<void()> hook) { armedHook_ = std::move(hook); }

    // The tick itself: every armed port whose deadline has passed is disarmed and cleaned up.
    // Also calls the per-tick hook (the clock label of the desktop window). Re-entrant calls (a
    // reopen that pumps events while it waits) return at once.
    void MainTimerTick();
    void SetTickHook(std::function<void()> hook) { tickHook_ = std::move(hook); }

    // True while a cycle is under way on the port: its timer is armed, so a close or a reopen
    // is still to come. A port that gave up (closed, no timer) is not in progress.
    bool InProgress(int16_t port) const;
    bool AnyInProgress() const;
    // Milliseconds until the port's timer expires (0 when it is not armed or already due).
    uint32_t MsLeft(int16_t port) const;
    // True when the port's link was closed by recovery and has not been reopened.
    bool LinkClosed(int16_t port) const { return closed_(port); }
    int16_t Retries(int16_t port) const { return retries_(port); }

    // The cleanup that runs when the port's timer expires: the close phase or the reopen phase.
    void TimeoutCleanup(int16_t port);

private:
    PerPort<bool> armed_;
    PerPort<uint32_t> deadline_;
    PerPort<bool> closePending_;
    PerPort<bool> closed_;
    PerPort<int16_t> retries_;
    uint32_t nextTick_;
    bool inTick_ = false;
    std::function<void()> tickHook_;
    std::function<void()> armedHook_;
};

// Settle time after recovery has closed a link: how long the printer needs before it listens
// again ("COM", "LPT", "USB", "TCP"; 0 for anything else).
long SettleTimeMs(const std::string& kind);

}  // namespace posbench
