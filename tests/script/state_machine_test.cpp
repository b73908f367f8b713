// The transfer state machine's steps, its timeouts and errors, the synchronous exchange, delays
// and cancel, against a scripted device. Completed reads, blocks and download steps through the
// machine are the script and end-to-end tests' (ScriptTest, ScriptIntegration, DownloadTest).
#include "script/StateMachine.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Events.h"
#include "base/Text.h"
#include "support/ScriptBench.h"

namespace posbench {
namespace {

using std::chrono::milliseconds;
using test::ManualClock;
using Lines = std::vector<std::string>;
using namespace std::string_literals;

class MachineTest : public test::ScriptBench {
protected:
    // A write of data followed by a read of count bytes, as a WAIT line queues it.
    void QueueExchange(const std::string& data, int32_t count) {
        posbench::QueueExchange(1, data, {count, ReadMode::Count}, true);
    }
};

TEST_F(MachineTest, WriteWaitsForTheDeviceAndIsDroppedUnderStop) {
    dev->writeComplete = false;
    gsSendData(1) = "A";
    gbSendPending(1) = true;
    Passes(3);
    EXPECT_TRUE(dev->writes.empty());
    EXPECT_EQ(StateMachineIdleWait(), milliseconds{1});
    dev->writeComplete = true;
    StateMachinePass();
    EXPECT_EQ(dev->writes, (Lines{"A"}));
    EXPECT_FALSE(gbSendPending(1));

    gbSendPending(1) = true;
    gbStop(1) = true;
    StateMachinePass();
    EXPECT_EQ(dev->writes.size(), 1u);
    EXPECT_FALSE(gbSendPending(1));
}


// A delay running its time is ScriptTest.DelayHoldsTheScript's.
TEST_F(MachineTest, DelayEndsAtStopAndBadDelaysAreRefused) {
    ManualClock clock(1000);
    EXPECT_TRUE(ProcessDelay(1, " 2 "));
    EXPECT_GE(StateMachineIdleWait(), milliseconds{1});
    gbStop(1) = true;
    StateMachinePass();
    EXPECT_FALSE(gbDelay(1));

    EXPECT_FALSE(ProcessDelay(1, "abc") || ProcessDelay(1, "") || ProcessDelay(1, "99999999999") || gbDelay(1));
}

// A failed write asks for the link to be recovered (its message is HostileRunTest's) and lets
// the read queued behind it go instead of starting it; a run-time error is shown once.
TEST_F(MachineTest, FailedWriteLetsTheQueuedReadGoAndARunTimeErrorDropsTheRequest) {
    dev->failWrites = true;
    QueueExchange("A", 2);
    Passes(3);
    EXPECT_EQ(host.timeouts, (std::vector<std::pair<int16_t, long>>{{1, 300}}));
    EXPECT_TRUE(gbStop(1) && dev->readModes.empty() && !gbReadPending(1));

    status.lines.clear();
    gsSendData(2) = "A";
    gbSendPending(2) = true;  // port 2 has no device
    Passes(3);
    EXPECT_EQ(status.lines, (Lines{"Error: Invalid procedure call or argument", "State Machine Error.  Is Port  2 Active?"}));
    EXPECT_FALSE(gbSendPending(2));
}

TEST_F(MachineTest, WriteReadOkWritesReadsAndHonoursCancel) {
    dev->replies = {"ok!"};
    EXPECT_TRUE(WriteReadOk("Q", 3, false, 1));
    EXPECT_EQ(gPortState(1).Response, "ok!");
    EXPECT_TRUE(WriteReadOk("P", 0, false, 1));  // writes only
    EXPECT_EQ(dev->readModes, (std::vector<int32_t>{2}));
    EXPECT_EQ(dev->writes, (Lines{"Q", "P"}));

    // The operator's cancel arrives while the exchange pumps events.
    PostNotice([] { gbStop(1) = true; });
    EXPECT_FALSE(WriteReadOk("R", 5, false, 1));
    EXPECT_EQ(status.lines.back(), "Operator requested cancel");
    dev->writeComplete = false;
    PostNotice([] { gbStop(1) = true; });
    EXPECT_FALSE(WriteReadOk("S", 0, false, 1));
    EXPECT_EQ(status.lines.back(), "Error or operator requested cancel");

    dev->writeComplete = true;
    dev->failWrites = true;
    EXPECT_FALSE(WriteReadOk("T", 0, false, 1));
    EXPECT_EQ(status.lines.back(), "Fake write failed");
    EXPECT_FALSE(WriteReadOk("T", 0, false, 3));  // no device there
    EXPECT_NE(Joined().find("modControl WriteReadOk Error 5: Invalid procedure call or argument"),
              std::string::npos);
}

TEST_F(MachineTest, CancelLeavesEveryPortIdleAndReleasesTheRead) {
    QueueExchange("Q", 9);
    Passes(2);
    ASSERT_TRUE(OpenFile(dir / "cap.bin", 4));
    PortState& st = gPortState(1);
    st.CaptureOpen = true;
    st.CaptureFileNum = giFileNum;
    st.ImageRcv = true;
    gbTimeoutOn(4) = true;
    gbReadPending(5) = true;  // a port with no device: nothing to release there
    gbBlockArmed = true;
    Cancel();
    EXPECT_FALSE(IsFileOpen(st.CaptureFileNum));
    EXPECT_EQ(dev->ReadCount(), 1);
    for (int16_t p = 1; p <= 6; ++p) {
        const PortState& s = gPortState(p);
        EXPECT_TRUE(gbStop(p) && gbDlAbort(p) && !gbReadPending(p) && !gbTimeoutOn(p) && !s.CaptureOpen) << p;
        EXPECT_EQ(s.RcvdCount * 10 + s.ExpectTotal, 11) << p;
    }
    EXPECT_FALSE(st.ImageRcv || gbBlockArmed);
}

TEST_F(MachineTest, ResetIsQueuedWithoutAHostAndInitClearsRequestsAndTheLoopEndsWhenAsked) {
    SetEngineHost(nullptr);  // nobody to recover the link: the reset still goes
    SendReset(1);
    EXPECT_EQ(gsSendData(1) + (gbSendPending(1) ? "|pending" : ""), "\x1D\xFF|pending"s);
    gbScriptRunning(3) = true;
    gbDelay(3) = true;
    StateMachineInit();
    EXPECT_FALSE(gbScriptRunning(3) || gbDelay(3) || gbSendPending(1));
    int passes = 0;
    // Each pass wakes the next one's idle wait at once.
    RunStateMachine([&] {
        WakeEvents();
        return ++passes <= 3;
    });
    EXPECT_EQ(passes, 4);
    EndStateMachine();
    StateMachine();  // returns at once: the end was asked for before
}

}  // namespace
}  // namespace posbench
