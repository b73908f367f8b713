#include "app/PortSetup.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "app/LinkRecovery.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "comm/devices/Dcb.h"

namespace posbench {

namespace {

constexpr long kStatusPiece = 42;

bool EndsOn(const std::string& entry) { return UCase(Right(entry, 2)) == "ON"; }
bool EndsOff(const std::string& entry) { return UCase(Right(entry, 3)) == "OFF"; }

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

bool IsIPv4(const std::string& host) {
    int parts = 0;
    std::string part;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == '.') {
            if (!AllDigits(part) || part.size() > 3 || std::stoi(part) > 255) return false;
            ++parts;
            part.clear();
        } else {
            part += host[i];
        }
    }
    return parts == 4;
}

bool IsHostName(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    std::string label;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == '.') {
            if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
                return false;
            label.clear();
            continue;
        }
        const auto c = static_cast<unsigned char>(host[i]);
        if (!std::isalnum(c) && c != '-') return false;
        label += host[i];
    }
    return true;
}

}  // namespace

const std::vector<std::string>& SetupDeviceChoices() {
    static const std::vector<std::string> choices{"COM1", "COM2", "USB Native", "Ethernet", "LPT1",
                                                  "COM3", "COM4", "COM5",       "COM6",     "COM7",
                                                  "COM8", "LPT2", "LPT3"};
    return choices;
}

const std::vector<std::string>& SetupBaudRates() {
    static const std::vector<std::string> rates{"9600", "19200", "38400", "57600", "115200"};
    return rates;
}

const std::vector<std::string>& SetupFlows() {
    static const std::vector<std::string> flows{"DTR", "XON"};
    return flows;
}

std::string CheckBaud(const std::string& baud) {
    for (const std::string& rate : SetupBaudRates())
        if (baud == rate) return "";
    if (AllDigits(baud) && baud.size() <= 9) {
        try {
            clsDCB probe;
            probe.BaudRate(static_cast<int32_t>(std::stol(baud)));
            return "";
        } catch (...) {
        }
    }
    return "Baud rate \"" + baud + "\" is not one the serial line can use: pick one from the list";
}

std::string CheckFlow(const std::string& flow) {
    const std::string upper = UCase(flow);
    if (upper == "DTR" || upper == "XON") return "";
    return "Flow control must be DTR or XON";
}

std::string CheckAddress(const std::string& address) {
    if (address.empty()) return "Missing IP Address";
    for (const char c : address) {
        if (c == ',' || std::isspace(static_cast<unsigned char>(c)) || std::iscntrl(static_cast<unsigned char>(c)))
            return "The address may not hold a comma or a blank";
    }
    // An IPv6 address goes in brackets with its port, so that its colons stay apart from the
    // port's: [2001:db8::7]:9001.
    if (address.front() == '[') {
        const std::size_t close = address.find(']');
        const std::string inside = close == std::string::npos ? "" : address.substr(1, close - 1);
        const bool hex = !inside.empty() && inside.find(':') != std::string::npos &&
                         std::all_of(inside.begin(), inside.end(), [](char c) {
                             return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
                         });
        if (!hex || close + 1 >= address.size() || address[close + 1] != ':')
            return "Write an IPv6 address as [address]:port";
    } else if (std::count(address.begin(), address.end(), ':') > 1) {
        return "Write an IPv6 address as [address]:port";
    }
    std::string host = address;
    const std::size_t colon = address.rfind(':');
    if (colon != std::string::npos) {
        host = address.substr(0, colon);
        const std::string port = address.substr(colon + 1);
        if (!AllDigits(port) || port.size() > 5 || std::stol(port) < 1 || std::stol(port) > 65535)
            return "The port after \":\" must be a number from 1 to 65535";
    }
    if (UCase(host) == "SERVER" || (!host.empty() && host.front() == '[')) return "";
    bool numeric = !host.empty();
    for (const char c : host)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') numeric = false;
    if (numeric) return IsIPv4(host) ? "" : "\"" + host + "\" is not an address of the form W.X.Y.Z (each 0 to 255)";
    return IsHostName(host) ? "" : "\"" + host + "\" is not a host name or an address W.X.Y.Z";
}

std::string SetupMedium(const std::string& entry) {
    const std::string kind = UCase(Left(entry, 3));
    if (kind == "COM" || kind == "LPT") return UCase(Left(entry, 4));
    return kind;
}

PortSetup::PortSetup(IPortSetupView& view, const LinkRecovery* recovery)
    : view_(view), recovery_(recovery) {}

void PortSetup::Show(const std::string& text) {
    if (text.empty()) {
        view_.AddStatusPiece("");
        return;
    }
    for (std::size_t at = 0; at < text.size(); at += kStatusPiece)
        view_.AddStatusPiece(text.substr(at, kStatusPiece));
}

std::vector<std::string> PortSetup::Entries() const {
    std::vector<std::string> entries;
    for (long i = 0; i < view_.EntryCount(); ++i) entries.push_back(view_.Entry(i));
    return entries;
}

