#include "app/MainWindow.h"

#include <cmath>

#include "app/LinkRecovery.h"
#include "base/Display.h"
#include "base/Events.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "script/Producers.h"
#include "script/ScriptProcessor.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"

namespace posbench {

bool gbCmdChosen = false;

void ResetMainWindowGlobals() { gbCmdChosen = false; }

bool SentToPort(const std::string& fileName) {
    const std::string type = UCase(Right(fileName, 3));
    for (const char* known : kScriptFileTypes)
        if (type == known) return true;
    for (const char* known : kDownloadFileTypes)
        if (type == known) return true;
    return false;
}

namespace {

// The input count box read as a number, with its fraction dropped.
int32_t CountOf(const std::string& text) {
    const double value = std::trunc(Val(text));
    if (!(value >= -2147483648.0 && value <= 2147483647.0)) Raise(err::Overflow);
    return static_cast<int32_t>(value);
}

// The line converted to bytes into gsResult; false with gsTextErr shown.
bool ConvertLine(std::string line) {
    if (!StripComment(false, line) || !ProcessData(line)) {
        Display(gsTextErr);
        return false;
    }
    return true;
}

// Queues the first block a download preparer left in gsOutData.
void QueueFirstBlock(int16_t port, const std::string& bytes) {
    QueueWrite(port, bytes);
    WakeEvents();
}

}  // namespace

MainWindow::MainWindow(IMainWindowView& view, LinkRecovery& recovery)
    : view_(view), recovery_(recovery) {}

int16_t MainWindow::SelectedPort() const {
    const long index = view_.PortListIndex();
    if (index < 0 || index >= kMaxPorts) return 0;
    return static_cast<int16_t>(index + 1);
}

bool MainWindow::Send() {
    try {
        const int16_t port = SelectedPort();
        const DisplayPortScope linesOf(port);
        const std::string fileName = view_.FileName();
        const bool iniFromScriptPanel =
            UCase(Right(fileName, 4)) == ".INI" && view_.ScriptPanelShown();
        if (!iniFromScriptPanel && !PortReady(port)) {
            Display(gsCommErr);
            return false;
        }
        // An INI file sent from the script panel may come with no port selected at all: it
        // changes the catalogue or starts the configuration window, not a port.
        if (port >= 1) {
            gbPortFailed(port) = false;
            gbTimeoutOn(port) = false;
            ReadDone(port);
            gPortState(port).RestartTimeout = false;
            gPortState(port).LoopDepth = 0;
        }
        giEventPasses = 10;
        const bool sent = view_.CommandPanelShown() ? SendCommand(port) : SendFile(port, fileName);
        WakeEvents();  // the engine loop may be asleep until its next beat: the request goes now
        return sent;
    } catch (...) {
        Display(FailureLine("frmMain, Send Error: ", ": "));
        return false;
    }
}

bool MainWindow::SendCommand(int16_t port) {
    const std::string command = view_.CommandText();
    const int32_t count = CountOf(view_.InCountText());
    if (command.empty()) {
        Display("Please Select Command to Send");
        return false;
    }
    if (!ConvertLine(command)) return false;
    gbStop(port) = false;
    WithdrawReads(port);
    if (count != 0) QueueExchange(port, gsResult, {count, ReadMode::Count}, false);
    else QueueWrite(port, gsResult);
    if (gbCmdChosen) {
        bool listed = false;
        for (long i = 0; i < view_.CommandItemCount() && !listed; ++i)
            listed = view_.CommandItem(i) == command;
        if (!listed) {
            view_.AddCommandItem(command);
            inCounts_.resize(static_cast<std::size_t>(view_.CommandItemCount()), 0);
            if (!inCounts_.empty()) inCounts_.back() = count;
        }
        gbCmdChosen = false;
    }
    return true;
}

bool MainWindow::SendFile(int16_t port, const std::string& fileName) {
    if (fileName.empty()) {
        Display("Please Select File to Send");
        return false;
    }
    const std::string type = UCase(Right(fileName, 3));
    gbAckMode = false;
    glAckCount = 0;
    gbSecActive = false;
    if (port >= 1) {
        gbTimeoutOn(port) = false;
        gPortState(port).BlockSize = 0;
        gPortState(port).Response.clear();
        gbStop(port) = false;
        SetReadMode(port, ReadMode::FirstStep);
    }

    bool abort = false;
    if (type == "TXT" || type == "AXI") {
        gbScriptRunning(port) = true;
        RunTextFile(port, false, fileName);
    } else if (type == "LGO" || type == "BMP") {
        if (!producers::FileDownload(port, abort, "", fileName)) {
            Display(type == "LGO" ? "Logo download Error" : "BMP download Error");
            return false;
        }
        // A bitmap is told apart from a logo by the ESC ahead of its data.
        QueueFirstBlock(port, type == "BMP" ? "\x1B" + gsOutData : gsOutData);
        gbFileDl(port) = true;
    } else if (type == "BIN") {
        if (!producers::FlashDownload(port, abort, fileName)) {
            Display("Flash download Error");
            return false;
        }
        QueueFirstBlock(port, gsOutData);
        if (glOutCount != 0) ArmRead(port, {glOutCount, glDlReadMode});
        gbFlashDl(port) = true;
    } else if (type == "PBT") {
        if (!producers::BootDownload(port, abort, fileName)) {
            Display("Boot download Error");
            return false;
        }
        QueueFirstBlock(port, gsOutData);
        gbBootDl(port) = true;
    } else if (type == "IB1" || type == "IB2") {
        if (!producers::ImageBankDownload(port, abort, fileName)) {
            Display("Boot download Error");
            return false;
        }
        QueueFirstBlock(port, gsOutData);
        gbIBankDl(port) = true;
    } else if (type == "INI") {
        if (iniHandler_) iniHandler_(fileName);
    }
    return true;
}

void MainWindow::cboCommand_Chosen(long index) {
    gbCmdChosen = true;
    if (index >= 0 && index < view_.CommandItemCount())
        view_.SetInCountText(CStr(HistoryCount(index)));
}

int32_t MainWindow::HistoryCount(long index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= inCounts_.size()) return 0;
    return inCounts_[static_cast<std::size_t>(index)];
}

