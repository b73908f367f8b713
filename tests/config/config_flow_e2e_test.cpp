// The get-configuration flow on a serial printer with XON flow control: a flow that fails after
// switching the port to DTR switches it back, so that a later save of the settings keeps XON.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "comm/CommGlobals.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "config/ConfigWindow.h"
#include "support/SimPrinter.h"
#include "support/RecordingConfigView.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

TEST(ConfigFlowTest, FailureAfterTheSwitchToDtrRestoresXon) {
    test::ScratchDir dir;
    test::MediumPrinter started = test::StartOnMedium(test::Medium::Pty, {"--model", "Q310"}, dir / "com1");
    std::string ini = started.startupIni;
    ini.replace(ini.find("DTR"), 3, "XON");
    std::filesystem::create_directory(dir / "home");
    gsProgramDir = dir / "home";
    std::ofstream(dir / "home/Startup.ini") << ini;
    test::RecordingStatusList status;
    SetStatusList(&status);
    ASSERT_TRUE(Startup());
    ASSERT_TRUE(ConfigureDevices()) << gsCommErr;

    test::RecordingConfigView view;
    ConfigIn window(view);
    const std::string nvr = dir.Write("home/Q10NVR.ini", "[RQTYPE]\nRQ=NVRAM\nRQFILE=missing.txt\n");
    window.HandOver({1, nvr, "", "Q310", gsPortTable(1)});
    window.btnConfiguration_Click();
    EXPECT_EQ(view.lines, (std::vector<std::string>{"Delay of 5-10 seconds to input printer configuration",
                                                     "Invalid file specification in the ini file"}));
    EXPECT_EQ(gComSettings(0).Flow, "XON");
    EXPECT_EQ(window.LastOutcome(), false);
    gcolDevices.Clear();
}

}  // namespace
}  // namespace posbench
