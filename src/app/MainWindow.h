#pragma once
// The main window's actions on one printer port at a time: the file or command Send, the
// direct-input Send, Poll Device, Reset Printer, Cancel, the port list and its double-click,
// and the Clear buttons. Nothing here does I/O: the selected port is checked, the user's input
// converted, the port's request fields filled, and the script processor, a download or the
// device takes over. The transfer state machine then does the writes and reads. Every outcome
// is a status line.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/MainWindowView.h"
#include "base/Views.h"

namespace posbench {

class LinkRecovery;

// Set when the user clicks, double-clicks or focuses the command box; Send adds a command to
// the history only while it is set, and clears it.
extern bool gbCmdChosen;

void ResetMainWindowGlobals();

// The file types Send passes to a port, by the file name's last three letters: scripts and
// downloads. Send takes any other file without a word (INI goes to the desktop program's
// catalogue and configuration handler).
inline constexpr const char* kScriptFileTypes[] = {"TXT", "AXI"};
inline constexpr const char* kDownloadFileTypes[] = {"BIN", "PBT", "LGO", "BMP", "IB1", "IB2"};
bool SentToPort(const std::string& fileName);

class MainWindow : public IPortList, public IEngineHost {
public:
    MainWindow(IMainWindowView& view, LinkRecovery& recovery);

    // The selected port: list index + 1, 0 when nothing is selected.
    int16_t SelectedPort() const;

    // Send: a command when the command panel is shown, else the file in the file-name box,
    // dispatched on its type. False when it stopped with a message (a refused port, an empty
    // name or command, a conversion or a download that could not start, a run-time error).
    bool Send();
    void AccessToSendCmd() { Send(); }

    // What Send does with an INI file (the catalogue and configuration windows register it).
    // Without one an INI file is, like any other unknown type, not sent.
    void SetIniHandler(std::function<void(const std::string& fileName)> handler) {
        iniHandler_ = std::move(handler);
    }

    // The command box was clicked, double-clicked or focused; index is the chosen history item
    // (-1 for none), whose input count goes to the input-count box.
    void cboCommand_Chosen(long index);
    // The input count stored with a history item (0 when it has none).
    int32_t HistoryCount(long index) const;

    void btnSendCmd_Click();
    void btnPollDev_Click();
    void btnReset_Click();
    // Every port 1..6 goes idle, whether or not it is defined or selected.
    void btnCancel_Click();
    void lstPorts_DblClick();
    void btnClearResponse_Click();
    void btnClearInput_Click();
    void btnClearStatus_Click();

    // IPortList: rebuild the list from the port table, keeping the selection.
    void UpdatePortDisp() override;

    // The first TCP entry of the port list; index is left unchanged when there is none.
    // Finds the first TCP port of the port list (the secondary channel a script's COMM SEC
    // switches to): its 1-based index in `index`, left alone when there is none ("No defined TCP Port").
    // Does nothing unless `enable`.
    void GetSetIndex(bool enable, int16_t& index);
    // IEngineHost: the first TCP port as above, 0 for none; and the link recovery's timer.
    int16_t GetSetIndex(bool enable) override;
    void InitializeTimeout(int16_t port, long ms) override;
    bool LinkRecovering(int16_t port) const override;

private:
    bool SendCommand(int16_t port);
    bool SendFile(int16_t port, const std::string& fileName);

    IMainWindowView& view_;
    LinkRecovery& recovery_;
    std::vector<int32_t> inCounts_;  // one input count per command-box item, in item order
    std::function<void(const std::string&)> iniHandler_;
};

}  // namespace posbench
