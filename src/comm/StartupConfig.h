#pragma once
// modConfig: Startup.ini in the program directory. At start it builds the port table and the
// per-type settings (CommGlobals.h); on request the port table is written back into section
// "Communication", the only part of the file the program ever changes.
//
// Beyond the port sections, an optional section [Devices] that the user writes by hand points
// media at Linux device paths (COM1=/dev/ttyUSB0, LPT1=/dev/lp0, USB=/path/write,/path/read,
// USBID=vvvv:pppp); it fills gsDevicePaths and is never written back.
#include <string>

namespace posbench {

// gsProgramDir + "/Startup.ini" (found without regard to case when it exists).
std::string StartupFileName();

// StartupCom, StartupOther and StartupDevices in turn; always true (the reads' results are not
// checked). A failure of its own is held in gsStartupErr with "modConfig, Startup Error: ".
bool Startup();

// Section "Communication": the port table in the fixed order COM1..COM8, LPT1..LPT3, USB, TCP
// and the per-type settings. A run-time failure leaves its line in gsStartupErr, the entries
// appended so far in the table, and returns false.
bool StartupCom();

// Section "OTHER": giMaxPorts (at most 6), gsUSBAdaptor1, gsUSBAdaptor2.
bool StartupOther();

// Section "Devices": gsDevicePaths, keyed by medium upper-cased. Values are kept whole (a USB
// value carries two paths separated by a comma).
bool StartupDevices();

// Rewrites section "Communication" from the port table. gsConfigErr is empty on success, else
// the reason.
void SaveCommConfiguration();

}  // namespace posbench
