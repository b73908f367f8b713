#pragma once
// The links a USB printer is reached through: the native printer's bulk pipes (libusb), the
// first USB printer-class device (usblp), or any pair of byte streams named in Startup.ini
// (the FIFO pair of the simulated printer). Each claims the printer for this program alone.
#include <memory>
#include <string>

#include "comm/devices/ByteLink.h"

namespace posbench {

// Opens the link for the key passed to OpenComm ("USB, P": the first USB printer-class device;
// anything else: the first native device), unless [Devices] USB=write,read names a pair of byte
// streams. Null with the failure text in error and, where known, the device and the system's
// reason in reason (see OpenFailureReason).
std::unique_ptr<ByteLink> OpenUsbLink(bool printerClass, std::string& error, std::string& reason);

}  // namespace posbench