void PortSetup::ReplaceEntry(long index, const std::string& entry) {
    std::vector<std::string> entries = Entries();
    entries.at(static_cast<std::size_t>(index)) = entry;
    view_.SetEntries(entries);
    view_.SelectEntry(index);
}

void PortSetup::Form_Load() {
    std::vector<std::string> entries;
    for (int16_t p = 1; p <= giNumPorts; ++p) entries.push_back(gsPortTable(p));
    view_.SetEntries(entries);
    if (!entries.empty()) view_.SelectEntry(0);
}

void PortSetup::EditCom(const std::string& device) {
    ComSetting& stored = gComSettings(static_cast<long>(Val(Mid(device, 4, 1))) - 1);
    SerialSettings settings{stored.Baud, stored.Flow};
    if (!view_.EditSerial(device, settings)) return;
    stored.Baud = settings.baud;
    stored.Flow = settings.flow;
    AddConfiguration(device + ", " + settings.baud + ", " + settings.flow);
}

void PortSetup::EditTcp() {
    std::string address = gsSetupTCPAddress;
    if (!view_.EditAddress(address)) return;
    gsSetupTCPAddress = address;
    gsTCPAddress = address;
    AddConfiguration("TCP, " + address);
}

void PortSetup::lstComDevice_DblClick(long choice) {
    try {
        const std::string item = SetupDeviceChoices().at(static_cast<std::size_t>(choice));
        const std::string kind = UCase(Left(item, 3));
        if (kind == "COM") {
            EditCom(item);
        } else if (kind == "USB") {
            AddConfiguration(UCase(item) == "USB NATIVE" ? "USB, NATIVE" : "USB, PRINTER CLASS");
        } else if (kind == "ETH") {
            EditTcp();
        } else if (kind == "LPT") {
            AddConfiguration(item);
        }
    } catch (...) {
        Show(FailureLine("frmSetup lstComDevice Error "));
    }
}

void PortSetup::lstPortStatus_DblClick() {
    try {
        const long selected = view_.SelectedEntry();
        if (selected < 0 || selected >= view_.EntryCount()) return;
        const std::string entry = view_.Entry(selected);
        const std::string kind = UCase(Left(entry, 3));
        if (kind == "COM") EditCom(Left(entry, 4));
        else if (kind == "TCP") EditTcp();
    } catch (...) {
        Show(FailureLine("frmSetup lstPortStatus Error "));
    }
}

int16_t PortSetup::BusyPortFrom(long first) const {
    for (long i = first; i < view_.EntryCount() && i < 6; ++i) {
        const auto port = static_cast<int16_t>(i + 1);
        if (PortIsActive(port) || gbDelay(port) || gbConfigPending(port) || gbSendPending(port) ||
            gbReadPending(port) || (recovery_ && recovery_->InProgress(port)))
            return port;
    }
    return 0;
}

void PortSetup::AddConfiguration(const std::string& definition) {
    try {
        const long selected = view_.SelectedEntry();
        const std::vector<std::string> entries = Entries();
        const long count = static_cast<long>(entries.size());
        // One entry per medium: a second entry of the same medium would register a second
        // device under the same key.
        const std::string medium = SetupMedium(definition);
        for (long i = 0; i < count; ++i) {
            if (SetupMedium(entries[static_cast<std::size_t>(i)]) != medium) continue;
            const std::string& old = entries[static_cast<std::size_t>(i)];
            const std::string state = Right(old, 2);
            const std::string kind = UCase(Left(definition, 3));
            bool ok = false;
            if (kind == "COM") {
                ok = UpdateCom(definition, state, static_cast<int16_t>(i + 1));
            } else if (kind == "TCP") {
                // The old entry: a refused change puts its address back.
                ok = UpdateTCP(old, state, static_cast<int16_t>(i + 1));
            } else {
                Show("Port or device already defined.");
                return;
            }
            if (ok) UpdateConfiguration(definition, i);
            else Show(gsCommErr);
            return;
        }
        if (count >= giMaxPorts) {
            Show("Exceeded number of ports permitted.");
            Show("Please remove a port before adding one.");
            return;
        }
        const std::string entry = definition + ", OFF";
        if (selected < 0 || selected >= count - 1) {
            std::vector<std::string> grown = entries;
            grown.push_back(entry);
            view_.SetEntries(grown);
            view_.SelectEntry(count);
            if (!AddDevice(entry, static_cast<int16_t>(count + 1))) Show(gsCommErr);
            return;
        }
        // Inserting renumbers every later port: none of them may be in the middle of something.
        if (const int16_t busy = BusyPortFrom(selected + 1); busy != 0) {
            Show("Port " + CStr(busy) + " is busy: wait or press Cancel.");
            return;
        }
        view_.SelectEntry(selected + 1);
        RemoveDevices();
        std::vector<std::string> grown = entries;
        grown.insert(grown.begin() + selected + 1, entry);
        view_.SetEntries(grown);
        view_.SelectEntry(selected + 1);
        AddDevices();
    } catch (...) {
        Show(FailureLine("frmSetup AddConfiguration Error "));
    }
}

