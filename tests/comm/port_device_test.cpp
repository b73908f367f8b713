// The serial and parallel port devices, each on a pseudo-terminal whose master side plays the
// printer (a parallel port here is a terminal line too), and the serial line's settings record.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "base/Events.h"
#include "base/RuntimeError.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/Device.h"
#include "comm/devices/Dcb.h"
#include "comm/devices/OpenFailure.h"
#include "comm/devices/ParallelDevice.h"
#include "comm/devices/SerialDevice.h"
#include "support/Pty.h"
#include "support/TestSupport.h"
#include "support/Wait.h"

namespace posbench {
namespace {

using test::PumpUntil;

// A device of class DeviceClass opened under its medium name.
template <class DeviceClass>
class PtyLineTest : public testing::Test {
protected:
    explicit PtyLineTest(std::string medium) : medium_(std::move(medium)) {}
    void SetUp() override {
        gsDevicePaths[medium_] = printer.SlavePath();
        ASSERT_TRUE(dev.OpenComm(medium_)) << dev.LastError();
    }

    // Each step takes what has arrived, up to the block size and to what is missing at the end;
    // the running read is polled as the engine does, noting how many bytes each step brought.
    void ExpectReadStepsFollowTheBlockSize() {
        struct Case { int32_t block; std::vector<size_t> steps; };
        for (const Case& c : {Case{4, {4, 4, 2}}, Case{1, {10}}, Case{0, {10}}, Case{20, {10}}}) {
            dev.ReadCount(10);
            dev.BlockCount(c.block);
            ASSERT_TRUE(printer.Send("0123456789"));
            ASSERT_TRUE(dev.ReadComm(STOP_R_NUM));
            std::vector<size_t> steps;
            std::string all;
            EXPECT_TRUE(PumpUntil([&] {
                const bool complete = dev.ReadIsComplete();
                const std::string part = dev.GetReadData();
                if (!part.empty()) steps.push_back(part.size());
                all += part;
                return complete;
            }));
            EXPECT_EQ(steps, c.steps) << "block " << c.block;
            EXPECT_EQ(all, "0123456789");
        }
    }

    test::Pty printer;
    DeviceClass dev;

private:
    std::string medium_;
};

class SerialLine : public PtyLineTest<clsRS232> {
protected:
    SerialLine() : PtyLineTest("COM1") {}
};

TEST_F(SerialLine, ReadStepsFollowTheBlockSize) { ExpectReadStepsFollowTheBlockSize(); }

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

TEST_F(SerialLine, OpenIsExclusiveUntilClosed) {
    clsRS232 second;
    EXPECT_FALSE(second.OpenComm("COM1"));
    ASSERT_TRUE(dev.CloseComm());
    EXPECT_TRUE(second.OpenComm("COM1")) << second.LastError();
}

TEST_F(SerialLine, CloseRestoresTheLineAsItWas) {
    ASSERT_TRUE(dev.CloseComm());
    termios before = printer.Settings();
    before.c_lflag |= ICANON | ECHO;
    cfsetospeed(&before, B2400);
    cfsetispeed(&before, B2400);
    ASSERT_EQ(tcsetattr(printer.SlaveFd(), TCSANOW, &before), 0);

    ASSERT_TRUE(dev.OpenComm("COM1"));
    termios during = printer.Settings();
    EXPECT_FALSE(during.c_lflag & (ICANON | ECHO));
    EXPECT_EQ(cfgetospeed(&during), B115200);
    ASSERT_TRUE(dev.CloseComm());
    termios after = printer.Settings();
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), tcflag_t(ICANON | ECHO));
    EXPECT_EQ(cfgetospeed(&after), B2400);
}

