#pragma once
// The port trace: every byte written to or read from any port, one record per write or read,
// appended to a file while a trace is on. The devices record at the point where bytes leave
// for the printer or arrive from it, so every medium is covered, whichever program drives it.
//
// A record is one line:
//   SECONDS PORT NAME DIRECTION COUNT HEX... |TEXT|
//   0.512034 1 TCP sent 4 1D 49 40 27 |.I@'|
// SECONDS is monotonic time since the trace began (microseconds; never goes back), PORT the
// port number, NAME the device key (COM1, LPT1, "USB, N", TCP; blanks and commas dropped),
// DIRECTION "sent" or "received", then the bytes as hex pairs and as text with every byte
// outside 20..7E shown as '.'.
#include <cstdint>
#include <string>

namespace posbench {

// Starts tracing into path (appended; created when missing). A trace already running is ended
// first. False with the reason in error when the file cannot be opened.
bool StartPortTrace(const std::string& path, std::string& error);
void StopPortTrace();
bool PortTraceOn();
// The file being traced into ("" when off).
std::string PortTraceFile();

enum class TraceDirection { Sent, Received };

// One record; nothing when no trace runs or bytes is empty. Safe from any thread.
void TracePortBytes(int16_t port, const std::string& name, TraceDirection direction,
                    const std::string& bytes);

// The record's text (without the line end) for the given time, for the file and for tests.
std::string FormatTraceRecord(double seconds, int16_t port, const std::string& name,
                              TraceDirection direction, const std::string& bytes);

}  // namespace posbench
