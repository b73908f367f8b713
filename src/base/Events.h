#pragma once
// The one event pump. Device reader threads never touch engine state: they post notices here,
// and DoEvents runs them on the user-interface thread, then gives the window system its turn.
#include <chrono>
#include <functional>

namespace posbench {

using Notice = std::function<void()>;

// Thread-safe: queue a notice to run on the user-interface thread at its next DoEvents.
void PostNotice(Notice notice);

// Run every queued notice (including those posted while running), then the window pump.
void DoEvents();

// The window system's own pump (Qt's processEvents, nothing for the CLI); empty to remove.
void SetWindowPump(std::function<void()> pump);

// Idle path: block up to maxWait until a notice is posted or WakeEvents is called, then
// DoEvents. Lets a loop with nothing to do sleep instead of spinning a core.
void WaitEvents(std::chrono::milliseconds maxWait);

// Thread-safe: end a WaitEvents early without posting work.
void WakeEvents();

// Drop queued notices without running them (between tests, and when a program shuts down).
void DiscardNotices();

}  // namespace posbench
