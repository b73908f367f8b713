// The setup window's logic through a fake view: the dialog checks that keep Startup.ini whole,
// one entry per medium (a changed TCP address updates the entry, an open port refuses it),
// busy ports refuse a renumbering, and removing the last entry leaves the devices in step.
#include "app/PortSetup.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

class FakeSetupView : public IPortSetupView {
public:
    long EntryCount() const override { return static_cast<long>(entries.size()); }
    std::string Entry(long i) const override { return entries.at(static_cast<std::size_t>(i)); }
    void SetEntries(const std::vector<std::string>& e) override {
        entries = e;
        selected = -1;
    }
    long SelectedEntry() const override { return selected; }
    void SelectEntry(long i) override { selected = i; }
    void AddStatusPiece(const std::string& piece) override { status.push_back(piece); }
    void ClearStatus() override { status.clear(); }
    bool EditSerial(const std::string&, SerialSettings&) override { return false; }
    bool EditAddress(std::string& a) override {
        a = address;
        return true;
    }
    void CloseWindow() override {}

    std::vector<std::string> entries, status;
    long selected = -1;
    std::string address;
};

class PortSetupTest : public ::testing::Test {
protected:
    // Port table entries, their devices created (none opened).
    void Define(const std::vector<std::string>& entries) {
        giMaxPorts = 6;
        giNumPorts = static_cast<int16_t>(entries.size());
        gsPortTable.resize(giNumPorts);
        for (int16_t p = 1; p <= giNumPorts; ++p) gsPortTable(p) = entries[static_cast<std::size_t>(p - 1)];
        ASSERT_TRUE(ConfigureDevices()) << gsCommErr;
        setup.Form_Load();
    }
    long Choice(const std::string& name) {
        const auto& choices = SetupDeviceChoices();
        return static_cast<long>(std::find(choices.begin(), choices.end(), name) - choices.begin());
    }

    FakeSetupView view;
    PortSetup setup{view, nullptr};
};

TEST(SetupDialogChecks, RefuseWhatWouldSplitOrBreakAStartupLine) {
    for (const char* good : {"115200", "9600", "4800", "14400"}) EXPECT_EQ(CheckBaud(good), "") << good;
    for (const char* bad : {"", "96OO", "9600, ON", "12345", "99999999999"}) EXPECT_NE(CheckBaud(bad), "") << bad;
    EXPECT_EQ(CheckFlow("xon"), "");
    EXPECT_NE(CheckFlow("RTS"), "");
    for (const char* good : {"192.0.2.10", "printer-3.shop.example", "127.0.0.1:9100", "SERVER", "server:9000", "[::1]:9001"})
        EXPECT_EQ(CheckAddress(good), "") << good;
    EXPECT_EQ(CheckAddress(""), "Missing IP Address");
    for (const char* bad : {"10.0.0.1, ON", "10.0.0.1,ON", "10 0 0 1", "300.1.1.1", "1.2.3", "host:0", "host:70000", "-x.example", "::1", "[::1]", ":9001"})
        EXPECT_NE(CheckAddress(bad), "") << bad;
}

TEST_F(PortSetupTest, ANewTcpAddressUpdatesTheOneEntryUnlessThePortIsOpen) {
    Define({"COM1, 115200, DTR, OFF", "TCP, 192.0.2.10, OFF"});
    view.address = "8.8.4.4";
    setup.lstComDevice_DblClick(Choice("Ethernet"));
    EXPECT_EQ(view.entries, (std::vector<std::string>{"COM1, 115200, DTR, OFF", "TCP, 8.8.4.4, OFF"}));
    EXPECT_EQ(gsTCPAddress, "8.8.4.4");

    // Open on a printer, the port refuses a new address and keeps the one it is open on.
    test::SimPrinter printer({"--listen", "127.0.0.1:0"});
    const std::string at = "127.0.0.1:" + std::to_string(printer.Port());
    view.address = at;
    setup.lstComDevice_DblClick(Choice("Ethernet"));
    view.selected = 1;
    setup.btnOn_Click();
    ASSERT_EQ(view.entries.at(1), "TCP, " + at + ", ON") << (view.status.empty() ? "" : view.status.back());
    view.address = "10.1.1.1";
    setup.lstComDevice_DblClick(Choice("Ethernet"));
    EXPECT_EQ(view.entries.at(1), "TCP, " + at + ", ON");
    EXPECT_EQ(gsTCPAddress, at);
    EXPECT_EQ(view.status.back(), "Can't change IP address on open TCP Port");
}

TEST_F(PortSetupTest, BusyPortsRefuseRenumberingAndRemovingTheLastKeepsDevicesInStep) {
    Define({"COM1, 115200, DTR, OFF", "LPT1, OFF", "COM2, 9600, XON, OFF"});
    gbScriptRunning(3) = true;
    view.selected = 0;
    setup.lstComDevice_DblClick(Choice("LPT2"));
    EXPECT_EQ(view.status, (std::vector<std::string>{"Port 3 is busy: wait or press Cancel."}));
    EXPECT_EQ(view.entries.size(), 3u);
    view.selected = 1;
    setup.btnRemoveConfiguration_Click();
    EXPECT_EQ(view.entries.size(), 3u);
    gbScriptRunning(3) = false;

    view.status.clear();
    view.selected = 2;
    setup.btnRemoveConfiguration_Click();
    EXPECT_EQ(view.entries, (std::vector<std::string>{"COM1, 115200, DTR, OFF", "LPT1, OFF"}));
    EXPECT_EQ(view.selected, 1);
    EXPECT_TRUE(view.status.empty()) << view.status.front();
    EXPECT_EQ(gcolDevices.Count(), 2);
    EXPECT_TRUE(gcolDevices.Contains("LPT1"));
    setup.btnExit_Click();
    EXPECT_EQ(giNumPorts, 2);
}

}  // namespace
}  // namespace posbench
