#include "app/VKUtility.h"

#include "app/Catalogue.h"
#include "base/Display.h"
#include "base/File.h"
#include "base/Ini.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "script/StateMachine.h"

namespace posbench {

std::string gsCommandLineFile;

namespace {

constexpr int16_t kMaxVersionQueries = 9;  // the query keys are D01..D09

const char kUsbNative[] = "\x1F\x0B\x4E\x1F\x43\x00";
const char kDownloadMode[] = "\x1B\x5B\x7D";
const char kUsbPrinterClass[] = "\x1F\x0A\xA3\x01\x00\x00\x00\x00\xA0\xA9\x01";
const char kReset[] = "\x1D\xFF";

std::string Bytes(const char* bytes, std::size_t size) { return std::string(bytes, size); }

std::string Field(int16_t index, const std::string& value) {
    if (!GetParameter(index, ",", false, value)) return "";
    return Trim(gsResult);
}

bool IsUsb(const std::string& entry) { return UCase(Left(entry, 3)) == "USB"; }

// The command list of the window is filled exactly as the main window fills its own.
class CommandListAdapter : public ICatalogueView {
public:
    explicit CommandListAdapter(IVKView& view) : view_(view) {}
    void ClearMenu() override {}
    void SetPrinterButton(int16_t, const std::string&) override {}
    void SetSubFunction(int16_t, const std::string&, const std::string&) override {}
    void ShowMenu(int16_t, int16_t, int16_t, int16_t) override {}
    void HidePanels() override {}
    void ShowPanel(Panel, const std::string&) override {}
    void ShowFolder(const std::string&) override {}
    void SetFilePattern(const std::string&) override {}
    void ClearCommands() override { view_.ClearCommands(); }
    void AddCommand(const std::string& description) override { view_.AddCommand(description); }
    void SetCommand(const std::string&, const std::string&) override {}
    void FocusSend() override {}

private:
    IVKView& view_;
};

const char* const kPortProblemLines[] = {
    "UNABLE TO OPEN PORT.",
    "PLEASE RESOLVE THE PORT ISSUE,",
    "DETERMINE IF PRINTER IS SET FOR",
    "NATIVE USB OR PRINTER CLASS USB",
    "FROM PRINTER DIGNOSTIC PRINT OUT.",
    "USE BUTTONS IN USB PROGRAM CONTROL",
    "FRAME TO SET PROGRAM TO THE USB",
    "TYPE ON DIGNOSTIC PRINT OUT,",
    "THEN RESTART THIS UTILITY.",
};

}  // namespace

VKUtility::VKUtility(IVKView& view, IVKHost& host) : view_(view), host_(host) {}

std::string VKUtility::Setting(const std::string& key) const {
    const std::string value = GetPrivateProfileString("VKPRINTER", key, "NONE", gsProgramDir + "/SUPrinters.ini");
    return value.empty() ? "NONE" : value;
}

int16_t VKUtility::Port() const { return host_.SelectedPort(); }

void VKUtility::Form_Load(const std::string& version) {
    try {
        view_.SetVersionLabel("Version  " + version);
        CommandListAdapter adapter(view_);
        Catalogue list(adapter);
        list.DisplayConfigurationList(gsCurrentConfigFile);
        commands_.clear();
        for (long i = 1; i <= list.Commands().size(); ++i)
            commands_.emplace_back(list.Commands()(i).command, list.Commands()(i).inputCount);

        const int16_t port = Port();
        const std::string entry = port >= 1 && port <= giNumPorts ? gsPortTable(port) : "";
        view_.ChoosePrinterClass(UCase(Left(entry, 6)) == "USB, P");
        if (UCase(Setting("USBFRAME")) == "HIDE") view_.HideUsbFrame();
        promptOn_ = UCase(Setting("USBPROMPT")) != "DISABLE";

        if (Setting("NUMDISP") == "NONE") {
            Show("Invalid line in printer configuration file");
            return;
        }
        const std::string logo = Setting("LOGO");
        if (logo == "NONE") {
            Show("No Logo File Defined");
            return;
        }
        const std::string file = Field(1, logo);
        const std::string height = Field(2, logo);
        const std::string width = Field(3, logo);
        if (file.empty()) Show("Missing or Invalid Logo file name in configuration file");
        else if (height.empty()) Show("Missing or Invalid Logo height in configuration file");
        else if (width.empty()) Show("Missing or Invalid Logo width in configuration file");
        else view_.ShowLogo(NativePath(gsProgramDir + "/" + file), CInt(Val(height)), CInt(Val(width)));
    } catch (...) {
        Show(FailureLine("frmMain, Form Load: ", ": "));
    }
}

void VKUtility::tmrVKtxt_Timer() {
    try {
        const int16_t port = Port();
        const std::string entry = port >= 1 && port <= giNumPorts ? gsPortTable(port) : "";
        if (UCase(Right(entry, 2)) != "ON") {
            view_.EnableCommands(false);
            for (const char* line : kPortProblemLines) Show(line);
            return;
        }
        if (!gsCommandLineFile.empty()) {
            const std::string file = gsCommandLineFile;
            gsCommandLineFile.clear();  // sent once
            host_.SendFile(file);
        }
    } catch (...) {
        Show(FailureLine("frmVK, cmdVKDload Error:  ", ": "));
    }
}

void VKUtility::cmdVKDload_Click() {
    try {
        std::string name = Setting("FLASH");
        if (name == "NONE") name = Setting("BOOT");
        if (name == "NONE") {
            Show("No Firmware to Download");
            return;
        }
        host_.SendFile(NativePath(gsProgramDir + "/" + name));
    } catch (...) {
        Show(FailureLine("frmVK, cmdVKDload Error:  ", ": "));
    }
}

bool VKUtility::Exchange(const std::string& bytes, int32_t expected, bool hexDisplay, int16_t port) {
    view_.BoundExchange(port, kVKExchangeMs);
    const bool ok = WriteReadOk(bytes, expected, hexDisplay, port);
    view_.BoundExchange(port, 0);
    return ok;
}

void VKUtility::cmdVKFirmwareVersion_Click() {
    try {
        const std::string numDisp = Setting("NUMDISP");
        if (numDisp == "NONE") {
            Show("Invalid line in printer configuration file");
            return;
        }
        const std::string countField = Field(1, numDisp);
        const double count = Val(countField);
        // Only D01..D09 can be named: a larger count would read keys that cannot exist.
        if (countField.empty() || count < 1 || count > kMaxVersionQueries || count != static_cast<int>(count)) {
            Show("Invalid Line in configuration file");
            return;
        }
        const int16_t port = Port();
        if (!PortReady(port)) {
            Show(gsCommErr);
            return;
        }
        for (int16_t i = 1; i <= static_cast<int16_t>(count); ++i) {
            const std::string query = Setting("D0" + CStr(i));
            std::string fields[6];
            bool complete = query != "NONE";
            for (int16_t f = 0; f < 6 && complete; ++f) {
                fields[f] = Field(static_cast<int16_t>(f + 1), query);
                complete = !fields[f].empty();
            }
            if (!complete) {
                Show("Invalid line in printer configuration file");
                return;
            }
            if (!ProcessData(fields[1])) {
                Show(gsTextErr);
                return;
            }
            const bool ascii = UCase(Left(fields[2], 3)) == "ASC";
            if (!Exchange(gsResult, CLng(Val(fields[3])), !ascii, port)) return;
            const std::string response = ResponseBox() ? ResponseBox()->Text() : "";
            long start = CLng(Val(fields[4]));
            const long length = CLng(Val(fields[5]));
            if (start < 1) start = 1;
            if (ascii) {
                if (Left(response, 2) == " (") start += 5;
                Show(fields[0] + "  " + Mid(response, start, length));
            } else {
                Show(fields[0] + "  " + Mid(response, start, 3 * length));
            }
        }
    } catch (...) {
        Show(FailureLine("frmVK, cmdVKFirmwareVersion Error: ", ": "));
    }
}

void VKUtility::cmdVKReset_Click() {
    try {
        const int16_t port = Port();
        if (!PortReady(port)) {
            Show(gsCommErr);
            return;
        }
        gbStop(port) = false;
        SendReset(port);
    } catch (...) {
        Show(FailureLine("frmVK, cmdVKReset Error: ", ": "));
    }
}

void VKUtility::cmdConfiguration_Click() {
    try {
        const long index = view_.SelectedCommand();
        if (index < 0 || static_cast<std::size_t>(index) >= commands_.size()) {
            Show("Please Select Command to Send");
            return;
        }
        const auto& [command, count] = commands_[static_cast<std::size_t>(index)];
        host_.SendCommand(command, count);
    } catch (...) {
        Show(FailureLine("frmVK, cmdConfiguration Error: ", ": "));
    }
}

void VKUtility::cmdSetUSB_Click() {
    try {
        const int16_t port = Port();
        if (!PortReady(port)) {
            Show(gsCommErr);
            return;
        }
        SwitchPrinter(port, view_.PrinterClassChosen());
    } catch (...) {
        Show(FailureLine("frmMain, DisplayConfigurationList Error: ", ": "));
    }
}

bool VKUtility::SwitchPrinter(int16_t port, bool printerClass) {
    const std::string entry = gsPortTable(port);
    const std::string active = printerClass ? "Printer Class USB Is Active" : "Native Mode USB is Active";
    if (UCase(Left(entry, 6)) == (printerClass ? "USB, P" : "USB, N")) {
        Show(printerClass ? "Printer Class USB Is Active" : "Native Mode USB Is Active");
        return true;
    }
    if (printerClass) {
        if (!Exchange(Bytes(kDownloadMode, 3), 0, true, port)) return false;
        if (!WaitFileTime(port, 300)) return false;
        if (!Exchange(Bytes(kUsbPrinterClass, 11), 1, true, port)) return false;
    } else {
        if (!Exchange(Bytes(kUsbNative, 6), 0, true, port)) return false;
    }
    if (!WaitFileTime(port, 1000)) return false;
    if (!IsUsb(entry)) {
        // A serial, parallel or network link stays as it is; the printer restarts into the mode.
        SendReset(port);
        Show(active);
        return true;
    }
    if (!Exchange(Bytes(kReset, 2), 0, true, port)) return false;
    if (!WaitFileTime(port, 1000)) return false;
    return ReopenUsb(port, printerClass);
}

bool VKUtility::ReopenUsb(int16_t port, bool printerClass) {
    const std::string old = gsPortTable(port);
    if (!ClosePort(old, port)) Show(gsCommErr);
    OnToOff(port);
    // The device moves to the key of its new mode, so that closing, recovery and a later
    // setup find it; the entry says ON only once the open has worked.
    const std::string entry = printerClass ? "USB, PRINTER CLASS, OFF" : "USB, Native, OFF";
    gcolDevices.Rename(Left(old, 6), Left(entry, 6));
    gsPortTable(port) = entry;
    RefreshPortList();

    const std::string mode = printerClass ? "Printer Class Mode" : "Native Mode";
    if (promptOn_) {
        MsgBox("To enable " + mode + ", please: \n1.  Disconnect one end of the USB cable\n"
               "2.  Reconnect the cable\n3.  Press OK to remove this message.");
    } else {
        Show("Connecting to USB");
        if (!WaitFileTime(port, 5000)) return false;
    }
    if (!OpenUSB(Left(entry, 6), port)) {
        Show(printerClass ? "Error opening Printer Class USB" : "Error opening Native USB");
        return false;
    }
    OffToOn(port);
    SaveCommConfiguration();
    Show(!gsConfigErr.empty() ? gsConfigErr
         : printerClass       ? "Printer Class USB Is Active"
                              : "Native Mode USB is Active");
    return true;
}

void VKUtility::SwitchProgramMode(const std::string& entry) {
    try {
        const int16_t port = Port();
        if (port < 1 || port > giNumPorts || !IsUsb(gsPortTable(port))) {
            Show("USB Program Control applies to a USB port only: select the USB port first");
            return;
        }
        // Startup.ini gets the new mode for the next start; the running port keeps the mode its
        // device was opened in until then.
        const std::string running = gsPortTable(port);
        gsPortTable(port) = entry;
        SaveCommConfiguration();
        gsPortTable(port) = running;
        Show(!gsConfigErr.empty() ? gsConfigErr : "Saved for the next start: " + entry);
    } catch (...) {
        Show(FailureLine("frmMain, DisplayConfigurationList Error: ", ": "));
    }
}

void VKUtility::cmdProgramNative_Click() { SwitchProgramMode("USB, Native, ON"); }

void VKUtility::cmdProgramPrinterClass_Click() { SwitchProgramMode("USB, PRINTER CLASS, ON"); }

}  // namespace posbench
