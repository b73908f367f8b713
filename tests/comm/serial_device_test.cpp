#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PtyPrinter.h"
#include "comm/devices/SerialDevice.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::PumpUntil;

class SerialLine : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(printer.ok());
        gsDevicePaths["COM1"] = printer.path();
        ASSERT_TRUE(dev.OpenComm("COM1")) << dev.LastError();
    }

    // Polls the running read and notes how many bytes each step brought.
    std::vector<size_t> CollectSteps(std::string& all) {
        std::vector<size_t> steps;
        bool complete = false;
        PumpUntil([&] {
            complete = dev.ReadIsComplete();
            std::string part = dev.GetReadData();
            if (!part.empty()) steps.push_back(part.size());
            all += part;
            return complete;
        });
        EXPECT_TRUE(complete);
        return steps;
    }

    test::PtyPrinter printer;
    clsRS232 dev;
};

TEST_F(SerialLine, WriteAndReadExchangeCarriesEveryByteValue) {
    std::string out;
    for (int i = 0; i < 256; ++i) out += static_cast<char>(i);
    ASSERT_TRUE(dev.WriteComm(out));
    EXPECT_TRUE(PumpUntil([&] { return dev.WriteIsComplete(); }));
    EXPECT_EQ(printer.Receive(out.size()), out);

    std::string answer("\x00\r\n\x11\x13\xff", 6);
    dev.ReadCount(6);
    dev.BlockCount(6);
    ASSERT_TRUE(dev.ReadComm(STOP_R_NUM));
    ASSERT_TRUE(printer.Send(answer));
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
    EXPECT_TRUE(dev.BlockIsComplete());
    EXPECT_EQ(dev.GetReadData(), answer);
    EXPECT_EQ(dev.ReadCount(), 1);  // a completed read starts the counters afresh
    EXPECT_EQ(dev.LastError(), "");
}

TEST_F(SerialLine, ReadStepsFollowTheBlockSize) {
    // The one-byte read kept outstanding between exchanges takes the first byte; the steps
    // after it ask for the block size, and for what is missing at the end.
    struct Case { int32_t block; std::vector<size_t> steps; };
    for (const Case& c : {Case{4, {1, 4, 4, 1}}, Case{1, {1, 9}}, Case{0, {1, 9}}}) {
        dev.ReadCount(10);
        dev.BlockCount(c.block);
        dev.ReadComm(STOP_R_NUM);
        ASSERT_TRUE(printer.Send("0123456789"));
        std::string all;
        EXPECT_EQ(CollectSteps(all), c.steps) << "block " << c.block;
        EXPECT_EQ(all, "0123456789");
    }
}

TEST_F(SerialLine, RaisingTheWaitCountDuringAReadExtendsIt) {
    dev.ReadCount(3);
    dev.BlockCount(2);
    dev.ReadComm(STOP_R_NUM);
    ASSERT_TRUE(printer.Send("abcdef"));
    EXPECT_FALSE(dev.ReadIsComplete());  // the first byte
    dev.ReadCount(6);
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
    EXPECT_EQ(dev.GetReadData(), "abcdef");
}

TEST_F(SerialLine, CountersSurviveAnIncompleteFetchAndResetAfterACompleteOne) {
    dev.ReadCount(5);
    dev.BlockCount(0);
    dev.ReadComm(STOP_R_NUM);
    ASSERT_TRUE(printer.Send("ab"));
    std::string got;
    ASSERT_TRUE(PumpUntil([&] {
        dev.ReadIsComplete();
        got += dev.GetReadData();
        return got.size() == 2;
    }));
    EXPECT_EQ(got, "ab");
    EXPECT_EQ(dev.ReadCount(), 5);
    EXPECT_FALSE(dev.ReadIsComplete());
    ASSERT_TRUE(printer.Send("cde"));
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
    EXPECT_EQ(dev.GetReadData(), "cde");
    EXPECT_EQ(dev.ReadCount(), 1);
}

TEST_F(SerialLine, AWriteTheDriverCannotTakeAtOnceFinishesInTheBackground) {
    std::string big(300000, 'Q');
    big.back() = 'E';
    ASSERT_TRUE(dev.WriteComm(big));
    EXPECT_FALSE(dev.WriteIsComplete());  // the printer has not read anything yet
    std::string got;
    ASSERT_TRUE(PumpUntil([&] {
        got += printer.Receive(1, 5);
        return dev.WriteIsComplete();
    }, 10000));
    got += printer.Drain();
    EXPECT_EQ(got.size(), big.size());
    EXPECT_EQ(got, big);
    EXPECT_EQ(dev.LastError(), "");
}

