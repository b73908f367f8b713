#pragma once
// What every harness shares: a private scratch directory that is the working directory and the
// program directory (nothing a fuzz input names may land anywhere else), and the engine's
// globals reset before each input.
#include <cstdint>
#include <string>

namespace posbench::fuzz {

// The process's scratch directory (created and entered on first use, removed at exit).
const std::string& Scratch();

// Empties the scratch directory, resets the engine's globals, points gsProgramDir at the
// scratch directory and installs a clock that moves on by stepMs at every reading, so that
// delays and timeouts end within a bounded number of passes.
void FreshRun(uint32_t stepMs = 1000);

// Writes bytes to name inside the scratch directory; returns the full path.
std::string WriteScratch(const std::string& name, const std::string& bytes);
std::string ReadScratch(const std::string& name);

// True when text could name a place outside the scratch directory (a "/" or "\" anywhere):
// inputs that could write elsewhere are not run.
bool CouldLeaveScratch(const std::string& text);

// A broken invariant: reported with the harness's file and line, then abort() keeps the input.
[[noreturn]] void InvariantBroken(const char* file, int line);
#define FUZZ_CHECK(ok) ((ok) ? (void)0 : ::posbench::fuzz::InvariantBroken(__FILE__, __LINE__))

}  // namespace posbench::fuzz

#include <deque>
#include <memory>

#include "support/FakeDevice.h"
#include "support/TestSupport.h"

namespace posbench::fuzz {

// Port 1 is "COM1" on a FakeDevice, the views record, the downloads are registered. The
// device is released and every file closed when the rig goes.
class PortRig {
public:
    PortRig();
    ~PortRig();
    PortRig(const PortRig&) = delete;
    PortRig& operator=(const PortRig&) = delete;

    // State-machine passes while the port has a script or a send outstanding, at most
    // maxPasses; true when the port came to rest.
    bool Drive(int maxPasses);

    test::FakeDevice* dev = nullptr;
    test::RecordingStatusList status;
    test::RecordingMessageBox box;
    test::RecordingResponseBox response;
    test::RecordingEngineHost host;
};

}  // namespace posbench::fuzz
