#pragma once
// The port table and the per-type port settings. Startup.ini fills them at start, the port
// operations and the setup dialogs change them afterwards.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/Arrays.h"

namespace posbench {

struct ComSetting {
    std::string Baud;  // "115200", "57600", "38400", "19200" or "9600"
    std::string Flow;  // "DTR" or "XON"
    std::string State; // "ON" or "OFF"
};

// Port entries such as "COM1, 115200, DTR, OFF", indexed by port number 1..giNumPorts.
extern OneBasedArray<std::string> gsPortTable;
extern int16_t giNumPorts;
extern std::string gsCommErr;

extern BoundedArray<ComSetting, 0, 7> gComSettings;  // COM1..COM8
extern BoundedArray<std::string, 0, 2> gsLPTState;   // LPT1..LPT3
extern std::string gsUSBMode;
extern std::string gsUSBState;
extern std::string gsTCPAddress;
extern std::string gsTCPState;
extern int16_t giMaxPorts;
extern std::string gsUSBAdaptor1;
extern std::string gsUSBAdaptor2;
extern std::string gsConfigErr;
extern std::string gsStartupErr;
// One line per Startup.ini entry that was refused or corrected while it loaded, with the reason;
// shown once the main window exists.
extern std::vector<std::string> gsStartupNotes;

// The optional [Devices] section of Startup.ini: medium name upper-cased ("COM1", "LPT1",
// "USB", "USBID") to what the user wrote for it. Never written back by the program.
extern std::map<std::string, std::string> gsDevicePaths;

// The program directory that Startup.ini, SUPrinters.ini and the tables live in.
extern std::string gsProgramDir;

// The [Devices] value for a medium, or empty when the user gave none.
std::string DevicePath(const std::string& medium);

void ResetCommGlobals();

}  // namespace posbench
