#pragma once
// The printer on USB: through the native pipes or the USB printer class, chosen by the key
// the port table passes ("USB, P" for the printer class). The device itself is LinkDevice;
// this is how the USB link is opened and named.
#include <cstdint>
#include <string>

#include "comm/devices/LinkDevice.h"

namespace posbench {

class clsUSB : public LinkDevice {
public:
    clsUSB();

    bool OpenComm(const std::string& sInterface) override;

    // Selects the printer class for exactly "USB, P", the native pipes for anything else.
    void InitUSB(const std::string& sType);
    bool PrinterClass() const { return mbPrinterClass; }

    const std::string& mstrUSBError() const { return mstrLastError; }
    void mstrUSBError(const std::string& value) { mstrLastError = value; }

private:
    bool mbPrinterClass = false;
};

}  // namespace posbench
