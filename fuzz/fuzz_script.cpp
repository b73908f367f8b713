// The script processor on an arbitrary script file, run through the state machine against a
// device that answers every write with bytes taken from the input. Downloads, capture files and
// chained scripts resolve their names inside the scratch directory: scripts that hold a "/" or
// "\" are not run. A script that has not finished after the pass bound while its port waits for
// nothing (no read, no delay) is reported on stderr (set POSBENCH_FUZZ_HANG_ABORT=1 to stop at it).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "comm/PortRequests.h"
#include "script/ScriptProcessor.h"
#include "script/ScriptState.h"

using namespace posbench;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string script = in.ConsumeRandomLengthString(4096);
    if (fuzz::CouldLeaveScratch(script)) return -1;
    fuzz::FreshRun();
    // A few named files for [FLA]/[BOO]/[BIN]/[LOG]/[IMA]/[CON] lines to find.
    fuzz::WriteScratch("a.bin", in.ConsumeRandomLengthString(600));
    fuzz::WriteScratch("B.IB2", in.ConsumeRandomLengthString(64));
    fuzz::WriteScratch("c.txt", "[HEX]\r\n1B 40\r\n");
    fuzz::PortRig rig;
    while (in.remaining_bytes() > 0) rig.dev->replies.push_back(in.ConsumeRandomLengthString(64));

    const std::string path = fuzz::WriteScratch("fuzz.txt", script);
    gbStop(1) = false;
    gbScriptRunning(1) = true;
    RunTextFile(1, false, path);
    // A read that no reply will complete waits as it should (the operator cancels it).
    const bool rested = rig.Drive(3000);
    const bool waiting = gbReadPending(1) || gbDelay(1) || rig.dev->reading;
    if (!rested && !waiting && std::getenv("POSBENCH_FUZZ_HANG_ABORT")) {
        std::fprintf(stderr, "script still running after the pass bound; last status lines:\n");
        const auto& lines = rig.status.lines;
        for (std::size_t i = lines.size() > 8 ? lines.size() - 8 : 0; i < lines.size(); ++i)
            std::fprintf(stderr, "  %s\n", lines[i].c_str());
        std::fprintf(stderr, "  (%zu writes, line %d)\n", rig.dev->writes.size(),
                     static_cast<int>(gPortState(1).LineNum));
        std::abort();
    }
    return 0;
}
