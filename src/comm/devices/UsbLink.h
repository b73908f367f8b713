#pragma once
// The two pipes a USB printer is reached through: written bytes go out on one, the printer's
// bytes come back on the other. Reads behave like the printer driver's: they wait a bounded
// time and return 0 bytes when it passes, which the reader relies on to notice a silent printer.
#include <cstddef>
#include <memory>
#include <string>

#include "comm/devices/ReaderWorker.h"

namespace posbench {

// How long one pipe read waits before it returns empty. Longer than the 3000 ms after which
// an empty read counts as the printer's idle answer.
inline constexpr int kUsbPipeTimeoutMs = 3100;

class UsbLink {
public:
    virtual ~UsbLink() = default;
    // All bytes in one blocking write; false with the error number in code.
    virtual bool Write(const std::string& bytes, int& code) = 0;
    // Reader thread only: up to n bytes into area, waiting at most timeoutMs. 0 when the time
    // passes or stop fires; -1 with the error number in code on failure.
    virtual long Read(char* area, size_t n, int timeoutMs, const StopSignal& stop, int& code) = 0;
    // Closes both pipes; the failure text, or empty.
    virtual std::string Close() = 0;
};

// Opens the pipes for the key passed to OpenComm ("USB, P": the first USB printer-class device;
// anything else: the first native device), unless [Devices] USB=write,read names a pair of byte
// streams. Null with the failure text in error and, where known, the device and the system's
// reason in reason (see OpenFailureReason).
std::unique_ptr<UsbLink> OpenUsbLink(bool printerClass, std::string& error, std::string& reason);

}  // namespace posbench
