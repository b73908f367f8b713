#pragma once
// The run itself: the program starts as the desktop program does (program directory,
// Startup.ini, the ports), sends FILE or the commands to every port asked for through the main
// window's Send, and drives the state machine and the 500 ms timer until all of them are done.
#include <atomic>

#include "CliOptions.h"

namespace posbench::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

// The exit status: 0 when every port succeeded, 1 when one failed or the work was cancelled,
// 2 when --port names a port that Startup.ini does not define. cancelPosted is set (from any
// thread) for the Cancel button, with the signal that asked for it in signalSeen. The program
// directory must have been set up (PrepareRunDir).
int RunOnPorts(const CliOptions& options, std::atomic<bool>& cancelPosted,
               const std::atomic<int>& signalSeen);

// The program directory chosen, created and seeded with the samples it lacks; false with the
// message printed on standard error.
bool PrepareRunDir(const CliOptions& options, const char* argv0);

}  // namespace posbench::cli