TEST_F(SerialLine, ASecondWriteDropsWhatTheFirstStillHadQueued) {
    std::string big(1000000, 'Q');
    ASSERT_TRUE(dev.WriteComm(big));
    ASSERT_FALSE(dev.WriteIsComplete());
    ASSERT_TRUE(dev.WriteComm("END"));
    EXPECT_TRUE(PumpUntil([&] { return dev.WriteIsComplete(); }));
    std::string got = printer.Drain();
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got.substr(got.size() - 3), "END");
    EXPECT_LT(got.size(), big.size());
}

TEST_F(SerialLine, ABurstOfFinishedWritesArrivesWholeAndInOrder) {
    // Each write waits for the one before to finish, as the state machine does; none of
    // them may take bytes of the one before away.
    std::string sent;
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(PumpUntil([&] { return dev.WriteIsComplete(); }));
        const std::string piece = "<" + std::to_string(i) + ">";
        ASSERT_TRUE(dev.WriteComm(piece));
        sent += piece;
    }
    EXPECT_EQ(printer.Receive(sent.size()), sent);
    EXPECT_EQ(dev.LastError(), "");
}

TEST_F(SerialLine, TimeoutsOfANormalPort) {
    EXPECT_FALSE(dev.Adaptor());
    EXPECT_EQ(dev.ReadIntervalTimeout(), -1);
    EXPECT_EQ(dev.ReadTotalTimeoutMultiplier(), 1);
    EXPECT_EQ(dev.ReadTotalTimeoutConstant(), 3000);
    EXPECT_EQ(dev.WriteTotalTimeoutMultiplier(), 100);
    EXPECT_EQ(dev.WriteTotalTimeoutConstant(), 3000);
    EXPECT_EQ(dev.InQueueSize(), 1024);
    // the port got the opening defaults
    EXPECT_EQ(dev.DCB()->BaudRate(), 115200);
    termios line = printer.Settings();
    EXPECT_EQ(cfgetospeed(&line), B115200);
}

TEST_F(SerialLine, ReadEndsWithWhatIsThereAndIdleReadsStayQuiet) {
    dev.ReadCount(5);
    dev.BlockCount(5);
    dev.ReadComm(STOP_R_NUM);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(dev.ReadIsComplete());
    EXPECT_FALSE(dev.DataAvailable());
    EXPECT_EQ(dev.LastError(), "");
    ASSERT_TRUE(printer.Send("xy"));
    std::string got;
    ASSERT_TRUE(PumpUntil([&] {
        EXPECT_FALSE(dev.ReadIsComplete());  // three bytes still missing, no wait for them
        if (dev.BlockIsComplete()) got += dev.GetReadData();
        return got.size() == 2;
    }));
    EXPECT_EQ(got, "xy");
}

TEST_F(SerialLine, AnswerLandingBetweenThePollsIsStillReportedComplete) {
    // The loop's order: ReadIsComplete, then BlockIsComplete and a fetch. The last byte arrives
    // between the two; the block poll must not take it, or the fetch resets the counts and
    // the read is never reported complete.
    dev.ReadCount(1);
    dev.BlockCount(1);
    ASSERT_TRUE(dev.ReadComm(STOP_R_NUM));
    EXPECT_FALSE(dev.ReadIsComplete());
    ASSERT_TRUE(printer.Send("k"));
    EXPECT_FALSE(dev.BlockIsComplete());
    EXPECT_EQ(dev.GetReadData(), "");
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
    EXPECT_TRUE(dev.BlockIsComplete());
    EXPECT_EQ(dev.GetReadData(), "k");
}

TEST_F(SerialLine, PurgeDropsWaitingInput) {
    ASSERT_TRUE(printer.Send("stale"));
    EXPECT_TRUE(dev.PurgeComm());
    EXPECT_EQ(printer.InputQueued(), 0);
}

TEST_F(SerialLine, CommEventWatch) {
    EXPECT_TRUE(dev.EventOccurred());  // no watch running
    ASSERT_TRUE(dev.EventWatchStartedOk(EV_RXCHAR));
    EXPECT_FALSE(dev.EventOccurred());
    ASSERT_TRUE(printer.Send("!"));
    EXPECT_TRUE(dev.EventOccurred());
    // a pseudo-terminal has no modem lines to watch
    EXPECT_FALSE(dev.EventWatchStartedOk(EV_DSR));
    EXPECT_EQ(dev.LastError(), "Set CommMask Error: " + std::to_string(ENOTTY));
}

TEST_F(SerialLine, ModemStatusFailuresGoToTheStatusList) {
    test::RecordingStatusList list;
    SetStatusList(&list);
    EXPECT_FALSE(dev.CTS_ON());
    ASSERT_TRUE(dev.CloseComm());
    EXPECT_FALSE(dev.DSR_ON());
    ASSERT_EQ(list.lines.size(), 2u);
    EXPECT_EQ(list.lines[0], "Modem Status Error");
    EXPECT_EQ(list.lines[1], "Device not open");
    SetStatusList(nullptr);
}

