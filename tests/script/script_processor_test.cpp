// The script processor driven through the real state machine against a scripted device.
#include "script/ScriptProcessor.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/Tick.h"
#include "support/ScriptBench.h"

namespace posbench {
namespace {

using test::ManualClock;
using Lines = std::vector<std::string>;
using namespace std::string_literals;

int gBeeps = 0;
void CountBeep() { ++gBeeps; }

class ScriptTest : public test::ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        SetBeepHook(&CountBeep);
        gBeeps = 0;
    }
};

// Comments and blank lines in a data section send nothing; a bad hex line is skipped.
TEST_F(ScriptTest, TextAndMessageSectionsKeepBlanksAndHeaderLinesAndDataSectionsComments) {
    Run(Write("s.txt", {"[TEX]", "  ab", "[0A]", "  'remark", "[MES]", "  shown as is", "[MES]",
                        "[HEX]", "  ' a remark", "", "   ", "1B 40 ' cut here", "zz",
                        "[DL_] ignored", "[GFX]", "anything"}));
    EXPECT_EQ(dev->writes, (Lines{"\n", "  ab\n", "\n", "\n", "\x1B\x40"}));
    // An empty status line shows as two blanks; nothing is said about the ignored sections.
    EXPECT_EQ(status.lines, (Lines{"Unknown Section [0A]", "  ", "  shown as is", "  "}));
}

TEST_F(ScriptTest, BeepAndResetActOnEveryLineIncludingTheHeaderAlone) {
    // A reset is written before the next line queues its bytes (a last [RES] and the link
    // recovery it arms are ScriptIntegration.ResetIsSentAndArmsLinkRecovery's).
    Run(Write("s.txt", {"[BEE]", "", "[RES]", "[HEX] 41", "[RES]"}));
    EXPECT_EQ(gBeeps, 2);
    EXPECT_EQ(dev->writes, (Lines{"\x1D\xFF"s, "A", "\x1D\xFF"s}));
}

TEST_F(ScriptTest, ChainingDeeperThanFiveLevelsIsRefusedAndEveryLevelClosed) {
    for (int i = 0; i < 7; ++i)
        Write("c" + std::to_string(i) + ".txt",
              {"[HEX] 4" + std::to_string(i), "[CON] c" + std::to_string(i + 1) + ".txt", "5" +
               std::to_string(i)});
    Run(dir / "c0.txt");
    // c0..c5 ran their first line; c5's [CON] is the sixth level and is refused.
    EXPECT_EQ(dev->writes.size(), 6u);
    EXPECT_TRUE(Shown("Chained scripts nested too deeply (at most 5 levels)"));
    EXPECT_EQ(status.lines.back(), "Error or operator initiated cancel on line  2");
    EXPECT_EQ(FreeFile(), 1);
}

// A bad delay refused is MachineTest.DelayEndsAtStopAndBadDelaysAreRefused's.
TEST_F(ScriptTest, DelayHoldsTheScript) {
    ManualClock clock(5000);
    const std::string path = Write("s.txt", {"[DEL]", "15", "[HEX] 41"});
    gbScriptRunning(1) = true;
    RunTextFile(1, false, path);
    EXPECT_TRUE(gbDelay(1));
    EXPECT_EQ(gPortState(1).DelayUntil, 6500);
    for (int i = 0; i < 20; ++i) StateMachinePass();
    EXPECT_TRUE(dev->writes.empty());
    clock.Advance(1501);
    Drive();
    EXPECT_EQ(dev->writes, (Lines{"A"}));
}

TEST_F(ScriptTest, RejectedWaitLinesDoNothingAndACountOfZeroAwaitsNoReply) {
    Run(Write("s.txt", {"[WAI]", "rcvc 1D 04 01", "RCVC 1G", "RCVT(0)1B 40", "[HEX] 41"}));
    EXPECT_EQ(dev->writes, (Lines{"\x1B\x40", "A"}));
    EXPECT_FALSE(Shown("Error or operator initiated cancel on line  5"));
}

// A registered download stepped by the machine, its prefix and default path are
// DownloadTest.LogoAndBitmapFollowTheirPrefixes'. Every program registers them all: one
// missing capability stands for the others.
TEST_F(ScriptTest, AMissingDownloadCapabilityIsNamedAndStopsTheScript) {
    Run(Write("s.txt", {"[FLA] fw.bin", "[HEX] 41"}));
    EXPECT_EQ(status.lines, (Lines{"Flash download is not registered in this program",
                                   "Error or operator initiated cancel on line  1"}));
    EXPECT_TRUE(dev->writes.empty());
}

TEST_F(ScriptTest, ANewScriptStartsOutsideTheBlocksAnEarlierOneLeftOpenAChainedOneInside) {
    // The first script ends inside a LOOP and a false WHILE that holds another WHILE.
    Run(Write("a.txt", {"[UTI] LOOP 2", "[PRO] WHILE =1 < =0", "WHILE =1 < =0", "[HEX] 41"}));
    Run(Write("b.txt", {"[PRO] WHILE =1 < =0", "ENDW", "[HEX] 42", "[UTI] LOOP NEXT"}));
    EXPECT_EQ(dev->writes, (Lines{"B"}));
    EXPECT_EQ(status.lines.back(), "LOOP NEXT without valid LOOP start");

    dev->writes.clear();
    Write("sub.txt", {"[HEX] 43"});
    Run(Write("c.txt", {"[UTI] LOOP 2", "[CON] sub.txt", "[UTI] LOOP NEXT"}));
    EXPECT_EQ(dev->writes, (Lines{"C", "C"}));
}

TEST_F(ScriptTest, ProcessTextFileGuardsThePortAndHandsBackToTheConfigurationFlow) {
    EXPECT_FALSE(ProcessTextFile(0, "x"));
    gbFlashDl(1) = true;
    EXPECT_FALSE(ProcessTextFile(1, "x"));
    gbFlashDl(1) = false;
    gsPortTable(1) = "COM1, 115200, DTR, off";
    EXPECT_FALSE(ProcessTextFile(1, "x"));
    EXPECT_EQ(status.lines, (Lines{"No Active Ports", "Port  1 is active", "Port  1 is Off"}));
    gsPortTable(1) = "COM1, 115200, DTR, ON";

    std::vector<std::pair<int16_t, bool>> continued;
    RegisterConfigContinuation([&](int16_t port, bool stop) { continued.emplace_back(port, stop); });
    EXPECT_TRUE(ProcessTextFile(1, Write("c.txt", {"[HEX] 41"})));
    EXPECT_TRUE(gbConfigPending(1));
    Drive();
    StateMachinePass();
    EXPECT_EQ(continued, (std::vector<std::pair<int16_t, bool>>{{1, true}}));
    EXPECT_FALSE(gbConfigPending(1));
}

}  // namespace
}  // namespace posbench
