#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <vector>
#include <unistd.h>

#include "base/RuntimeError.h"
#include "comm/devices/Dcb.h"
#include "support/Pty.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

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
    // raw bytes: no line editing, echo, signals or translation
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_iflag & (ICRNL | ISTRIP));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
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

TEST_F(DcbLine, LineRefusalsCarryTheSystemErrorNumber) {
    dcb.ByteSize(4);  // a valid record value the line cannot carry
    EXPECT_FALSE(dcb.SetCommState(printer.SlaveFd()));
    EXPECT_EQ(dcb.LastErrno(), EINVAL);

    test::ScratchDir dir;
    int fd = open(dir.Write("plain", "x").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    dcb.ByteSize(8);
    EXPECT_FALSE(dcb.SetCommState(fd));
    EXPECT_EQ(dcb.LastErrno(), ENOTTY);
    EXPECT_FALSE(dcb.GetCommState(fd));
    EXPECT_EQ(dcb.LastErrno(), ENOTTY);
    close(fd);
}

}  // namespace
}  // namespace posbench
