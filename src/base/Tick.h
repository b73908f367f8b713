#pragma once
// The one millisecond clock of the system. Every deadline and duration is measured with it, so
// a test that installs a hook controls all timed behaviour at once.
#include <cstdint>
#include <functional>

namespace posbench {

// 32-bit millisecond tick from a monotonic clock (wraps after ~49.7 days; TickReached
// compares across the wrap).
uint32_t TickCount();

// Replace the clock (tests); an empty function restores the real one.
void SetClockHook(std::function<uint32_t()> hook);
// True while a hook drives the clock: real time then says nothing about when a deadline comes.
bool ClockIsDriven();

// True once the tick has reached or passed deadline, correct across the 32-bit wrap.
inline bool TickReached(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) >= 0;
}

}  // namespace posbench
