#pragma once
// The port setup window (frmSetup) and its two dialogs (frmRs232, frmETHSetup), without widgets.
// The user picks devices from a fixed list, edits a serial port's speed and flow or the TCP
// address, switches ports on and off, removes them, and stores the table in Startup.ini. Every
// change reaches the live devices at once through the port operations; the running port table
// itself is rewritten when the window is left (OK or its close box) or by Remember.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace posbench {

class LinkRecovery;

// The 13 device choices of "Select From:", in their order.
const std::vector<std::string>& SetupDeviceChoices();

// The baud rates and flows the serial dialog lists.
const std::vector<std::string>& SetupBaudRates();
const std::vector<std::string>& SetupFlows();

// Dialog checks: empty when the text may go into Startup.ini, else what is wrong with it.
// A baud is a listed rate or a whole number the serial line can be set to; a flow is DTR or XON
// (any case); an address is a host name or IPv4 address with an optional ":port", without the
// comma or blank that would split the Startup.ini line into other fields.
std::string CheckBaud(const std::string& baud);
std::string CheckFlow(const std::string& flow);
std::string CheckAddress(const std::string& address);

// The dialog exchange: what a dialog shows when it opens and what the user accepted.
struct SerialSettings {
    std::string baud;
    std::string flow;
};

// What the setup logic needs of its window.
class IPortSetupView {
public:
    virtual ~IPortSetupView() = default;
    // lstPortStatus: the defined devices, one port entry per line, port i at index i-1.
    virtual long EntryCount() const = 0;
    virtual std::string Entry(long index) const = 0;
    virtual void SetEntries(const std::vector<std::string>& entries) = 0;
    virtual long SelectedEntry() const = 0;  // -1 for none
    virtual void SelectEntry(long index) = 0;
    // lstSetupStatus: one piece of at most 42 characters per call.
    virtual void AddStatusPiece(const std::string& piece) = 0;
    virtual void ClearStatus() = 0;
    // The two dialogs, modal. They come back true when the user accepted (and the values were
    // checked), with the accepted values in the argument.
    virtual bool EditSerial(const std::string& device, SerialSettings& settings) = 0;
    virtual bool EditAddress(std::string& address) = 0;
    virtual void CloseWindow() = 0;
};

class PortSetup {
public:
    // recovery (may be null) tells which ports are in a reconnection cycle: those count as busy.
    PortSetup(IPortSetupView& view, const LinkRecovery* recovery);

    void Form_Load();
    // A device chosen in "Select From:" (0-based index into SetupDeviceChoices).
    void lstComDevice_DblClick(long choice);
    // An entry of "Defined Device(s):" double-clicked: COM and TCP entries are edited.
    void lstPortStatus_DblClick();
    void btnOn_Click();
    void btnOff_Click();
    void btnRemoveConfiguration_Click();
    void btnRemember_Click();
    void btnClearStatus_Click() { view_.ClearStatus(); }
    // OK and the window's close box: the running port table takes the list, the window closes.
    void btnExit_Click();

    // The window's status writer: text in pieces of 42 characters.
    void Show(const std::string& text);

private:
    void AddConfiguration(const std::string& definition);
    void UpdateConfiguration(const std::string& definition, long position);
    void RemoveConfiguration();
    void EditCom(const std::string& device);  // "COM1".."COM8"
    void EditTcp();
    void AddDevices();
    void RemoveDevices();
    // step(entry, port) for every entry from the selected one to the last.
    void FromSelection(const char* errorPrefix, const std::function<void(const std::string&, int16_t)>& step);
    // A failed port operation: its reason, then what failed.
    void Check(bool ok, const char* failure);
    void CopyListToTable();
    // The first port from `first` to the last entry that a transfer, a wait or a reconnection
    // holds (0 for none).
    int16_t BusyPortFrom(long first) const;
    std::vector<std::string> Entries() const;
    void ReplaceEntry(long index, const std::string& entry);

    IPortSetupView& view_;
    const LinkRecovery* recovery_;
};

// The medium an entry or definition names: "COM1".."COM8", "LPT1".."LPT3", "USB" or "TCP".
// Two entries of one medium would share one device and its device key.
std::string SetupMedium(const std::string& entry);

}  // namespace posbench