TEST_F(SerialLine, OpenIsExclusiveUntilClosed) {
    clsRS232 second;
    EXPECT_FALSE(second.OpenComm("COM1"));
    EXPECT_TRUE(second.LastError() == "Invalid Handle: " + std::to_string(EBUSY) ||
                second.LastError() == "Invalid Handle: " + std::to_string(EWOULDBLOCK))
        << second.LastError();
    ASSERT_TRUE(dev.CloseComm());
    EXPECT_TRUE(second.OpenComm("COM1")) << second.LastError();
}

TEST_F(SerialLine, CloseRestoresTheLineAsItWas) {
    ASSERT_TRUE(dev.CloseComm());
    termios before = printer.Settings();
    before.c_lflag |= ICANON | ECHO;
    cfsetospeed(&before, B2400);
    cfsetispeed(&before, B2400);
    ASSERT_EQ(tcsetattr(printer.slave(), TCSANOW, &before), 0);

    ASSERT_TRUE(dev.OpenComm("COM1"));
    termios during = printer.Settings();
    EXPECT_FALSE(during.c_lflag & (ICANON | ECHO));
    EXPECT_EQ(cfgetospeed(&during), B115200);
    ASSERT_TRUE(dev.CloseComm());
    termios after = printer.Settings();
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), tcflag_t(ICANON | ECHO));
    EXPECT_EQ(cfgetospeed(&after), B2400);
}

TEST_F(SerialLine, AHungUpLineFailsWithoutHanging) {
    printer.CloseMaster();
    EXPECT_FALSE(dev.WriteComm("x") && PumpUntil([&] { return dev.WriteIsComplete(); }) &&
                 dev.LastError().empty());
    dev.ReadCount(3);
    dev.ReadComm(STOP_R_NUM);
    EXPECT_FALSE(PumpUntil([&] { return dev.ReadIsComplete(); }, 200));
    EXPECT_NE(dev.LastError().find("Read Error: " + std::to_string(EIO)), std::string::npos)
        << dev.LastError();
}

TEST(SerialNames, OnlyComNamesOneToSixteenOpen) {
    clsRS232 dev;
    for (const char* name : {"COM17", "LPT1", "COM0", "COM", "", "x"}) {
        EXPECT_FALSE(dev.OpenComm(name)) << name;
        EXPECT_EQ(dev.LastError(), "Invalid Com parameter") << name;
    }
    EXPECT_EQ(dev.GetNumFromDevname("com16"), 16);
    EXPECT_EQ(dev.GetNumFromDevname("Com3"), 3);
    EXPECT_EQ(dev.GetNumFromDevname("COM1.5"), 0);
}

TEST(SerialNames, AdaptorSuffixOpensTheBarePortWithShortReadTimeouts) {
    test::PtyPrinter printer;
    ASSERT_TRUE(printer.ok());
    gsDevicePaths["COM5"] = printer.path();
    clsRS232 dev;
    ASSERT_TRUE(dev.OpenComm("COM5x")) << dev.LastError();
    EXPECT_TRUE(dev.Adaptor());
    EXPECT_EQ(dev.DevicePathInUse(), printer.path());
    EXPECT_EQ(dev.ReadIntervalTimeout(), -1);
    EXPECT_EQ(dev.ReadTotalTimeoutMultiplier(), 0);
    EXPECT_EQ(dev.ReadTotalTimeoutConstant(), 10);
    EXPECT_EQ(dev.WriteTotalTimeoutMultiplier(), 100);
    EXPECT_EQ(dev.WriteTotalTimeoutConstant(), 3000);
    // idle reads end every 10 ms and are renewed quietly
    dev.ReadCount(2);
    dev.ReadComm(STOP_R_NUM);
    EXPECT_FALSE(PumpUntil([&] { return dev.ReadIsComplete(); }, 60));
    EXPECT_EQ(dev.LastError(), "");
    ASSERT_TRUE(printer.Send("ok"));
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
    EXPECT_EQ(dev.GetReadData(), "ok");
}

TEST(SerialNames, PathsThatAreNoTerminalAreRefusedClearly) {
    test::ScratchDir dir;
    gsDevicePaths["COM2"] = dir / "missing";
    gsDevicePaths["COM3"] = dir.Write("plain", "data");
    clsRS232 dev;
    EXPECT_FALSE(dev.OpenComm("COM2"));
    EXPECT_EQ(dev.LastError(), "Invalid Handle: " + std::to_string(ENOENT));
    EXPECT_FALSE(dev.OpenComm("COM3"));
    EXPECT_EQ(dev.LastError(), "Invalid Handle: " + std::to_string(ENOTTY));
    // a device that never opened refuses I/O with a message instead of crashing
    EXPECT_FALSE(dev.WriteComm("x"));
    EXPECT_EQ(dev.LastError(), "Purge Write Buffer Error: " + std::to_string(EBADF));
    EXPECT_FALSE(dev.ReadIsComplete());
}

}  // namespace
}  // namespace posbench
