#pragma once
// The program's life around the engine: the start-up sequence and the main loop that drives
// the transfer state machine and the 500 ms timer. The desktop window and the headless runner
// both start and run through here.
#include <cstdint>
#include <functional>

namespace posbench {

class LinkRecovery;

// What the program clears before any window exists: the capture counter of SETU ASTK and its
// set flag, the last file name chosen, and the command-chosen flag.
void ClearStartGlobals();

// The start-up proper: giMaxPorts back to 1, Startup.ini read (Startup) and the ports built and
// opened (ConfigureDevices); then createMainWindow runs (it fills the port list), gsCommErr is
// shown when either step failed, giEventPasses is set to 10 and every port's requests are
// cleared. The program goes on with whatever ports were set up; the result says whether all
// of them were.
bool RunStartup(const std::function<void()>& createMainWindow);

// True while the port has work outstanding: a script, a download, a write (also one the device
// is still sending), a read, a delay or a configuration continuation.
bool PortHasWork(int16_t port);

// Lets every event pump (the main loop's waits, and the waits inside downloads and port
// reopens) run the 500 ms tick and the link-recovery timers when they are due, and ends every
// wait in time for them; each pump also runs a step of every other port (ServeOtherPorts) and
// then alsoEachPump when given. Pass nullptr to remove.
void InstallTimerPump(LinkRecovery* timers, std::function<void()> alsoEachPump = {});

// The main loop: a state-machine pass, the tick when due, and a sleep in WaitEventsOrInput
// when the pass made no progress (until a notice, a pending read's bytes, the engine's next
// deadline, or the next tick or recovery timer, whichever comes first), for as long as keepRunning answers true.
void RunMainLoop(LinkRecovery& timers, const std::function<bool()>& keepRunning);

}  // namespace posbench
