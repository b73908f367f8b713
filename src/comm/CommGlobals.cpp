#include "comm/CommGlobals.h"

#include "base/StringOps.h"

namespace posbench {

OneBasedArray<std::string> gsPortTable;
int16_t giNumPorts = 0;
std::string gsCommErr;
BoundedArray<ComSetting, 0, 7> gComSettings;
BoundedArray<std::string, 0, 2> gsLPTState;
std::string gsUSBMode;
std::string gsUSBState;
std::string gsTCPAddress;
std::string gsTCPState;
int16_t giMaxPorts = 1;
std::string gsUSBAdaptor1;
std::string gsUSBAdaptor2;
std::string gsConfigErr;
std::string gsStartupErr;
std::vector<std::string> gsStartupNotes;
std::map<std::string, std::string> gsDevicePaths;
std::string gsProgramDir;

std::string DevicePath(const std::string& medium) {
    auto it = gsDevicePaths.find(UCase(medium));
    return it == gsDevicePaths.end() ? std::string() : it->second;
}

void ResetCommGlobals() {
    gsPortTable.clear();
    giNumPorts = 0;
    gsCommErr.clear();
    gComSettings.reset();
    gsLPTState.reset();
    gsUSBMode.clear();
    gsUSBState.clear();
    gsTCPAddress.clear();
    gsTCPState.clear();
    giMaxPorts = 1;
    gsUSBAdaptor1.clear();
    gsUSBAdaptor2.clear();
    gsConfigErr.clear();
    gsStartupErr.clear();
    gsStartupNotes.clear();
    gsDevicePaths.clear();
    gsProgramDir.clear();
}

}  // namespace posbench
