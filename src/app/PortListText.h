#pragma once
// What the main window's port list shows beside each entry: the port number, its live state
// (idle, busy, recovering with the seconds left) and the device path the entry opens.
#include <cstdint>
#include <string>

namespace posbench {

class LinkRecovery;

// "idle", "busy", "recovering 7 s" or "link lost" (recovery gave up).
std::string PortLiveState(int16_t port, const LinkRecovery* recovery);

// The Linux device or address the entry opens: the [Devices] path of Startup.ini, else the
// default of its medium (/dev/ttyS0 for COM1, /dev/lp0 for LPT1, the address for TCP).
std::string PortDevicePath(const std::string& entry);

// "1  COM1, 115200, DTR, ON   idle".
std::string PortListLine(int16_t port, const std::string& entry, const std::string& state);

}  // namespace posbench
