#pragma once
// The VK printer utility (frmVK, "VK Print Utility"), without widgets: a compact service window
// for one printer, the port selected in the main window. It downloads the firmware the catalogue
// names, shows firmware versions, resets the printer, sends configuration commands and switches
// the printer (and the program) between native USB and USB printer class. Its settings are the
// section "VKPRINTER" of SUPrinters.ini.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/Views.h"

namespace posbench {

// The file named on the command line; the utility sends it as soon as its port is ON.
extern std::string gsCommandLineFile;

// How long one exchange of the utility may wait for the printer before it is given up.
inline constexpr long kVKExchangeMs = 5000;

// What the utility needs of its window.
class IVKView : public IVKDisplay {
public:
    virtual void ClearStatus() = 0;
    virtual void SetVersionLabel(const std::string& text) = 0;
    virtual void ClearCommands() = 0;
    virtual void AddCommand(const std::string& description) = 0;
    virtual long SelectedCommand() const = 0;  // -1 for none
    // "USB Printer Control": the chosen mode (true for "Printer Class") and the frame's visibility.
    virtual void ChoosePrinterClass(bool printerClass) = 0;
    virtual bool PrinterClassChosen() const = 0;
    virtual void HideUsbFrame() = 0;
    virtual void ShowLogo(const std::string& file, int height, int width) = 0;
    // Download, versions, reset, Send and Set USB In Printer.
    virtual void EnableCommands(bool enable) = 0;
    // Bound the next exchange on port: after ms milliseconds without its end the port is
    // stopped (the window's timer sets its stop flag). 0 removes the bound.
    virtual void BoundExchange(int16_t port, long ms) = 0;
};

// What the utility needs of the main window: its selected port and its send path.
class IVKHost {
public:
    virtual ~IVKHost() = default;
    virtual int16_t SelectedPort() const = 0;
    // The main window's Send with the file in its file-name box.
    virtual void SendFile(const std::string& fileName) = 0;
    // The main window's Send with a command and its reply count in the command boxes.
    virtual void SendCommand(const std::string& command, const std::string& inputCount) = 0;
};

class VKUtility {
public:
    VKUtility(IVKView& view, IVKHost& host);

    // version: the program's "major.minor.revision".
    void Form_Load(const std::string& version);
    // The first tick of tmrVKtxt: refuses a port that is not ON, else sends the command-line file.
    void tmrVKtxt_Timer();
    void cmdVKDload_Click();
    void cmdVKFirmwareVersion_Click();
    void cmdVKReset_Click();
    void cmdConfiguration_Click();
    // "Set USB In Printer".
    void cmdSetUSB_Click();
    // "USB Program Control": the program's side only, for the next start.
    void cmdProgramNative_Click();
    void cmdProgramPrinterClass_Click();
    void cmdClearStatus_Click() { view_.ClearStatus(); }

    // The window's own status line.
    void Show(const std::string& text) { view_.DisplayVKLine(text); }

private:
    std::string Setting(const std::string& key) const;
    int16_t Port() const;
    // WriteReadOk bounded by kVKExchangeMs.
    bool Exchange(const std::string& bytes, int32_t expected, bool hexDisplay, int16_t port);
    bool SwitchPrinter(int16_t port, bool printerClass);
    void SwitchProgramMode(const std::string& entry);
    bool ReopenUsb(int16_t port, bool printerClass);

    IVKView& view_;
    IVKHost& host_;
    bool promptOn_ = true;
    std::vector<std::pair<std::string, std::string>> commands_;  // command, input count
};

}  // namespace posbench
