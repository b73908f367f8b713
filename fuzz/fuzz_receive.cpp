// The receive path: a wait line arms the port, then arbitrary printer replies arrive in
// arbitrary pieces, through the device or handed straight to the receive processing, with image
// headers, status checks and a capture file (inside the scratch directory) mixed in.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "FuzzSupport.h"
#include "base/File.h"
#include "script/Receive.h"
#include "script/ScriptState.h"

using namespace posbench;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    fuzz::FreshRun();
    fuzz::PortRig rig;
    gbHexDisplay(1) = in.ConsumeBool();
    if (in.ConsumeBool() && OpenFile("capture.txt", gbHexDisplay(1) ? open_mode::BinaryWrite
                                                                     : open_mode::TextAppend)) {
        gPortState(1).CaptureFileNum = giFileNum;
        gPortState(1).CaptureOpen = true;
    }
    ProcessWaitCommand(1, in.ConsumeRandomLengthString(40));
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0: ProcessWaitCommand(1, in.ConsumeRandomLengthString(40)); break;
        case 1: ReceiveImage(in.ConsumeRandomLengthString(20), 1); break;
        case 2: SetExpectedStatus(1, in.ConsumeRandomLengthString(40)); break;
        case 3:
            (void)ProcessStatusCommand(1, in.ConsumeRandomLengthString(40));
            CheckStatus(1);
            break;
        case 4: ProcessRCVData(1, in.ConsumeRandomLengthString(300)); break;
        default:
            rig.dev->Deliver(in.ConsumeRandomLengthString(300));
            GetAndProcessRead(1);
            break;
        }
    }
    CheckStatus(1);
    return 0;
}
