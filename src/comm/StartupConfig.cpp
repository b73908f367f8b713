#include "comm/StartupConfig.h"

#include <array>
#include <optional>
#include <vector>

#include "base/Ini.h"
#include "base/Numbers.h"
#include "base/PathCase.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "comm/CommGlobals.h"

namespace posbench {
namespace {

constexpr const char* kCommSection = "Communication";
constexpr const char* kOtherSection = "OTHER";
constexpr const char* kDevicesSection = "Devices";
constexpr const char* kComErrorPrefix = "modConfig, Startup Com Error: ";

// The value of a key, or nothing when it is absent, empty or "NONE" in any case.
std::optional<std::string> ReadDefined(const char* section, const std::string& key) {
    std::string value = GetPrivateProfileString(section, key, "NONE", StartupFileName());
    if (value.empty() || UCase(value) == "NONE") return std::nullopt;
    return value;
}

// Field n (from 1) of a comma-separated value; empty when there are fewer fields.
std::string Field(int16_t n, const std::string& value) {
    if (!GetParameter(n, ",", false, value)) return {};
    return gsResult;
}

bool IsBaudRate(const std::string& s) {
    static const std::array<const char*, 5> rates{"115200", "57600", "38400", "19200", "9600"};
    for (const char* r : rates)
        if (s == r) return true;
    return false;
}

std::string OnOff(const std::string& field) { return UCase(field) == "ON" ? "ON" : "OFF"; }

void AppendEntry(const std::string& entry) {
    gsPortTable.push_back(entry);
    giNumPorts = ToInteger(gsPortTable.size());
}

// The reasons an entry did not load as written; a field not accepted silently takes its
// default, so the user is told which and why.
class EntryNotes {
public:
    EntryNotes(const std::string& key, const std::string& value) : entry_(key + "=" + value) {}
    ~EntryNotes() {
        if (!reasons_.empty()) gsStartupNotes.push_back("Startup.ini: " + entry_ + ": " + reasons_);
    }
    EntryNotes(const EntryNotes&) = delete;
    EntryNotes& operator=(const EntryNotes&) = delete;

