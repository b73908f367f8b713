// The simulated printer as a serial printer (pty) and as a USB printer (FIFO pair): sessions
// that close and reopen, flashing, restart, drops and tidying up on exit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "integration/RawLink.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench::test {
namespace {

using namespace std::chrono_literals;

bool Exists(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}

// Asks for identification and version as the tool does at the start of a session.
void ExpectIdentity(RawLink& link, const std::string& model, const std::string& version) {
    link.Write(Hex("1D 49 40 27 1D 49 40 A3"));
    EXPECT_NE(ResponseText(link.Read(17)).find(model), std::string::npos);
    EXPECT_EQ(VersionOf(link.Read(6)), version);
}

TEST(PrinterPtyTest, AnswersAcrossSessionsAndTidiesUp) {
    ScratchDir dir;
    const std::string com = dir / "com1";
    {
        SimPrinter printer({"--pty", com, "--model", "Q330", "--firmware", "1.21"});
        EXPECT_EQ(printer.Ready(), "pty " + com);
        for (int session = 0; session < 2; ++session) {
            RawLink link = RawLink::Pty(com);
            ASSERT_TRUE(link.Valid());
            SCOPED_TRACE(session);
            ExpectIdentity(link, "Q330", "1.21");
        }
        ExpectIdleWithoutCpu(printer.Pid());  // the slave side closed: a hung-up master
        EXPECT_EQ(printer.Stop(), 0);
    }
    EXPECT_FALSE(Exists(com));
}

TEST(PrinterPtyTest, FlashesAndHangsUpOnReset) {
    ScratchDir dir;
    const std::string com = dir / "com1";
    SimPrinter printer({"--pty", com, "--flash", dir / "flash", "--reset-ms", "300", "--log", dir / "log"});
    RawLink link = RawLink::Pty(com);
    std::string image(40000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 31);
    ASSERT_EQ(FlashOver(link, image, 1), "");
    link.Write(Hex("1D FF"));
    EXPECT_TRUE(link.WaitEnded(2000)) << "the tool's side must see the hang-up";
    RawLink again = RawLink::Pty(com);
    ASSERT_TRUE(again.Valid());
    again.Write(Hex("1D 04 01"));
    EXPECT_EQ(again.Read(1, 100), "") << "answered while restarting";
    ASSERT_TRUE(WaitForLog(dir / "log", "ready again"));
    again.Write(Hex("1D 04 01"));
    EXPECT_EQ(again.Read(1), Hex("12"));
    image.resize(65536, '\xFF');
    EXPECT_EQ(dir.Read("flash"), image);
}

TEST(PrinterFifoTest, AnswersAcrossReopenedEndsAndTidiesUp) {
    ScratchDir dir;
    const std::string usb = dir / "usb";
    {
        SimPrinter printer({"--fifo", usb, "--model", "Q360"});
        EXPECT_EQ(printer.Kind(), "fifo");
        for (int session = 0; session < 2; ++session) {
            RawLink link = RawLink::Fifo(usb);
            ASSERT_TRUE(link.Valid());
            SCOPED_TRACE(session);
            ExpectIdentity(link, "Q360", "1.00");
        }
        ExpectIdleWithoutCpu(printer.Pid());  // the tool's ends closed
        EXPECT_EQ(printer.Stop(), 0);
    }
    EXPECT_FALSE(Exists(usb + "/to-printer"));
    EXPECT_FALSE(Exists(usb + "/from-printer"));
}

TEST(PrinterFifoTest, FlashNakResetAndImage) {
    ScratchDir dir;
    const std::string usb = dir / "usb";
    const std::string image(600, 'm');
    SimPrinter printer({"--fifo", usb, "--reset-ms", "300", "--fault", "nak-block=2", "--log", dir / "log",
                        "--image", dir.Write("img", image)});
    RawLink link = RawLink::Fifo(usb);
    EXPECT_EQ(FlashOver(link, std::string(300, 'f'), 1), "block 2 answered  (15) ");

    link.Write(Hex("1D FF 1D 04 01"));
    EXPECT_EQ(link.Read(1, 100), "") << "answered while restarting";
    ASSERT_TRUE(WaitForLog(dir / "log", "ready again"));
    link.Write(Hex("1D 69 49 00 01"));
    std::string got = link.Read(14 + 256);
    ASSERT_EQ(got.size(), 270u);
    link.Write(Hex("06"));
    got += link.Read(256);
    link.Write(Hex("06"));
    got += link.Read(88);
    EXPECT_EQ(got.substr(14), image);
}

TEST(PrinterFifoTest, DropFaultEndsTheToolsRead) {
    ScratchDir dir;
    SimPrinter printer({"--fifo", dir / "usb", "--fault", "drop-after=3"});
    RawLink link = RawLink::Fifo(dir / "usb");
    link.Write(Hex("1D 04 01"));
    EXPECT_EQ(link.Read(1), Hex("12"));
    EXPECT_TRUE(link.WaitEnded(2000));
}

// A client that asks and never reads: the printer's answers stay bounded, so it stops taking
// requests (and the writer blocks) long before a megabyte of them has gone in.
TEST(PrinterFifoTest, StopsReadingWhileItsAnswersGoUnread) {
    ScratchDir dir;
    SimPrinter printer({"--fifo", dir / "usb"});
    const int fd = ::open((dir / "usb/to-printer").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    const std::string request = Hex("1D 49 40 27");  // 17 bytes of answer each
    std::size_t sent = 0;
    while (sent < (1u << 20)) {
        if (::write(fd, request.data(), request.size()) == 4) {
            sent += 4;
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 1000) == 0) break;  // the printer has stopped reading
    }
    ::close(fd);
    EXPECT_LT(sent, 512u << 10);
    EXPECT_EQ(printer.Stop(), 0);
}

}  // namespace
}  // namespace posbench::test