void PortSetup::UpdateConfiguration(const std::string& definition, long position) {
    try {
        const std::string old = view_.Entry(position);
        ReplaceEntry(position, definition + (UCase(Right(old, 2)) == "ON" ? ", ON" : ", OFF"));
    } catch (...) {
        Show(FailureLine("frmSetup Update Configuration Error "));
    }
}

void PortSetup::FromSelection(const char* errorPrefix,
                              const std::function<void(const std::string&, int16_t)>& step) {
    try {
        const long from = view_.SelectedEntry();
        if (from < 0) return;
        for (long i = from; i < view_.EntryCount(); ++i) step(view_.Entry(i), static_cast<int16_t>(i + 1));
    } catch (...) {
        Show(FailureLine(errorPrefix));
    }
}

void PortSetup::Check(bool ok, const char* failure) {
    if (ok) return;
    Show(gsCommErr);
    Show(failure);
}

void PortSetup::AddDevices() {
    FromSelection("frmSetup Add Devices Error ", [this](const std::string& entry, int16_t port) {
        Check(AddDevice(entry, port), "Add device failed");
        if (EndsOn(entry)) Check(OpenPort(entry, port), "Open Port failed during add devices");
    });
}

void PortSetup::RemoveDevices() {
    FromSelection("frmSetup Remove Devices Error ", [this](const std::string& entry, int16_t port) {
        if (EndsOn(entry)) Check(ClosePort(entry, port), "Close Port failed during remove devices");
        Check(RemoveDevice(entry, port), "Remove device failed");
    });
}

void PortSetup::btnOn_Click() {
    try {
        const long selected = view_.SelectedEntry();
        if (selected < 0 || selected >= view_.EntryCount()) return;
        const std::string entry = view_.Entry(selected);
        if (!EndsOff(entry)) return;
        const std::string on = Left(entry, static_cast<long>(entry.size()) - 3) + "ON";
        if (OpenPort(on, static_cast<int16_t>(selected + 1))) ReplaceEntry(selected, on);
        else Show(gsCommErr);
    } catch (...) {
        Show(FailureLine("frmSetup On Button Error "));
    }
}

void PortSetup::btnOff_Click() {
    try {
        const long selected = view_.SelectedEntry();
        if (selected < 0 || selected >= view_.EntryCount()) return;
        const std::string entry = view_.Entry(selected);
        if (!EndsOn(entry)) return;
        if (ClosePort(entry, static_cast<int16_t>(selected + 1)))
            ReplaceEntry(selected, Left(entry, static_cast<long>(entry.size()) - 2) + "OFF");
        else Show(gsCommErr);
    } catch (...) {
        Show(FailureLine("frmSetup Off Button Error "));
    }
}

void PortSetup::btnRemoveConfiguration_Click() { RemoveConfiguration(); }

void PortSetup::RemoveConfiguration() {
    try {
        const long selected = view_.SelectedEntry();
        if (view_.EntryCount() == 0 || selected < 0 || selected >= view_.EntryCount()) return;
        if (const int16_t busy = BusyPortFrom(selected); busy != 0) {
            Show("Port " + CStr(busy) + " is busy: wait or press Cancel.");
            return;
        }
        RemoveDevices();
        std::vector<std::string> entries = Entries();
        entries.erase(entries.begin() + selected);
        view_.SetEntries(entries);
        const long count = static_cast<long>(entries.size());
        if (count == 0) return;
        // The ports after the removed one come back under their new numbers. When the last
        // entry went, none did: the one now selected still has its device.
        if (selected < count) {
            view_.SelectEntry(selected);
            AddDevices();
        } else {
            view_.SelectEntry(count - 1);
        }
    } catch (...) {
        Show(FailureLine("frmSetup Update Configuration Error "));
    }
}

void PortSetup::CopyListToTable() {
    const std::vector<std::string> entries = Entries();
    giNumPorts = static_cast<int16_t>(entries.size());
    if (giNumPorts == 0) return;
    gsPortTable.resize(giNumPorts);
    for (long i = 0; i < giNumPorts; ++i) gsPortTable(i + 1) = entries[static_cast<std::size_t>(i)];
}

void PortSetup::btnRemember_Click() {
    try {
        CopyListToTable();
        SaveCommConfiguration();
        Show(gsConfigErr.empty() ? "Configuration update complete" : gsConfigErr);
    } catch (...) {
        Show(FailureLine("frmSetup btnRemember Error "));
    }
}

void PortSetup::btnExit_Click() {
    try {
        CopyListToTable();
    } catch (...) {
        Show(FailureLine("frmSetup Exit Button Error "));
    }
    view_.CloseWindow();
}

}  // namespace posbench
