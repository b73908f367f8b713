#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "base/Events.h"
#include "comm/CommGlobals.h"
#include "comm/PtyLineTest.h"
#include "comm/devices/ParallelDevice.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::PumpUntil;

class ParallelLine : public test::PtyLineTest<clsLPT> {
protected:
    ParallelLine() : PtyLineTest("LPT1") {}
};

TEST_F(ParallelLine, ExchangeOverARawLine) {
    // the terminal line behind the port passes bytes untouched, without echo
    std::string out("\x1b@\r\n\x03\xff", 6);
    ASSERT_TRUE(dev.WriteComm(out));
    EXPECT_TRUE(PumpUntil([&] { return dev.WriteIsComplete(); }));
    EXPECT_EQ(printer.Read(out.size()), out);
    EXPECT_EQ(printer.Drain(std::chrono::milliseconds(20)), "");

    dev.ReadCount(3);
    dev.BlockCount(3);
    ASSERT_TRUE(dev.ReadComm(STOP_R_NUM));
    EXPECT_FALSE(dev.ReadIdle());
    ASSERT_TRUE(printer.Send("A\rZ"));
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
    EXPECT_TRUE(dev.ReadIdle());
    EXPECT_EQ(dev.StopRead(), STOP_R);
    EXPECT_EQ(dev.GetReadData(), "A\rZ");
    EXPECT_EQ(dev.ReadCount(), 1);
}

TEST_F(ParallelLine, ReadStepsFollowTheBlockSize) { ExpectReadStepsFollowTheBlockSize(); }

TEST_F(ParallelLine, NoReadRunsBetweenExchanges) {
    dev.ReadCount(3);
    dev.BlockCount(3);
    dev.ReadComm(STOP_R_NUM);
    dev.ReadComm(STOP_R_WAIT);  // the read is running: only the stop reason changes
    EXPECT_EQ(dev.StopRead(), STOP_R_WAIT);
    ASSERT_TRUE(printer.Send("abc"));
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
    EXPECT_EQ(dev.GetReadData(), "abc");

    ASSERT_TRUE(printer.Send("Z"));
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(dev.ReadIsComplete());
        EXPECT_FALSE(dev.DataAvailable());
    }
    EXPECT_EQ(printer.InputQueued(), 1);  // untouched until the next read starts
    dev.ReadCount(1);
    dev.ReadComm(STOP_R_NUM);
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
    EXPECT_EQ(dev.GetReadData(), "Z");
}

TEST_F(ParallelLine, AWriteDuringAReadWaitsItsTurn) {
    dev.ReadCount(5);
    dev.ReadComm(STOP_R_NUM);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(dev.WriteComm("w"));
    // (the millisecond tick may turn just after the start)
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(14));
    EXPECT_EQ(printer.Read(1), "w");
    // ReadShutdown ends the read; a later write goes at once
    EXPECT_TRUE(dev.ReadShutdown(STOP_R_FORCE));
    EXPECT_TRUE(dev.ReadIdle());
}

TEST(ParallelWait, WaitTimeLPTRunsEventsAndEndsOnTime) {
    clsLPT dev;
    int ran = 0;
    PostNotice([&] { ++ran; });
    auto start = std::chrono::steady_clock::now();
    dev.WaitTimeLPT(20);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(ran, 1);
    EXPECT_GE(took, std::chrono::milliseconds(19));
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    // a stopped test clock cannot hold the caller
    test::ManualClock clock;
    start = std::chrono::steady_clock::now();
    dev.WaitTimeLPT(30);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(ParallelNames, NamesAndPathsThatCannotOpen) {
    clsLPT dev;
    EXPECT_EQ(dev.GetNumFromDevname("lpt2"), 2);
    EXPECT_EQ(dev.GetNumFromDevname("COM1"), 0);
    EXPECT_FALSE(dev.OpenComm("COM1"));
    EXPECT_EQ(dev.LastError(), "Invalid Handle: " + std::to_string(ENOENT));

    test::ScratchDir dir;
    gsDevicePaths["LPT2"] = dir / "missing";
    gsDevicePaths["LPT3"] = dir.Write("plain", "data");
    EXPECT_FALSE(dev.OpenComm("LPT2"));
    EXPECT_EQ(dev.LastError(), "Invalid Handle: " + std::to_string(ENOENT));
    EXPECT_FALSE(dev.OpenComm("LPT3"));
    EXPECT_EQ(dev.LastError(), "Invalid Handle: " + std::to_string(ENOTTY));
    EXPECT_TRUE(dev.CloseComm());  // nothing open: nothing to do
    EXPECT_FALSE(dev.ReadComm(STOP_R_NUM));
    EXPECT_EQ(dev.LastError(), "Start Read Error: " + std::to_string(EBADF));
}

}  // namespace
}  // namespace posbench
