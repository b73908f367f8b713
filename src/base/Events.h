#pragma once
// The one event pump. Threads never touch engine state: they post notices here, and DoEvents
// runs them on the user-interface thread, then gives the window system its turn. Printer links
// are read on that thread: a read that waits arms a watch on its descriptor, so that the engine
// loop's wait also ends when the printer's bytes arrive.
#include <chrono>
#include <functional>
#include <vector>

namespace posbench {

using Notice = std::function<void()>;

// Thread-safe: queue a notice to run on the user-interface thread at its next DoEvents.
void PostNotice(Notice notice);

// Run every queued notice (including those posted while running), then the window pump.
void DoEvents();

// The window system's own pump (Qt's processEvents, nothing for the CLI); empty to remove.
void SetWindowPump(std::function<void()> pump);

// The longest sleep of a wait while a window system shares the thread and sees its own events
// only when the window pump runs (zero, the default: a wait sleeps as long as it was asked).
void SetWindowSlice(std::chrono::milliseconds slice);

// The time until the program's next timer is due (link recovery, the main tick), which bounds
// every wait below, so that a timer fires on its deadline however long the wait asked for; the
// window pump runs it. Empty to remove (then only maxWait bounds a wait).
void SetTimerDue(std::function<std::chrono::milliseconds()> untilDue);

// Idle path: block up to maxWait until a notice is posted or WakeEvents is called, then
// DoEvents. Lets a loop with nothing to do sleep instead of spinning a core.
void WaitEvents(std::chrono::milliseconds maxWait);

// WaitEvents that also ends as soon as a watched descriptor is readable (or hung up). Only the
// engine's main loops wait here; every other wait stays blind to the watches, so bytes nobody
// is collecting cannot make it return early.
void WaitEventsOrInput(std::chrono::milliseconds maxWait);

// User-interface thread only. A watch is good for one wake-up: the wait drops a descriptor it
// reports ready (or finds closed), and the reader arms it again when it has collected and
// still waits. So bytes that nobody collects wake the loop once, never over and over.
void WatchInput(int fd);
// Drop the watch (before the descriptor is closed: its number may be reused at once).
void UnwatchInput(int fd);
bool InputWatched(int fd);
// The descriptors watched now, in arming order (user-interface thread only).
std::vector<int> WatchedInputs();
// Called on the user-interface thread after every change to the watch set (arming, dropping, a
// wait dropping those it reported), so that a window system's event loop can mirror the set with
// its own notifiers; empty to remove. It must not arm or drop watches itself.
void SetInputWatchObserver(std::function<void()> observer);

// Thread-safe: end a WaitEvents early without posting work.
void WakeEvents();

// The pump's wake-up descriptor (-1 if it could not be created), readable while a notice or a
// wake is pending: for a window system's event loop to wait on instead of WaitEvents. Never read
// it directly: call DrainEventPumpFd and then DoEvents, so a notice posted in between wakes again.
int EventPumpFd();
// Resets the wake-up descriptor's count (it stays readable until then).
void DrainEventPumpFd();

// Drop queued notices and a pending wake without running them (between tests, and when a
// program shuts down).
void DiscardNotices();

}  // namespace posbench
