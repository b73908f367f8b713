// Utility commands: capture files and their numbering, loops over a real script file, timing and
// the print-speed test against a scripted device, receive set-up and the display commands.
#include "script/Utility.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/ScriptBench.h"

namespace posbench {
namespace {

using test::ManualClock;
using Lines = std::vector<std::string>;

class UtilityTest : public test::ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        gPortState(1).ScriptFile = dir / "script.txt";
    }
    void Run(const std::string& line) { ProcessUtilityCommand(1, line, gPortState(1).FileNum); }
    void RunScript(const Lines& lines) {
        Lines all{"[UTI]"};
        all.insert(all.end(), lines.begin(), lines.end());
        ScriptBench::Run(Write("loop.txt", all));
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(dir.path() / name); }
};

// ---- Capture files ----

TEST(CaptureNumbers, WrapAndStartSoThatTheNextNumberIsTheOneAsked) {
    EXPECT_EQ((std::vector<int32_t>{NextCaptureNumber(41), NextCaptureNumber(9999), CaptureStart(5), CaptureStart(1),
                                    NextCaptureNumber(2147483647)}),
              (std::vector<int32_t>{42, 1, 4, 9999, 1}));
    EXPECT_EQ(FormCaptureName("demo*.bin", 42), "demo0042.bin");
    EXPECT_EQ(FormCaptureName("plain.bin", 7), "plain.bin");
    EXPECT_FALSE(FormCaptureName("*x.bin", 7) || FormCaptureName("a.b*", 7));
}

TEST_F(UtilityTest, AstkStartsTheNumberingOnceFiloWritesConsecutiveFilesFilkDeletesTheNext) {
    Run("SETU ASTK 5");
    Run("SETU FILO img*.tif");
    EXPECT_TRUE(gPortState(1).CaptureOpen && Exists("img0005.tif"));
    Run("SETU FILC");
    EXPECT_FALSE(gPortState(1).CaptureOpen);
    EXPECT_EQ(status.lines.back(), "Image saved as " + (dir / "img0005.tif"));

    // FILK deletes the file the next FILO would write, without moving the counter.
    dir.Write("img0006.tif", "old");
    dir.Write("img0007.tif", "keep");
    Run("SETU FILK img*.tif");
    EXPECT_FALSE(Exists("img0006.tif"));

    Run("SETU ASTK 50");  // ignored: the counter is already set
    Run("SETU FILO img*.tif");
    Run("SETU FILC");
    EXPECT_TRUE(Exists("img0006.tif"));
    EXPECT_EQ(dir.Read("img0007.tif"), "keep");
    EXPECT_EQ(glCaptureCounter, 6);
}

TEST_F(UtilityTest, FiloModeFollowsTheDisplayAFileStillOpenIsClosedFirstAndBadNamesAreRefused) {
    Run("SETU RHEX");
    Run("SETU FILO first.bin");
    const int16_t first = gPortState(1).CaptureFileNum;
    ASSERT_TRUE(IsFileOpen(first));
    Run("SETU FILO second.txt");
    EXPECT_FALSE(IsFileOpen(first) && first != gPortState(1).CaptureFileNum);
    Run("SETU FILC");
    EXPECT_EQ(gPortState(1).CaptureFileNum, 0);

    // Refused names leave no capture open.
    status.lines.clear();
    Run("SETU FILO img*");
    EXPECT_FALSE(gPortState(1).CaptureOpen);
    EXPECT_EQ(Joined(), "Invalid capture file name " + (dir / "img*"));
    EXPECT_EQ(glCaptureCounter, 0);
    Run("SETU FILO " + (dir.path() / "missing" / "x.bin").string());
    EXPECT_FALSE(gPortState(1).CaptureOpen);
    EXPECT_EQ(gPortState(1).CaptureFileNum, 0);
}

// ---- Loops ----

// A single loop's count is ProgTest.LoopsAfterAChainedFileGoBackToTheirOwnLine's.
TEST_F(UtilityTest, NestedLoopsMultiplyAndAZeroLoopIsIgnored) {
    RunScript({"LOOP 2", "LOOP  3", "STAT body", "LOOP NEXT", "LOOP NEXT", "LOOP 0", "LOOP NEXT"});
    EXPECT_EQ(Count("Warning:  Unknown STAT Parameter"), 6);
    EXPECT_EQ(gPortState(1).LoopDepth, 0);
    EXPECT_EQ(Count("0 count loop ignored") + Count("LOOP NEXT without valid LOOP start"), 2);
}

