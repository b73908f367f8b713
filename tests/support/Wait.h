#pragma once
// Bounded waits for tests: every wait on a printer, a file or the engine ends when its condition
// holds or its time is up, never after a fixed sleep.
#include <chrono>

#include "base/Events.h"
#include "script/StateMachine.h"

namespace posbench::test {

// Checks cond until it holds or maxMs of real time has passed; true when it held. Between checks
// the engine's notices run (one wakes the wait at once), so cond may watch engine state as well
// as a file or a peer.
template <class Cond>
bool PumpUntil(Cond cond, int maxMs = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        WaitEvents(std::chrono::milliseconds(5));
    }
    return true;
}

// Runs the engine's loop while busy() holds, for at most limit.
template <class Busy>
void RunEngineWhile(Busy busy, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    RunStateMachine([&] { return busy() && std::chrono::steady_clock::now() < end; });
}

}  // namespace posbench::test
