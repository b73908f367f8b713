// The VK utility's logic against the simulated printer as a USB printer on a FIFO pair: a mode
// switch over the USB port moves the device to its new key and marks the entry ON only after
// the reopen; the version query count is bounded; the program-side mode is for USB ports only.
#include "app/VKUtility.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Ini.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "support/PrinterLog.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

class FakeVKView : public IVKView {
public:
    void DisplayVKLine(const std::string& text) override { lines.push_back(text); }
    void ClearStatus() override { lines.clear(); }
    void SetVersionLabel(const std::string&) override {}
    void ClearCommands() override {}
    void AddCommand(const std::string&) override {}
    long SelectedCommand() const override { return -1; }
    void ChoosePrinterClass(bool pc) override { printerClass = pc; }
    bool PrinterClassChosen() const override { return printerClass; }
    void HideUsbFrame() override {}
    void ShowLogo(const std::string&, int, int) override {}
    void EnableCommands(bool) override {}
    void BoundExchange(int16_t, long) override {}
    std::vector<std::string> lines;
    bool printerClass = false;
};

class OnePortHost : public IVKHost {
public:
    int16_t SelectedPort() const override { return 1; }
    void SendFile(const std::string&) override {}
    void SendCommand(const std::string&, const std::string&) override {}
};

class VKUtilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        gsProgramDir = dir.path().string();
        dir.Write("SUPrinters.ini", "[VKPRINTER]\r\nNUMDISP=10\r\n");
        gsDevicePaths["USB"] = printer.Path() + "/to-printer," + printer.Path() + "/from-printer";
        giNumPorts = 1;
        gsPortTable.resize(1);
        gsPortTable(1) = "USB, NATIVE, ON";
        ASSERT_TRUE(ConfigureDevices()) << gsCommErr;
        SetMessageBox(&prompts);
        vk.Form_Load("1.0.0");
    }
    void TearDown() override { SetMessageBox(nullptr); }

    test::ScratchDir dir;
    test::SimPrinter printer{{"--fifo", dir / "usb", "--log", dir / "printer.log", "--reset-ms", "100"}};
    test::RecordingMessageBox prompts;
    test::ManualClock clock{1000, 20};  // the utility's pauses pass at once
    FakeVKView view;
    OnePortHost host;
    VKUtility vk{view, host};
};

TEST_F(VKUtilityTest, SwitchingTheUsbPortMovesItsDeviceToTheNewKey) {
    view.printerClass = true;
    vk.cmdSetUSB_Click();
    ASSERT_FALSE(view.lines.empty());
    EXPECT_EQ(view.lines.back(), "Printer Class USB Is Active");
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown.at(0).rfind("To enable Printer Class Mode, please: ", 0), 0u);
    EXPECT_EQ(gsPortTable(1), "USB, PRINTER CLASS, ON");
    EXPECT_TRUE(gcolDevices.Contains("USB, P"));
    EXPECT_FALSE(gcolDevices.Contains("USB, N"));
    EXPECT_EQ(GetPrivateProfileString("Communication", "USB", "NONE", StartupFileName()), "PRINTER CLASS, ON");
    EXPECT_TRUE(ClosePort(gsPortTable(1), 1)) << gsCommErr;
    const test::PrinterLog log(dir / "printer.log");
    EXPECT_TRUE(log.HasEvent("USB interface: printer class"));
    EXPECT_TRUE(log.HasEvent("reset"));

    // Asked again for the mode it is in, the utility only says so.
    view.lines.clear();
    vk.cmdSetUSB_Click();
    EXPECT_EQ(view.lines, std::vector<std::string>{"Printer Class USB Is Active"});
}

TEST_F(VKUtilityTest, RefusesTenVersionQueriesAndProgramModeOffUsb) {
    vk.cmdVKFirmwareVersion_Click();
    EXPECT_EQ(view.lines.back(), "Invalid Line in configuration file");

    gsPortTable(1) = "COM1, 115200, DTR, ON";
    vk.cmdProgramNative_Click();
    EXPECT_NE(view.lines.back().find("USB port only"), std::string::npos);
    EXPECT_EQ(GetPrivateProfileString("Communication", "USB", "NONE", StartupFileName()), "NONE");
    gsPortTable(1) = "USB, NATIVE, ON";
    vk.cmdProgramPrinterClass_Click();
    EXPECT_EQ(GetPrivateProfileString("Communication", "USB", "NONE", StartupFileName()), "PRINTER CLASS, ON");
    EXPECT_EQ(gsPortTable(1), "USB, NATIVE, ON");  // the running port keeps its mode
}

}  // namespace
}  // namespace posbench