// A count that is not a number takes the same run-time error path.
TEST_F(UtilityTest, ANinthNestedLoopIsARunTimeErrorNamingTheLine) {
    gPortState(1).LineNum = 12;
    for (int i = 0; i < 8; ++i) Run("LOOP 2");
    EXPECT_EQ(gPortState(1).LoopDepth, 8);
    Run("LOOP 2");
    EXPECT_EQ(gPortState(1).LoopDepth, 8);
    EXPECT_EQ(Joined(), "ModUtility, ProcessUtilityCommand Error 9  Subscript out of range"
                       "Command Line Number is: 12");
}

// ---- Timing and the speed test ----

TEST_F(UtilityTest, SpeedTestPrintsItsFiguresStopsOnAFailedPrintAndTimeStopReleasesARead) {
    ManualClock clock(5000);
    Run("TIME INIT");
    clock.Advance(10000);
    Run("TIME SPEE 100 1");
    EXPECT_EQ(dev->writes, (Lines{"\n\n\n\n", "Speed Test\n", "Lines: 100 @ 3.37MM/Line\n", "Time: 10 secs\n",
                                  "Speed: 33.7 mm/sec\n"}));

    // The first failed print stops it; no time since TIME INIT is a run-time error.
    dev->failWrites = true;
    Run("TIME SPEE 10 1");
    EXPECT_EQ(Count("Print Error. Abort speed test."), 1);

    dev->failWrites = false;
    dev->writes.clear();
    Run("TIME INIT");
    status.lines.clear();
    Run("TIME SPEE 10 1");
    EXPECT_EQ(Joined(), "ModUtility, ProcessUtilityCommand Error 11  Division by zero"
                       "Command Line Number is: 0");
    EXPECT_EQ(dev->writes.size(), 4u);  // everything before the speed line went out

    // (TIME TOUT's time-out is ScriptIntegration.SilenceAfterTheFirstByteTimesOut...'s.)
    Run("TIME TOUT 15");
    Run("TIME STOP");
    EXPECT_FALSE(gbTimeoutOn(1));
    EXPECT_EQ(dev->StopRead(), 1);
}

// ---- Receive set-up and the secondary channel ----

TEST_F(UtilityTest, SecondaryChannelTakesReceiveCommandsButNotLoops) {
    gsPortTable.push_back("TCP, 10.0.0.5, ON");
    giNumPorts = 2;
    host.tcpPort = 2;
    Run("COMM SEC");
    EXPECT_TRUE(gbSecActive);
    EXPECT_EQ(giSecPort, 2);
    Run("SETU RHEX");
    Run("LOOP 2");
    EXPECT_TRUE(gbHexDisplay(2) && !gbHexDisplay(1));
    EXPECT_EQ(gPortState(1).LoopDepth * 10 + gPortState(2).LoopDepth, 10);
    Run("COMM OFF");
    EXPECT_FALSE(gbSecActive);
    gbSecActive = true;
    giSecPort = 0;  // COMM SEC found no TCP port
    Run("SETU RHEX");
    EXPECT_EQ(status.lines.back(), "Command Line Number is: 0");
}

// ---- Response and status texts ----

TEST_F(UtilityTest, ResponseAndStatusTextsAreClearedShownAndPrinted) {
    box.text = "OK 1";
    Run("RESP PRIN");
    box.text = "reply";
    Run("STAT VIEW");
    EXPECT_EQ(status.lines.back(), "reply");
    EXPECT_EQ(box.text + gPortState(1).Response, "");
    status.lines = {"first", "second[1B]"};
    Run("STAT PRIN");
    EXPECT_EQ(dev->writes, (Lines{"OK 1\n", "first\n", "second\x1b\n"}));
    EXPECT_EQ(status.selected, 1);

    gPortState(1).Response = "y";
    Run("STAT CLEA");
    EXPECT_TRUE(status.lines.empty());
    EXPECT_EQ(gPortState(1).Response, "");
}

}  // namespace
}  // namespace posbench
