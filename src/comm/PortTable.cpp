#include "comm/PortTable.h"

#include <memory>

#include "base/Display.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/devices/Dcb.h"
#include "comm/devices/ParallelDevice.h"
#include "comm/devices/SerialDevice.h"
#include "comm/devices/TcpDevice.h"
#include "comm/devices/UsbDevice.h"

namespace posbench {

DeviceCollection gcolDevices;
std::string gsSetupTCPAddress;

void ResetPortTableGlobals() {
    gcolDevices.Clear();
    gsSetupTCPAddress.clear();
}

namespace {

enum class DeviceType { COM, LPT, USB, TCP, Unknown };

// The device type is the entry's first three characters, upper-cased.
DeviceType TypeOf(const std::string& entry) {
    const std::string type = UCase(Left(entry, 3));
    if (type == "COM") return DeviceType::COM;
    if (type == "LPT") return DeviceType::LPT;
    if (type == "USB") return DeviceType::USB;
    if (type == "TCP") return DeviceType::TCP;
    return DeviceType::Unknown;
}

std::string KeyOf(const std::string& entry, DeviceType type) {
    switch (type) {
    case DeviceType::COM:
    case DeviceType::LPT: return Left(entry, 4);
    case DeviceType::USB: return Left(entry, 6);
    case DeviceType::TCP: return Left(entry, 3);
    case DeviceType::Unknown: break;
    }
    return {};
}

bool UnknownDeviceType() {
    gsCommErr = "Unknown Device Type";
    return false;
}

// Runs one operation; an unexpected run-time failure becomes its "modComm <text> Error " line.
template <typename Body>
bool Guarded(const char* text, Body body) {
    try {
        return body();
    } catch (...) {
        gsCommErr = FailureLine(std::string("modComm ") + text + " Error ");
        return false;
    }
}

// The COM number of an entry or key: its 4th character ("COM3, ..." gives 3).
long ComNumber(const std::string& text) { return static_cast<long>(Val(Mid(text, 4, 1))); }

// The settings object of a serial or parallel device; any other device has none.
clsDCB& DcbOf(Device& device) {
    clsDCB* dcb = device.DCB();
    if (!dcb) Raise(err::ObjectVariableNotSet);
    return *dcb;
}

// Baud rate and flow flags of a COM setting. False when the flow is neither "DTR" nor "XON";
// the flow flags are then left as they are.
bool ApplyComSetting(clsDCB& dcb, const ComSetting& setting) {
    dcb.BaudRate(CLng(Val(setting.Baud)));
    if (setting.Flow == "DTR") {
        dcb.fDtrControl(2);
        dcb.fOutX(false);
        dcb.fInX(false);
        return true;
    }
    if (setting.Flow == "XON") {
        dcb.fDtrControl(0);
        dcb.fOutX(true);
        dcb.fInX(true);
        return true;
    }
    return false;
}

// Why the device would not open, and on a line of its own which device and the system's reason.
std::string OpenFailureOf(const Device& device) {
    if (device.LastReason().empty()) return device.LastError();
    return device.LastError() + "\n" + device.LastReason();
}

bool RemoveByKey(const char* text, const std::string& key) {
    return Guarded(text, [&] {
        gcolDevices.Remove(key);
        return true;
    });
}

// USB and TCP end their running read before the medium is closed. Neither failure keeps
// the port from being closed; the last reason stays in gsCommErr.
bool ShutdownAndClose(const char* text, const std::string& key, int32_t reason) {
    return Guarded(text, [&] {
        Device& device = gcolDevices.Item(key);
        if (!device.ReadShutdown(reason)) gsCommErr = device.LastError();
        if (!device.CloseComm()) gsCommErr = device.LastError();
        return true;
    });
}

std::string PortText(int16_t port) { return Str(static_cast<int64_t>(port)); }

}  // namespace

// ---- Defining and removing devices ----------------------------------------------------------

bool ConfigureDevices() {
    return Guarded("ConfigureDevices", [] {
        bool result = true;
        for (int16_t i = 1; i <= giNumPorts; ++i) {
            if (!AddDevice(gsPortTable(i), i)) {
                result = false;
                continue;
            }
            if (UCase(Right(gsPortTable(i), 2)) == "ON" && !OpenPort(gsPortTable(i), i)) {
                OnToOff(i);
                result = false;
            }
        }
        return result;
    });
}

bool AddDevice(const std::string& entry, int16_t port) {
    return Guarded("AddDevice", [&] {
        const DeviceType type = TypeOf(entry);
        const std::string key = KeyOf(entry, type);
        switch (type) {
        case DeviceType::COM: return AddCOM(key, port);
        case DeviceType::LPT: return AddLPT(key, port);
        case DeviceType::USB: return AddUSB(key, port);
        case DeviceType::TCP: return AddTCP(key, port);
        case DeviceType::Unknown: break;
        }
        return UnknownDeviceType();
    });
}

bool RemoveDevice(const std::string& entry, int16_t port) {
    return Guarded("RemoveDevice", [&] {
        const DeviceType type = TypeOf(entry);
        const std::string key = KeyOf(entry, type);
        switch (type) {
        case DeviceType::COM: return RemoveCOM(key, port);
        case DeviceType::LPT: return RemoveLPT(key, port);
        case DeviceType::USB: return RemoveUSB(key, port);
        case DeviceType::TCP: return RemoveTCP(key, port);
        case DeviceType::Unknown: break;
        }
        return UnknownDeviceType();
    });
}

namespace {
void AddTraced(const std::string& key, int16_t port, std::unique_ptr<Device> device) {
    device->TraceAs(port, key);
    gcolDevices.Add(key, std::move(device));
}
}  // namespace

bool AddCOM(const std::string& key, int16_t port) {
    return Guarded("Add COM", [&] {
        AddTraced(key, port, std::make_unique<clsRS232>());
        return true;
    });
}

bool AddLPT(const std::string& key, int16_t port) {
    return Guarded("Add LPT", [&] {
        AddTraced(key, port, std::make_unique<clsLPT>());
        Device& device = gcolDevices.Item(key);
        DcbOf(device).BaudRate(9600);
        device.ConfigureComm();
        return true;
    });
}

bool AddUSB(const std::string& key, int16_t port) {
    return Guarded("Add USB", [&] {
        AddTraced(key, port, std::make_unique<clsUSB>());
        return true;
    });
}

bool AddTCP(const std::string& key, int16_t port) {
    return Guarded("Add TCP", [&] {
        AddTraced(key, port, std::make_unique<clsTCP>());
        return true;
    });
}

bool RemoveCOM(const std::string& key, int16_t /*port*/) { return RemoveByKey("Remove COM", key); }
bool RemoveUSB(const std::string& key, int16_t /*port*/) { return RemoveByKey("Remove USB", key); }
bool RemoveTCP(const std::string& key, int16_t /*port*/) { return RemoveByKey("Remove TCP", key); }
bool RemoveLPT(const std::string& key, int16_t /*port*/) { return RemoveByKey("Remove LPT", key); }

// ---- Opening and closing --------------------------------------------------------------------

bool OpenPort(const std::string& entry, int16_t port) {
    bool ok = false;
    try {
        const DeviceType type = TypeOf(entry);
        const std::string key = KeyOf(entry, type);
        switch (type) {
        case DeviceType::COM: ok = OpenComm(key, port); break;
        case DeviceType::LPT: ok = OpenLPT(key, port); break;
        case DeviceType::USB: ok = OpenUSB(key, port); break;
        case DeviceType::TCP: ok = OpenTCP(key, port); break;
        case DeviceType::Unknown: ok = UnknownDeviceType(); break;
        }
    } catch (...) {
        gsCommErr = FailureLine("modComm OpenPort Error ");
        return false;
    }
    if (!ok) gsCommErr = "Port:" + PortText(port) + ".  " + gsCommErr;
    return ok;
}

bool ClosePort(const std::string& entry, int16_t /*port*/) {
    return Guarded("ClosePort", [&] {
        const DeviceType type = TypeOf(entry);
        const std::string key = KeyOf(entry, type);
        switch (type) {
        case DeviceType::COM: return CloseCom(key, STOP_R_FORCE);
        case DeviceType::LPT: return CloseLPT(key, STOP_R_FORCE);
        case DeviceType::USB: return CloseUSB(key, STOP_R_FORCE);
        case DeviceType::TCP: return CloseTCP(key, STOP_R_FORCE);
        case DeviceType::Unknown: break;
        }
        return UnknownDeviceType();
    });
}

bool OpenComm(const std::string& key, int16_t port) {
    return Guarded("OpenComm", [&] {
        // A USB-to-serial adaptor opens under the name with "x", which gives it the adaptor's
        // timeouts.
        std::string name = key;
        if ((!gsUSBAdaptor1.empty() && EqualsNoCase(key, gsUSBAdaptor1)) ||
            (!gsUSBAdaptor2.empty() && EqualsNoCase(key, gsUSBAdaptor2))) {
            name += "x";
        }
        Device& device = gcolDevices.Item(port);
        if (!device.OpenComm(name)) {
            gsCommErr = OpenFailureOf(device);
            return false;
        }
        try {
            // An unknown flow is reported but the port stays open with its other settings.
            if (!ApplyComSetting(DcbOf(device), gComSettings(ComNumber(name) - 1))) {
                gsCommErr = key + " - Invalid flow control parameter";
            }
            device.ConfigureComm();
        } catch (...) {
            // Settings that cannot be applied fail the open: do not leave the line open behind
            // an entry that is about to be switched OFF.
            device.CloseComm();
            throw;
        }
        return true;
    });
}

bool OpenUSB(const std::string& key, int16_t port) {
    return Guarded("Open USB", [&] {
        // The key ("USB, N" or "USB, P") tells the device which interface to open.
        Device& device = gcolDevices.Item(port);
        if (!device.OpenComm(key)) {
            gsCommErr = key + " Open error: " + "\r\n" + OpenFailureOf(device);
            return false;
        }
        return true;
    });
}

bool OpenTCP(const std::string& key, int16_t port) {
    return Guarded("Open TCP", [&] {
        // Give a printer that has just dropped the connection time to listen again.
        if (!WaitFileTime(port, 1000)) Display("OpenTCP Timer Error");
        Device& device = gcolDevices.Item(key);
        if (!device.OpenComm(gsTCPAddress)) {
            gsCommErr = OpenFailureOf(device);
            return false;
        }
        return true;
    });
}

bool OpenLPT(const std::string& key, int16_t port) {
    return Guarded("Open LPT", [&] {
        Device& device = gcolDevices.Item(port);
        DcbOf(device).BaudRate(9600);
        device.ConfigureComm();
        if (!device.OpenComm(key)) {
            gsCommErr = OpenFailureOf(device);
            return false;
        }
        return true;
    });
}

bool CloseCom(const std::string& key, int32_t /*reason*/) {
    return Guarded("CloseCom", [&] {
        gcolDevices.Item(key).CloseComm();
        return true;
    });
}

bool CloseUSB(const std::string& key, int32_t reason) {
    return ShutdownAndClose("Close USB", key, reason);
}

bool CloseTCP(const std::string& key, int32_t reason) {
    return ShutdownAndClose("Close TCP", key, reason);
}

bool CloseLPT(const std::string& key, int32_t /*reason*/) {
    return Guarded("Close LPT", [&] {
        Device& device = gcolDevices.Item(key);
        if (!device.CloseComm()) {
            gsCommErr = device.LastError();
            return false;
        }
        return true;
    });
}

// ---- Entry state ----------------------------------------------------------------------------

void OnToOff(int16_t port) {
    try {
        std::string& entry = gsPortTable(port);
        if (UCase(Right(entry, 2)) == "ON") {
            entry = Left(entry, static_cast<long>(entry.size()) - 2) + "OFF";
        }
        RefreshPortList();
    } catch (...) {
        gsCommErr = FailureLine(" modComm OnToOff Error ");
    }
}

void OffToOn(int16_t port) {
    try {
        std::string& entry = gsPortTable(port);
        if (UCase(Right(entry, 3)) == "OFF") {
            entry = Left(entry, static_cast<long>(entry.size()) - 3) + "ON";
        }
        RefreshPortList();
    } catch (...) {
        gsCommErr = FailureLine(" modComm OnToOff Error ");
    }
}

bool ClearPortOK(int16_t port) {
    return Guarded("ClearPortOK", [&] {
        if (!ClosePort(gsPortTable(port), port)) {
            Display(gsCommErr);
            return false;
        }
        OnToOff(port);
        // The printer needs the time to notice the dropped line before it is opened again.
        if (!WaitFileTime(port, 4000)) {
            Display("System Time error during ClearPortOK");
            return false;
        }
        if (!OpenPort(gsPortTable(port), port)) {
            Display(gsCommErr);
            return false;
        }
        OffToOn(port);
        return true;
    });
}

bool PortReady(int16_t port) {
    try {
        if (port <= 0) {
            gsCommErr = "No Active Ports";
            return false;
        }
        if (PortIsActive(port)) {
            gsCommErr = "Port " + PortText(port) + " is active";
            return false;
        }
        if (InStr(UCase(gsPortTable(port)), "OFF") > 0) {
            gsCommErr = "Port " + PortText(port) + " is Off";
            return false;
        }
        return true;
    } catch (...) {
        gsCommErr = FailureLine("modComm, PortReady ");
        return false;
    }
}

// ---- Settings -------------------------------------------------------------------------------

bool UpdateCom(const std::string& entry, const std::string& state, int16_t port) {
    return Guarded("UPdate Com", [&] {
        const ComSetting& setting = gComSettings(ComNumber(entry) - 1);
        Device& device = gcolDevices.Item(port);
        if (!ApplyComSetting(DcbOf(device), setting)) {
            gsCommErr = entry + " - Invalid flow control parameter";
            return false;
        }
        if (state == "ON") device.ConfigureComm();
        return true;
    });
}

bool ToggleFlowControl(const std::string& entry, int16_t port) {
    return Guarded("ToggleFlowControl", [&] {
        ComSetting& setting = gComSettings(ComNumber(entry) - 1);
        setting.Flow = setting.Flow == "DTR" ? "XON" : "DTR";
        return UpdateCom(entry, "ON", port);
    });
}

bool UpdateTCP(const std::string& entry, const std::string& state, int16_t /*port*/) {
    return Guarded("UPdate TCP", [&] {
        if (state != "ON") return true;
        // The port is open on the entry's address: put that address back wherever the new one
        // was typed.
        // Entry fields are joined by a comma and a blank; the address is the field without it.
        const std::string address = GetParameter(2, ",", false, entry) ? Trim(gsResult) : "";
        if (!address.empty()) {
            gsTCPAddress = address;
            gsSetupTCPAddress = address;
        } else {
            Display("Error restoring IP Adddress.  It's no longer valid.");
        }
        gsCommErr = "Can't change IP address on open TCP Port";
        return false;
    });
}

}  // namespace posbench
