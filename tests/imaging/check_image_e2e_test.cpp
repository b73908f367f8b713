// The sample script against posbench-printer over TCP and a pseudo-terminal: the check image
// comes in acknowledged blocks into IMG0001.TIF, and the picture shown is libtiff's decode of
// exactly that file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "imaging/Imaging.h"
#include "imaging/ImagingViews.h"
#include "imaging/LibtiffOracle.h"
#include "script/ScriptProcessor.h"
#include "script/StateMachine.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;

struct PictureViews : IImagingViews {
    bool ShowImageWindow(const std::string&) override { return false; }
    void ShowMicrText(const std::string&) override {}
    void HideMicrText() override {}
    bool ShowPicture(const std::string& p) override { picture = p; return true; }
    void ShowTagList(const std::vector<std::string>&) override {}
    std::string picture;
};

class CheckImage : public ::testing::TestWithParam<test::Medium> {};

TEST_P(CheckImage, SampleScriptCapturesAndShowsTheCheck) {
    test::ScratchDir dir;
    test::RecordingStatusList status;
    test::RecordingEngineHost host;
    PictureViews views;
    SetStatusList(&status);
    SetEngineHost(&host);
    SetImagingViews(&views);
    RegisterImaging();
    std::filesystem::create_directory(dir / "home");
    gsProgramDir = dir / "home";
    auto started = test::StartOnMedium(GetParam(), {}, dir / "com1");
    std::ofstream(dir / "home/Startup.ini") << started.startupIni;
    ASSERT_TRUE(Startup());
    ASSERT_TRUE(ConfigureDevices()) << gsCommErr;
    StateMachineInit();
    const std::string script = dir / "CheckImage.txt";
    std::filesystem::copy_file(POSBENCH_SAMPLES_DIR "/Scripts/CheckImage.txt", script);

    gbScriptRunning(1) = true;
    RunTextFile(1, false, script);
    const auto end = std::chrono::steady_clock::now() + 20s;
    RunStateMachine([&] {
        return (gbScriptRunning(1) || gbSendPending(1)) && std::chrono::steady_clock::now() < end;
    });
    gcolDevices.Clear();

    std::string shown;
    for (const auto& l : status.lines) shown += l + "\n";
    ASSERT_EQ(views.picture, dir / "temp1.bmp") << shown;
    EXPECT_NE(shown.find("T123456789T 0123456789O 1042\n"), std::string::npos) << shown;
    const auto expected = test::LibtiffDecode(dir / "IMG0001.TIF");
    ASSERT_EQ(expected.size(), 216u * 800u);
    EXPECT_TRUE(test::BitmapAsTiffRows(test::ReadAll(views.picture), 1728, 800) == expected);
}

INSTANTIATE_TEST_SUITE_P(Media, CheckImage, ::testing::Values(test::Medium::Tcp, test::Medium::Pty),
                         [](const auto& p) { return p.param == test::Medium::Tcp ? "Tcp" : "Pty"; });

}  // namespace
}  // namespace posbench
