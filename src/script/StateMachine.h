#pragma once
// The transfer state machine and the synchronous exchange. Producers (scripts, downloads, the
// send dispatcher, the configuration flow) fill a port's request fields and return; the state
// machine visits ports 1 to 6 in turn and performs one step per port and pass: a write, the
// start or the completion of a read, a download step, the end of a delay, a timeout, or the
// resumption of the port's script. WriteReadOk writes and reads in one call while pumping
// window events.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace posbench {

// Clears every port's request fields and the pass counter (the machine's first step at start).
void StateMachineInit();

// One pass over ports 1..6: the first applicable step for each port, then its timeout check;
// window events are pumped every giEventPasses passes. True when any port has work outstanding
// (a request, a read, a delay, a download, a script or a configuration continuation).
bool StateMachinePass();

// For the event pumps of waits inside a port's step (a download's pause, a port clear): one
// step for every other port, so that one port's wait does not stall the others in the middle
// of their exchanges. Nothing outside a step (a window's own exchange waits as before); a port
// whose step or WriteReadOk exchange is on the stack, and the port the wait belongs to
// (DisplayPort), are left alone.
void ServeOtherPorts();
// How long the wait whose pump ran ServeOtherPorts may sleep before those ports need their next
// step: zero after a step that made progress (the next follows at once, not at the wait's
// end), a read's bound while their reads wait on input (the wait must watch it), a delay's end;
// unbounded outside a port's step.
std::chrono::milliseconds OtherPortsWait();

// How long the loop may sleep after the pass just made: zero when a step made progress (more
// may follow at once), 1 ms while a read or a write is being polled, otherwise a few ms (less
// when a delay ends sooner). For a wait that cannot see a read's bytes arrive.
std::chrono::milliseconds StateMachineIdleWait();
// The same for a sleep in WaitEventsOrInput, which a pending read's bytes end early (reader
// threads post notices, serial and parallel lines arm a watch on their descriptor): a read
// waits a few ms instead of a 1 ms poll; a write draining its output queue still polls.
std::chrono::milliseconds StateMachineInputWait();

// The main loop: passes until keepRunning answers false, sleeping in WaitEventsOrInput between
// passes that made no progress so that an idle program does not burn a core.
void RunStateMachine(const std::function<bool()>& keepRunning);

// Init followed by the loop for the life of the program; returns only after EndStateMachine.
void StateMachine();
// Thread-safe: makes StateMachine (and the RunStateMachine it runs) return after its pass.
void EndStateMachine();

// Writes data and, when expected is not 0, reads that many bytes, pumping window events while it
// waits. The operator's cancel (gbStop) ends the wait; so does boundMs when it is above 0 (the
// read is stopped and "Time out" shown). Without a bound it waits for as long as it takes.
bool WriteReadOk(const std::string& data, int32_t expected, bool hexDisplay, int16_t port,
                 int32_t boundMs = 0);

// False for a port above the defined ones, without a device, or whose entry is OFF; otherwise
// the device's DataAvailable.
bool DataAvailable(int16_t port);

// A delay of the leading whole number of tenths of a second in line; false (no message) when the
// line is not a number.
bool ProcessDelay(int16_t port, const std::string& line);

// Queues the printer reset (1D FF) and arms the link recovery's 800 ms timer.
void SendReset(int16_t port);

// The pass counter and the end request back to their start values.
void ResetStateMachineGlobals();

// The operator's cancel: every port 1..6 stopped and its receive state idle, capture files
// closed, running download waits aborted.
void Cancel();

}  // namespace posbench
