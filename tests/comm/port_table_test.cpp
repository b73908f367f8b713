// The port table's operations against real serial devices on pseudo-terminals.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/File.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "comm/devices/Dcb.h"
#include "comm/devices/SerialDevice.h"
#include "support/Pty.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::ManualClock;
using test::Pty;
using test::RecordingStatusList;

class CountingPortList : public IPortList {
public:
    void UpdatePortDisp() override { ++refreshes; }
    int refreshes = 0;
};

class PortTableTest : public testing::Test {
protected:
    void SetUp() override {
        SetStatusList(&status);
        SetPortList(&portList);
    }
    void TearDown() override { gcolDevices.Clear(); }

    // Defines COMn on a fresh pseudo-terminal with the given settings and appends its entry.
    Pty& DefineCom(int n, const std::string& flow, const std::string& state) {
        ptys.push_back(std::make_unique<Pty>());
        const std::string name = "COM" + std::to_string(n);
        gsDevicePaths[name] = ptys.back()->SlavePath();
        gComSettings(n - 1) = ComSetting{"115200", flow, state};
        AppendEntry(name + ", 115200, " + flow + ", " + state);
        return *ptys.back();
    }
    static void AppendEntry(const std::string& entry) {
        gsPortTable.push_back(entry);
        giNumPorts = static_cast<int16_t>(gsPortTable.size());
    }
    static clsDCB& DcbOfPort(int16_t port) { return *gcolDevices.Item(port).DCB(); }
    // The open device's line has DTR flow (DTR handshake) or XON flow both ways.
    static void ExpectFlow(int16_t port, const std::string& flow) {
        const bool xon = flow == "XON";
        EXPECT_EQ(DcbOfPort(port).fDtrControl(), xon ? 0 : 2) << port;
        EXPECT_EQ(DcbOfPort(port).fOutX(), xon) << port;
        EXPECT_EQ(DcbOfPort(port).fInX(), xon) << port;
    }

    RecordingStatusList status;
    CountingPortList portList;
    std::vector<std::unique_ptr<Pty>> ptys;
};

TEST_F(PortTableTest, ConfigureDevicesTurnsAnUnopenablePortOffAndGoesOn) {
    Pty& first = DefineCom(1, "DTR", "ON");
    gComSettings(1) = ComSetting{"115200", "DTR", "ON"};
    gsDevicePaths["COM2"] = "/nonexistent/posbench-tty";
    AppendEntry("COM2, 115200, DTR, ON");
    Pty& third = DefineCom(3, "XON", "ON");

    EXPECT_FALSE(ConfigureDevices());

    EXPECT_EQ(gsPortTable(1), "COM1, 115200, DTR, ON");
    EXPECT_EQ(gsPortTable(2), "COM2, 115200, DTR, OFF");
    EXPECT_EQ(gsPortTable(3), "COM3, 115200, XON, ON");
    EXPECT_EQ(gsCommErr.rfind("Port: 2.  ", 0), 0u) << gsCommErr;
    EXPECT_GE(portList.refreshes, 1);
    ASSERT_EQ(gcolDevices.Count(), 3);

    // Ports 1 and 3 are really open with their own settings.
    EXPECT_TRUE(gcolDevices.Item(1).WriteComm("A1"));
    EXPECT_EQ(first.Read(2), "A1");
    EXPECT_TRUE(gcolDevices.Item(3).WriteComm("B3"));
    EXPECT_EQ(third.Read(2), "B3");
    ExpectFlow(1, "DTR");
    ExpectFlow(3, "XON");
}

TEST_F(PortTableTest, OpenCommNamesAdaptorsAndReportsAnInvalidFlow) {
    DefineCom(1, "RTS", "OFF");
    gsUSBAdaptor2 = "COM1";
    ASSERT_TRUE(AddDevice(gsPortTable(1), 1));
    EXPECT_TRUE(OpenPort(gsPortTable(1), 1)) << "an unknown flow does not keep the port shut";
    EXPECT_EQ(gsCommErr, "COM1 - Invalid flow control parameter");
    EXPECT_TRUE(dynamic_cast<clsRS232&>(gcolDevices.Item("COM1")).Adaptor());

    // Settings the line cannot take fail the open and leave it closed.
    EXPECT_TRUE(ClosePort(gsPortTable(1), 1));
    gComSettings(0).Baud = "";
    EXPECT_FALSE(OpenPort(gsPortTable(1), 1));
    EXPECT_EQ(gsCommErr.rfind("Port: 1.  modComm OpenComm Error ", 0), 0u) << gsCommErr;
    EXPECT_FALSE(gcolDevices.Item(1).WriteComm("x"));
}