TEST_F(SerialLine, ARequestedReadWatchesTheLineUntilItCompletesOrCloses) {
    EXPECT_TRUE(dev.ReadIsComplete());
    EXPECT_TRUE(WatchedInputs().empty());  // the outstanding read alone watches nothing
    dev.ReadCount(2);
    dev.BlockCount(2);
    ASSERT_TRUE(dev.ReadComm(STOP_R_NUM));
    EXPECT_FALSE(dev.ReadIsComplete());
    ASSERT_EQ(WatchedInputs().size(), 1u);

    // The answer ends the loop's wait at once, and the read collects it.
    ASSERT_TRUE(printer.Send("ok"));
    auto start = std::chrono::steady_clock::now();
    WaitEventsOrInput(std::chrono::milliseconds(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
    EXPECT_EQ(dev.GetReadData(), "ok");
    EXPECT_TRUE(WatchedInputs().empty());

    ASSERT_TRUE(dev.ReadComm(STOP_R_NUM));
    EXPECT_EQ(WatchedInputs().size(), 1u);
    ASSERT_TRUE(dev.CloseComm());
    EXPECT_TRUE(WatchedInputs().empty());
}

TEST_F(SerialLine, PurgeDropsWaitingInput) {
    ASSERT_TRUE(printer.Send("stale"));
    EXPECT_TRUE(dev.PurgeComm());
    EXPECT_EQ(printer.InputQueued(), 0);
}

TEST_F(SerialLine, ModemStatusFailuresGoToTheStatusList) {
    test::RecordingStatusList list;
    SetStatusList(&list);
    EXPECT_FALSE(dev.CTS_ON());
    ASSERT_TRUE(dev.CloseComm());
    EXPECT_FALSE(dev.DSR_ON());
    EXPECT_EQ(list.lines, (std::vector<std::string>{"Modem Status Error", "Device not open"}));
    SetStatusList(nullptr);
}

class ParallelLine : public PtyLineTest<clsLPT> {
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
    EXPECT_FALSE(dev.ReadIsComplete() || dev.DataAvailable() || dev.ReadIsComplete());
    EXPECT_EQ(printer.InputQueued(), 1);  // untouched until the next read starts
    dev.ReadCount(1);
    dev.ReadComm(STOP_R_NUM);
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
    EXPECT_EQ(dev.GetReadData(), "Z");
}

TEST_F(ParallelLine, AWriteDuringAReadGoesOutAndAShutdownEndsTheRead) {
    dev.ReadCount(5);
    dev.ReadComm(STOP_R_NUM);
    ASSERT_TRUE(dev.WriteComm("w"));
    EXPECT_EQ(printer.Read(1), "w");
    EXPECT_TRUE(dev.ReadShutdown(STOP_R_FORCE));
    EXPECT_TRUE(dev.ReadIdle());
}

// A name outside the kind's range, a missing path and a path that is no terminal are refused
// with the system's error; a device that never opened refuses I/O with a message.
TEST(PortNames, NamesAndPathsThatCannotOpen) {
    clsRS232 com;
    for (const char* name : {"COM17", "LPT1", "COM0", "COM", "", "x"}) {
        EXPECT_FALSE(com.OpenComm(name)) << name;
        EXPECT_EQ(com.LastError(), "Invalid Com parameter") << name;
    }
    clsLPT lpt;
    EXPECT_FALSE(lpt.OpenComm("COM1"));
    EXPECT_EQ(lpt.LastError(), "Invalid Handle: " + std::to_string(ENOENT));

    test::ScratchDir dir;
    gsDevicePaths["COM2"] = dir / "missing";
    gsDevicePaths["LPT3"] = dir.Write("plain", "data");
    EXPECT_FALSE(com.OpenComm("COM2"));
    EXPECT_EQ(com.LastError(), "Invalid Handle: " + std::to_string(ENOENT));
    EXPECT_EQ(com.LastReason(), dir / "missing" + ": No such file or directory");
    EXPECT_FALSE(lpt.OpenComm("LPT3"));
    EXPECT_EQ(lpt.LastError(), "Invalid Handle: " + std::to_string(ENOTTY));
    // Refused access (not reproducible as root) says how to get it.
    EXPECT_EQ(OpenFailureReason("/dev/ttyUSB0", EACCES, "dialout"),
              "/dev/ttyUSB0: Permission denied (add the user to group dialout, see README)");
    EXPECT_FALSE(com.WriteComm("x"));
    EXPECT_EQ(com.LastError(), "Purge Write Buffer Error: " + std::to_string(EBADF));
    EXPECT_FALSE(com.ReadIsComplete());
    EXPECT_TRUE(lpt.CloseComm());  // nothing open: nothing to do
    EXPECT_FALSE(lpt.ReadComm(STOP_R_NUM));
    EXPECT_EQ(lpt.LastError(), "Start Read Error: " + std::to_string(EBADF));
}

TEST(DcbRecord, InvalidValuesRaiseAndKeepTheStoredValue) {
    clsDCB dcb;
    dcb.SetDefaults();
    const auto refused = [](const auto& set, const char* message) {
        try {
            set();
            ADD_FAILURE() << "no error for " << message;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), static_cast<int32_t>(0x80047918u));
            EXPECT_EQ(e.source(), "clsDCB");
            EXPECT_EQ(e.description(), message);
        }
    };
    refused([&] { dcb.BaudRate(4000); }, "Invalid baud rate");
    refused([&] { dcb.fDtrControl(3); }, "Invalid fDtrControl setting");
    refused([&] { dcb.fRtsControl(-1); }, "Invalid fRtsControl setting");
    refused([&] { dcb.ByteSize(9); }, "Invalid Byte size setting");
    refused([&] { dcb.ByteSize(3); }, "Invalid Byte size setting");
    refused([&] { dcb.Parity(5); }, "Invalid Parity setting");
    refused([&] { dcb.StopBits(3); }, "Invalid Stop bits");
    EXPECT_EQ((std::vector<int>{dcb.BaudRate(), dcb.fDtrControl(), dcb.fRtsControl(), dcb.ByteSize(),
                                dcb.Parity(), dcb.StopBits()}),
              (std::vector<int>{115200, 2, 2, 8, 0, 0})) << "the stored values stay";
    // (The free rates and byte size 4 are taken: DcbLine below sets them.)
}