    void Add(const std::string& reason) {
        if (reason.empty()) return;
        if (!reasons_.empty()) reasons_ += "; ";
        reasons_ += reason;
    }
    // The field was not one of the accepted words: what it was, and the default taken.
    void Unaccepted(const std::string& field, const std::string& what, const char* accepted,
                    const char* taken) {
        if (field.empty()) Add(what + " missing (" + accepted + "); " + taken);
        else Add(what + " " + field + " is not " + accepted + "; " + taken);
    }
    void State(const std::string& field) {
        if (UCase(field) != "ON" && UCase(field) != "OFF")
            Unaccepted(field, "state", "ON or OFF", "port left off");
    }

private:
    std::string entry_;
    std::string reasons_;
};

void NoteComEntry(EntryNotes& notes, const std::string& value) {
    const std::string baud = Field(1, value);
    if (baud.empty()) notes.Add("baud rate missing; 115200 used");
    else if (!IsBaudRate(baud))
        notes.Add("baud rate " + baud + " is not one of 115200, 57600, 38400, 19200, 9600; 115200 used");
    const std::string flow = Field(2, value);
    const std::string state = Field(3, value);
    if ((UCase(flow) == "ON" || UCase(flow) == "OFF") && state.empty()) {
        // The state written where the flow control belongs.
        notes.Add("flow control missing (DTR or XON); port left off");
        return;
    }
    if (UCase(flow) != "DTR" && UCase(flow) != "XON")
        notes.Unaccepted(flow, "flow control", "DTR or XON", "DTR used");
    notes.State(state);
}

}  // namespace

std::string StartupFileName() { return ResolveParentNoCase(gsProgramDir + "/Startup.ini"); }

bool StartupCom() {
    try {
        for (long i = gComSettings.lower(); i <= gComSettings.upper(); ++i) gComSettings(i).Baud.clear();
        gsLPTState.reset();
        gsUSBMode.clear();
        gsTCPAddress.clear();
        gsPortTable.clear();
        giNumPorts = 0;
        gsStartupNotes.clear();

        for (int16_t n = 1; n <= 8; ++n) {
            std::string key = "COM" + CStr(static_cast<int64_t>(n));
            std::optional<std::string> value = ReadDefined(kCommSection, key);
            if (!value) continue;
            ComSetting& com = gComSettings(n - 1);
            com = ComSetting{"115200", "DTR", "OFF"};
            std::string baud = Field(1, *value);
            if (IsBaudRate(baud)) com.Baud = baud;
            if (UCase(Field(2, *value)) == "XON") com.Flow = "XON";
            com.State = OnOff(Field(3, *value));
            EntryNotes notes(key, *value);
            NoteComEntry(notes, *value);
            AppendEntry(key + ", " + com.Baud + ", " + com.Flow + ", " + com.State);
        }
        for (int16_t n = 1; n <= 3; ++n) {
            std::string key = "LPT" + CStr(static_cast<int64_t>(n));
            std::optional<std::string> value = ReadDefined(kCommSection, key);
            if (!value) continue;
            gsLPTState(n - 1) = OnOff(Field(1, *value));
            EntryNotes(key, *value).State(Field(1, *value));
            AppendEntry(key + ", " + gsLPTState(n - 1));
        }
        if (std::optional<std::string> value = ReadDefined(kCommSection, "USB")) {
            gsUSBMode = "NATIVE";
            std::string mode = Field(1, *value);
            if (UCase(mode) == "NATIVE" || UCase(mode) == "PRINTER CLASS") gsUSBMode = mode;
            gsUSBState = OnOff(Field(2, *value));
            EntryNotes notes("USB", *value);
            if (UCase(mode) != "NATIVE" && UCase(mode) != "PRINTER CLASS")
                notes.Unaccepted(mode, "mode", "NATIVE or PRINTER CLASS", "NATIVE used");
            notes.State(Field(2, *value));
            AppendEntry("USB, " + gsUSBMode + ", " + gsUSBState);
        }
        if (std::optional<std::string> value = ReadDefined(kCommSection, "TCP")) {
            gsTCPAddress = Field(1, *value);
            gsTCPState = OnOff(Field(2, *value));
            EntryNotes("TCP", *value).State(Field(2, *value));
            AppendEntry("TCP, " + gsTCPAddress + ", " + gsTCPState);
        }
        return true;
    } catch (...) {
        gsStartupErr = FailureLine(kComErrorPrefix);
        return false;
    }
}

bool StartupOther() {
    try {
        giMaxPorts = 1;
        if (std::optional<std::string> value = ReadDefined(kOtherSection, "MAXPORTS")) {
            double ports = Val(Field(1, *value));
            giMaxPorts = ports > 6 ? int16_t{6} : CInt(ports);
        }
        gsUSBAdaptor1.clear();
        if (std::optional<std::string> value = ReadDefined(kOtherSection, "USBADAPTOR1"))
            gsUSBAdaptor1 = UCase(Field(1, *value));
        gsUSBAdaptor2.clear();
        if (std::optional<std::string> value = ReadDefined(kOtherSection, "USBADAPTOR2"))
            gsUSBAdaptor2 = UCase(Field(1, *value));
        return true;
    } catch (...) {
        gsStartupErr = FailureLine(kComErrorPrefix);
        return false;
    }
}

bool StartupDevices() {
    try {
        gsDevicePaths.clear();
        std::vector<std::string> media{"USB", "USBID"};
        for (int n = 1; n <= 8; ++n) media.push_back("COM" + CStr(static_cast<int64_t>(n)));
        for (int n = 1; n <= 3; ++n) media.push_back("LPT" + CStr(static_cast<int64_t>(n)));
        for (const std::string& medium : media)
            if (std::optional<std::string> value = ReadDefined(kDevicesSection, medium))
                gsDevicePaths[medium] = *value;
        return true;
    } catch (...) {
        gsStartupErr = FailureLine(kComErrorPrefix);
        return false;
    }
}

bool Startup() {
    try {
        StartupCom();
        StartupOther();
        StartupDevices();
        return true;
    } catch (...) {
        gsStartupErr = FailureLine("modConfig, Startup Error: ");
        return false;
    }
}

void SaveCommConfiguration() {
    gsConfigErr.clear();
    try {
        const std::string file = StartupFileName();
        if (!WritePrivateProfileSection(kCommSection, {}, file)) {
            gsConfigErr = "Configuration File Error";
            return;
        }
        for (int16_t i = 1; i <= giNumPorts; ++i) {
            const std::string entry = gsPortTable(i);
            std::string key = Field(1, entry);
            if (Trim(key).empty()) {
                gsConfigErr = "Internal Err. Missing Port";
                return;
            }
            long comma = InStr(entry, ",");
            if (comma == 0) {
                gsConfigErr = "Internal Err.  Missing parameter";
                return;
            }
            if (!WritePrivateProfileString(kCommSection, key, Mid(entry, comma + 1), file)) {
                gsConfigErr = "Error saving comm configuration";
                return;
            }
        }
    } catch (...) {
        gsConfigErr = FailureLine("modConfig, SaveCommConfiguration Error: ");
    }
}

}  // namespace posbench