TEST_F(PortTableTest, ToggleFlowControlAppliesToTheOpenDevice) {
    DefineCom(1, "DTR", "ON");
    ASSERT_TRUE(ConfigureDevices()) << gsCommErr;

    for (const std::string flow : {"XON", "DTR"}) {
        EXPECT_TRUE(ToggleFlowControl(gsPortTable(1), 1));
        EXPECT_EQ(gComSettings(0).Flow, flow);
        ExpectFlow(1, flow);
    }
}

// (That the reopened port works: ScriptIntegrationPort in the integration tests.)
TEST_F(PortTableTest, ClearPortOkWaitsAndReopensOrShowsWhyThePortStaysOff) {
    DefineCom(1, "DTR", "ON");
    ASSERT_TRUE(ConfigureDevices()) << gsCommErr;
    ManualClock clock(1000, 500);
    EXPECT_TRUE(ClearPortOK(1));
    EXPECT_GE(clock.Now() - 1000u, 4000u) << "the reset waits 4000 ms";
    EXPECT_EQ(portList.refreshes, 2);  // OFF, then ON again
    EXPECT_TRUE(status.lines.empty());

    gbDlAbort(1) = true;
    EXPECT_FALSE(ClearPortOK(1));
    EXPECT_EQ(status.lines, std::vector<std::string>{"System Time error during ClearPortOK"});
    EXPECT_EQ(gsPortTable(1), "COM1, 115200, DTR, OFF");
    EXPECT_FALSE(gcolDevices.Item(1).WriteComm("x")) << "the port stays closed";

    gbDlAbort(1) = false;
    status.lines.clear();
    gsDevicePaths["COM1"] = "/nonexistent/posbench-tty";
    EXPECT_FALSE(ClearPortOK(1));
    EXPECT_EQ(status.lines.size(), 2u) << "the failure and its reason (worded as in CliTest)";
    EXPECT_EQ(gsPortTable(1), "COM1, 115200, DTR, OFF");
}

// (No port, or one that is off: DispatcherTest.PollResetAndCancelCheckThePortFirst.)
TEST_F(PortTableTest, PortReadyRefusesBusyPortsAndPortsBeyondTheTable) {
    AppendEntry("COM1, 115200, DTR, ON");
    EXPECT_TRUE(PortReady(1));

    // Any of the four flags holds the port: a second transfer must not start in the middle of
    // a script or a download, a firmware download least of all.
    for (PerPort<bool>* flag : {&gbScriptRunning, &gbFileDl, &gbFlashDl, &gbBootDl}) {
        (*flag)(1) = true;
        gsCommErr.clear();
        EXPECT_FALSE(PortReady(1));
        EXPECT_EQ(gsCommErr, "Port  1 is active");
        (*flag)(1) = false;
    }
    gbIBankDl(1) = true;
    EXPECT_TRUE(PortReady(1)) << "an image-bank download does not hold the port";
    EXPECT_FALSE(PortReady(2));
    EXPECT_EQ(gsCommErr, "modComm, PortReady 9 Subscript out of range");
}

TEST_F(PortTableTest, KeyAndPositionLookupsStayInStep) {
    for (int n = 1; n <= 3; ++n) DefineCom(n, "DTR", "OFF");
    ASSERT_TRUE(ConfigureDevices()) << gsCommErr;

    // Same key twice, any case: refused, the list unchanged.
    EXPECT_FALSE(AddDevice("com2, 9600, DTR, OFF", 4));
    EXPECT_EQ(gsCommErr,
              "modComm Add COM Error 457 This key is already associated with an element of this "
              "collection");
    EXPECT_EQ(gcolDevices.Count(), 3);

    // Removing a middle entry moves the later devices up one position, as the table does.
    Device* third = &gcolDevices.Item("COM3");
    EXPECT_TRUE(RemoveDevice("COM2, 115200, DTR, OFF", 2));
    EXPECT_EQ(gcolDevices.Count(), 2);
    EXPECT_EQ(&gcolDevices.Item(2), third);

    // (The setup dialog's remove-all, renumber, add-all-again: SetupWindowTest with real ports.)
    ASSERT_TRUE(AddDevice("LPT1, OFF", 3)) << gsCommErr;
    EXPECT_EQ(&gcolDevices.Item(3), &gcolDevices.Item("lpt1"));
    EXPECT_TRUE(ClosePort("LPT1, OFF", 3)) << "closing a parallel port that is not open: " << gsCommErr;
}

}  // namespace
}  // namespace posbench