class DcbLine : public testing::Test {
protected:
    void SetUp() override { dcb.SetDefaults(); }
    test::Pty printer;
    clsDCB dcb;
};

TEST_F(DcbLine, SettingsReachTheLine) {
    dcb.BaudRate(9600);
    dcb.ByteSize(7);
    dcb.Parity(2);
    dcb.StopBits(1);  // one and a half: two on this line
    dcb.fOutX(true);
    dcb.fInX(true);
    dcb.XonChar(0x05);
    dcb.XoffChar(0x06);
    ASSERT_TRUE(dcb.SetCommState(printer.SlaveFd()));
    termios t = printer.Settings();
    // (a pseudo-terminal always reports 8 bits without parity; those are checked on ToLine)
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_TRUE(t.c_iflag & IXOFF);
    EXPECT_EQ(t.c_cc[VSTART], 0x05);
    EXPECT_EQ(t.c_cc[VSTOP], 0x06);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);  // defaults: CTS flow and RTS handshake
    // (A raw line: the binary downloads over a pseudo-terminal in DownloadTest and CliConfigTest.)
    // Rates without a fixed code go as the free rate.
    for (int32_t rate : {14400, 56000, 128000, 256000, 57600}) {
        dcb.BaudRate(rate);
        ASSERT_TRUE(dcb.SetCommState(printer.SlaveFd())) << rate;
        clsDCB back;
        ASSERT_TRUE(back.GetCommState(printer.SlaveFd()));
        EXPECT_EQ(back.BaudRate(), rate);
    }
}

TEST_F(DcbLine, ByteSizeParityAndHandshakeMapping) {
    struct Case { uint8_t parity; tcflag_t bits; };
    for (Case c : {Case{0, 0}, Case{1, PARENB | PARODD}, Case{2, PARENB},
                   Case{3, PARENB | PARODD | CMSPAR}, Case{4, PARENB | CMSPAR}}) {
        for (uint8_t size : {uint8_t{5}, uint8_t{6}, uint8_t{7}, uint8_t{8}}) {
            dcb.Parity(c.parity);
            dcb.ByteSize(size);
            LineSettings line;
            line.cflag = PARODD | CS8;  // leftovers of an earlier setting must go
            ASSERT_TRUE(dcb.ToLine(line));
            EXPECT_EQ(line.cflag & (PARENB | PARODD | CMSPAR), c.bits) << int(c.parity);
            static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
            EXPECT_EQ(line.cflag & CSIZE, kSizes[size - 5]);
            clsDCB back;
            back.FromLine(line);
            EXPECT_EQ(back.Parity(), c.parity);
            EXPECT_EQ(back.ByteSize(), size);
        }
    }
    dcb.fOutxCtsFlow(false);
    dcb.fRtsControl(1);
    ASSERT_TRUE(dcb.SetCommState(printer.SlaveFd()));
    EXPECT_FALSE(printer.Settings().c_cflag & CRTSCTS);
    dcb.fRtsControl(2);  // RTS handshake alone still asks for hardware flow
    ASSERT_TRUE(dcb.SetCommState(printer.SlaveFd()));
    EXPECT_TRUE(printer.Settings().c_cflag & CRTSCTS);
    clsDCB back;
    ASSERT_TRUE(back.GetCommState(printer.SlaveFd()));
    EXPECT_TRUE(back.fOutxCtsFlow());
    EXPECT_EQ(back.fRtsControl(), 2);
}

}  // namespace
}  // namespace posbench
