// The main window's actions through a fake view: port checks, the file types, the command path
// and its history, the port list and its double-click; the question before a quit or reset.
#include "app/MainWindow.h"
#include "app/PlainMainWindowView.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/DownloadGuard.h"
#include "app/LinkRecovery.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "script/Producers.h"
#include "script/ScriptState.h"
#include "support/FakeDevice.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::FakeDevice;
using Lines = std::vector<std::string>;

class DispatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetStatusList(&status);
        SetPortList(&window);
        SetEngineHost(&window);
        gcolDevices.Clear();
    }
    void TearDown() override { gcolDevices.Clear(); }
    // Defines the ports (each with a scripted device) and selects the first.
    void Ports(const Lines& entries) {
        for (const std::string& entry : entries) {
            gsPortTable.push_back(entry);
            auto device = std::make_unique<FakeDevice>();
            devices.push_back(device.get());
            const std::string kind = entry.substr(0, 3);
            gcolDevices.Add(kind == "COM" || kind == "LPT" ? entry.substr(0, 4) : kind, std::move(device));
        }
        giNumPorts = static_cast<int16_t>(entries.size());
        window.UpdatePortDisp();
        view.SetPortListIndex(entries.empty() ? -1 : 0);
    }
    bool SendCommand(const std::string& command, const std::string& count) {
        view.command = command;
        view.inCount = count;
        return window.Send();
    }

    test::RecordingStatusList status;
    PlainMainWindowView view;
    LinkRecovery recovery;
    MainWindow window{view, recovery};
    std::vector<FakeDevice*> devices;
};

TEST_F(DispatcherTest, IniFromTheScriptPanelNeedsNoPortButFromTheCommandPanelItDoes) {
    std::vector<std::string> handled;
    window.SetIniHandler([&](const std::string& name) { handled.push_back(name); });
    view.fileName = "/x/setup.ini";
    EXPECT_TRUE(window.Send());  // no port selected at all
    Ports({"COM1, 115200, DTR, OFF"});
    view.fileName = "/x/SETUP.INI";
    EXPECT_TRUE(window.Send());  // every port off
    EXPECT_EQ(handled, (Lines{"/x/setup.ini", "/x/SETUP.INI"}));
    view.commandPanel = true;
    EXPECT_FALSE(SendCommand("1B 40", ""));
    EXPECT_EQ(status.lines, (Lines{"Port  1 is Off"}));
}

TEST_F(DispatcherTest, DownloadsQueueTheirFirstBlockAndReportAFailedStart) {
    Ports({"TCP, 127.0.0.1, ON"});
    bool fail = false;
    RegisterFileDownload([&](int16_t, bool&, const std::string&, const std::string&) {
        gsOutData = "DATA";
        return !fail;
    });
    RegisterFlashDownload(
        [&](int16_t, bool&, const std::string&) {
            glOutCount = 1;
            glDlReadMode = ReadMode::CountWait;
            return !fail;
        },
        [](int16_t) {});
    RegisterImageBankDownload([&](int16_t, bool&, const std::string&) { return !fail; });

    view.fileName = "/x/logo.bmp";
    ASSERT_TRUE(window.Send());
    EXPECT_EQ(gsSendData(1), "\x1B" "DATA");  // a bitmap's first block behind ESC
    EXPECT_TRUE(gbFileDl(1) && gbSendPending(1));
    gbFileDl(1) = false;
    gbStatusCheck(1) = true;
    view.fileName = "/x/fw.bin";  // a first step that wants an answer arms its read
    ASSERT_TRUE(window.Send());
    EXPECT_TRUE(gbFlashDl(1) && gbReadAfterWrite(1) && !gbStatusCheck(1));
    EXPECT_EQ(glReadMode(1), ReadMode::CountWait);
    gbFlashDl(1) = false;

    fail = true;
    for (const char* name : {"/x/a.lgo", "/x/a.bmp", "/x/a.bin", "/x/a.ib2"}) {
        view.fileName = name;
        EXPECT_FALSE(window.Send());
    }
    EXPECT_EQ(status.lines, (Lines{"Logo download Error", "BMP download Error", "Flash download Error",
                                   "Boot download Error"}));
}

