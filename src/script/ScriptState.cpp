#include "script/ScriptState.h"

namespace posbench {

PerPort<PortState> gPortState;
PerPort<int16_t> giSection;
std::string gsOutData;
int32_t glOutCount = 0;
ReadMode glWaitReadMode = ReadMode{};
ReadMode glDlReadMode = ReadMode{};
bool gbSecActive = false;
int16_t giSecPort = 0;
std::string gsSavedTCPMode;
PerPort<bool> gbHexDisplay;
BoundedArray<int16_t, 0, 9> giLastRcvByte;
std::string gsImageHdr;
bool gbBlockArmed = false;
bool gbAckMode = false;
int32_t glAckCount = 0;
PerPort<int32_t> glAckThreshold;
PerPort<std::string> gsExpectedStatus;
PerPort<std::string> gsStatusMode;
PerPort<bool> gbTimeoutOn;
int32_t giEventPasses = 10;
int32_t glCaptureCounter = 0;
bool gbCounterSet = false;
std::string gsProgErr;

void ResetScriptState() {
    gPortState.reset();
    giSection.reset();
    gsOutData.clear();
    glOutCount = 0;
    glWaitReadMode = ReadMode{};
    glDlReadMode = ReadMode{};
    gbSecActive = false;
    giSecPort = 0;
    gsSavedTCPMode.clear();
    gbHexDisplay.reset();
    giLastRcvByte.reset();
    gsImageHdr.clear();
    gbBlockArmed = false;
    gbAckMode = false;
    glAckCount = 0;
    glAckThreshold.reset();
    gsExpectedStatus.reset();
    gsStatusMode.reset();
    gbTimeoutOn.reset();
    giEventPasses = 10;
    glCaptureCounter = 0;
    gbCounterSet = false;
    gsProgErr.clear();
}

}  // namespace posbench