void MainWindow::btnSendCmd_Click() {
    try {
        const int16_t port = SelectedPort();
        if (port == 0) {
            Display("No Active Ports");
            return;
        }
        if (InStr(UCase(view_.PortListItem(port - 1)), "OFF") > 0) {
            Display("Selected Port is Off");
            return;
        }
        const std::string line = view_.InputText();
        if (line.empty()) {
            Display("Please Select Command to Send");
            return;
        }
        if (!ConvertLine(line)) return;
        QueueFirstBlock(port, gsResult);
    } catch (...) {
        Display(FailureLine("frmMain, btnSendCmd Error: ", ": "));
    }
}

void MainWindow::btnPollDev_Click() {
    try {
        const int16_t port = SelectedPort();
        if (port == 0) {
            Display("No Active Ports");
            return;
        }
        if (PortIsActive(port)) {
            Display("Port " + Str(port) + " is active");
            return;
        }
        if (InStr(UCase(view_.PortListItem(port - 1)), "OFF") > 0) {
            Display("Port " + Str(port) + " is Off");
            return;
        }
        Device& device = gcolDevices.Item(port);
        device.ReadCount(1);
        device.BlockCount(0);
        if (!device.PollDev()) Display("Error Polling Device for input");
    } catch (...) {
        Display(FailureLine("frmMain, PollDev Error: "));
    }
}

void MainWindow::btnReset_Click() {
    try {
        const int16_t port = SelectedPort();
        if (!PortReady(port)) {
            Display(gsCommErr);
            return;
        }
        gbStop(port) = false;
        SendReset(port);
        WakeEvents();
    } catch (...) {
        Display(FailureLine("frmMain, btnReset Error: ", ": "));
    }
}

void MainWindow::btnCancel_Click() { Cancel(); }

void MainWindow::lstPorts_DblClick() {
    try {
        const long index = view_.PortListIndex();
        const int16_t port = SelectedPort();
        const std::string entry =
            index >= 0 && index < view_.PortListCount() ? view_.PortListItem(index) : "";
        if (UCase(Right(entry, 2)) != "ON") {
            if (OpenPort(entry, port)) {
                OffToOn(port);
                return;
            }
        } else if (ClosePort(entry, port)) {
            OnToOff(port);
            return;
        }
        Display(gsCommErr);
    } catch (...) {
        Display(FailureLine("frmMain, lstPortsDBLClick: "));
    }
}

void MainWindow::btnClearResponse_Click() {
    view_.SetResponseText("");
    if (const int16_t port = SelectedPort(); port != 0) gPortState(port).Response.clear();
}

void MainWindow::btnClearInput_Click() { view_.SetInputText(""); }

void MainWindow::btnClearStatus_Click() {
    if (IStatusList* list = StatusList()) list->Clear();
    view_.HideThumbnail();
}

void MainWindow::UpdatePortDisp() {
    const long selected = view_.PortListIndex();
    view_.ClearPortList();
    if (giNumPorts == 0) return;
    for (int16_t p = 1; p <= giNumPorts; ++p) view_.AddPortListItem(gsPortTable(p));
    if (selected >= 0 && selected < view_.PortListCount()) view_.SetPortListIndex(selected);
}

void MainWindow::GetSetIndex(bool enable, int16_t& index) {
    if (!enable) return;
    try {
        if (giNumPorts == 0) {
            Display("No active Ports");
            return;
        }
        for (long i = 0; i < view_.PortListCount(); ++i) {
            if (UCase(Left(view_.PortListItem(i), 3)) == "TCP") {
                index = static_cast<int16_t>(i + 1);
                return;
            }
        }
        Display("No defined TCP Port");
    } catch (...) {
        Display(FailureLine("frmMain, GetSetIndex Error: "));
    }
}

int16_t MainWindow::GetSetIndex(bool enable) {
    int16_t index = 0;
    GetSetIndex(enable, index);
    return index;
}

void MainWindow::InitializeTimeout(int16_t port, long ms) { recovery_.InitializeTimeout(port, ms); }

bool MainWindow::LinkRecovering(int16_t port) const { return recovery_.InProgress(port); }

}  // namespace posbench