TEST_F(DispatcherTest, CommandWithCountReadsWithoutItOnlyWritesAndAChosenOneJoinsTheHistory) {
    Ports({"TCP, 127.0.0.1, ON"});
    view.commandPanel = true;
    gbStop(1) = true;
    gbStatusCheck(1) = true;  // left by a status request that was cancelled
    ASSERT_TRUE(SendCommand("1D 49 40 27", "12"));  // the reply read is MainWindowTest's
    EXPECT_TRUE(gbSendPending(1) && gbReadAfterWrite(1) && !gbStop(1));
    EXPECT_FALSE(gbStatusCheck(1));  // the command's reply is not taken for a status

    for (const char* count : {"0", "abc", ""}) {
        ASSERT_TRUE(SendCommand("1B 40", count));
        EXPECT_FALSE(gbReadAfterWrite(1)) << count;
    }
    EXPECT_FALSE(SendCommand("", "1"));
    EXPECT_FALSE(SendCommand("1B ZZ", "1"));
    EXPECT_FALSE(SendCommand("1B 40", "99999999999"));
    EXPECT_EQ(status.lines, (Lines{"Please Select Command to Send", "Invalid hex character",
                                   "frmMain, Send Error: 6: Overflow"}));
    // Only a chosen command joins the history, once, and choosing it brings back its first count.
    for (const char* count : {"17", "5"}) {
        window.cboCommand_Chosen(-1);
        ASSERT_TRUE(SendCommand("1D 49 40 27", count));
    }
    EXPECT_EQ(view.history, Lines{"1D 49 40 27"});
    window.cboCommand_Chosen(0);
    EXPECT_EQ(view.inCount, "17");
}

// The direct input is hidden for the life of the window: no user reaches it. One pass through
// its checks to a line sent keeps it working; the port checks it shares are Send's.
TEST_F(DispatcherTest, DirectInputChecksThePortAndSendsTheLine) {
    window.btnSendCmd_Click();
    Ports({"COM1, 115200, DTR, OFF", "TCP, 127.0.0.1, ON"});
    window.btnSendCmd_Click();
    view.SetPortListIndex(1);
    window.btnSendCmd_Click();
    view.input = "1B 40";
    window.btnSendCmd_Click();
    EXPECT_EQ(status.lines,
              (Lines{"No Active Ports", "Selected Port is Off", "Please Select Command to Send"}));
    EXPECT_EQ(gsSendData(2) + (gbSendPending(2) ? "|pending" : ""), "\x1B\x40|pending");
    window.btnClearInput_Click();
}

// Opening and closing by double-click, and the list keeping its row, are
// MainWindowTest.commandBoxesSendAndThePortListSwitchesAPortOffAndOn's.
TEST_F(DispatcherTest, PortListFindsTheFirstTcpPort) {
    window.lstPorts_DblClick();  // nothing selected
    int16_t index = 4;
    window.GetSetIndex(true, index);
    Ports({"COM1, 115200, DTR, ON", "LPT1, ON"});
    window.GetSetIndex(true, index);
    EXPECT_EQ(index, 4);
    EXPECT_EQ(status.lines, (Lines{"Port: 0.  Unknown Device Type", "No active Ports", "No defined TCP Port"}));
    gsPortTable.push_back("tcp, SERVER, OFF");
    giNumPorts = 3;
    window.UpdatePortDisp();
    EXPECT_EQ(window.GetSetIndex(true), 3);
}

TEST_F(DispatcherTest, PollResetAndCancelCheckThePortFirst) {
    window.btnPollDev_Click();
    Ports({"TCP, 127.0.0.1, OFF", "COM2, 9600, XON, ON"});
    window.btnPollDev_Click();
    window.btnReset_Click();
    view.SetPortListIndex(1);
    gbBootDl(2) = true;
    window.btnPollDev_Click();
    gbBootDl(2) = false;
    window.btnPollDev_Click();
    EXPECT_EQ(status.lines, (Lines{"No Active Ports", "Port  1 is Off", "Port  1 is Off", "Port  2 is active"}));
    EXPECT_EQ(devices[1]->readModes, (std::vector<int32_t>{1}));
    EXPECT_EQ(devices[1]->ReadCount(), 1);

    gbStop(2) = true;
    window.btnReset_Click();
    EXPECT_FALSE(gbStop(2));
    EXPECT_EQ(gsSendData(2), "\x1D\xFF");
    EXPECT_TRUE(recovery.InProgress(2));
    window.btnCancel_Click();  // the engine's Cancel, whose effects the state machine tests check
    EXPECT_TRUE(gbStop(1) && gbStop(6));
}

// Quitting or resetting asks only while a download could leave a printer without firmware: a
// question on any other work would train the user to click it away.
TEST(DownloadGuardTest, AsksOnlyWhileADownloadRunsAndStopsItsPortOnYes) {
    test::RecordingMessageBox box;
    SetMessageBox(&box);
    gbScriptRunning(1) = true;
    EXPECT_TRUE(ConfirmStopDownload("quit"));
    EXPECT_TRUE(box.shown.empty());

    gbFlashDl(2) = true;
    box.answer = MsgAnswer::No;
    EXPECT_FALSE(ConfirmStopDownload("quit"));
    EXPECT_EQ(box.shown, Lines{"Port 2 is writing firmware. Stop it and quit?"});
    EXPECT_FALSE(gbStop(2));

    box.answer = MsgAnswer::Yes;
    EXPECT_TRUE(ConfirmStopDownload("reset the printer"));
    EXPECT_TRUE(gbStop(2));
    EXPECT_FALSE(gbStop(1));  // the script goes on
}

}  // namespace
}  // namespace posbench
