// The simulated printer on each of its media from a plain client (the engine's own tests run
// its protocol): sessions that close and reopen, tidying up on exit, a reset and the drop fault
// ending the link, both directions of TCP connection, and the log, store, capture and paper.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "integration/RawLink.h"
#include "support/PrinterLog.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench::test {
namespace {

using namespace std::chrono_literals;

bool Exists(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}

RawLink Connect(const SimPrinter& printer) {
    if (printer.Kind() == "tcp") return RawLink::Tcp(printer.Port());
    return printer.Kind() == "pty" ? RawLink::Pty(printer.Path()) : RawLink::Fifo(printer.Path());
}

// Identification and version, as the tool asks at the start of a session, in two sessions; an
// idle printer uses no CPU after the client has gone; the endpoints go with the printer.
TEST(PrinterMediaTest, AnswersAcrossSessionsIdlesAndTidiesUp) {
    for (const char* medium : {"--pty", "--fifo"}) {
        SCOPED_TRACE(medium);
        ScratchDir dir;
        const std::string where = dir / "link";
        {
            SimPrinter printer({medium, where, "--model", "Q330", "--firmware", "1.21"});
            EXPECT_EQ(printer.Ready(), std::string(medium + 2) + " " + where);
            for (int session = 0; session < 2; ++session) {
                RawLink link = Connect(printer);
                ASSERT_TRUE(link.Valid());
                link.Write(Hex("1D 49 40 27 1D 49 40 A3"));
                EXPECT_NE(ResponseText(link.Read(17)).find("Q330"), std::string::npos);
                EXPECT_EQ(VersionOf(link.Read(6)), "1.21");
            }
            ExpectIdleWithoutCpu(printer.Pid());  // a hung-up pty master, closed FIFO ends
            EXPECT_EQ(printer.Stop(), 0);
        }
        EXPECT_FALSE(Exists(where));
        EXPECT_FALSE(Exists(where + "/to-printer"));
    }
}

// A reset ends a TCP or pty link (the FIFO pair stays); while the printer restarts it neither
// listens nor answers, and once "ready again" it serves a new session.
TEST(PrinterMediaTest, ResetEndsTheLinkAndTheRestartedPrinterAnswers) {
    for (const char* medium : {"--listen", "--pty", "--fifo"}) {
        SCOPED_TRACE(medium);
        ScratchDir dir;
        const std::string where = medium == std::string("--listen") ? "127.0.0.1:0" : dir / "link";
        SimPrinter printer({medium, where, "--reset-ms", "400", "--log", dir / "log"});
        const bool fifo = printer.Kind() == "fifo", tcp = printer.Kind() == "tcp";
        RawLink link = Connect(printer);
        const auto sent = std::chrono::steady_clock::now();
        link.Write(Hex("1D FF"));
        EXPECT_TRUE(fifo || link.WaitEnded(2000)) << "the tool's side must see the end";
        RawLink again = fifo ? std::move(link) : tcp ? RawLink() : Connect(printer);
        if (tcp) {
            EXPECT_FALSE(RawLink::Tcp(printer.Port(), 0).Valid()) << "listening while restarting";
        } else {
            again.Write(Hex("1D 04 01"));
            EXPECT_EQ(again.Read(1, 100), "") << "answered while restarting";
        }
        ASSERT_TRUE(WaitForLogEvent(dir / "log", "ready again"));
        EXPECT_GE(std::chrono::steady_clock::now() - sent, 350ms);
        RawLink next = tcp ? Connect(printer) : std::move(again);
        next.Write(Hex("1D 04 01"));
        EXPECT_EQ(next.Read(1), Hex("12"));
    }
}

// (The drop and silent faults: HostileRunTest, CliTest.SilentPrinterAndFailedFetchGiveNoReport and
// the fault matrix, which need them to strike at their byte.)
TEST(PrinterMediaTest, DelayFault) {
    SimPrinter late({"--listen", "127.0.0.1:0", "--fault", "delay-ms=300"});
    RawLink b = RawLink::Tcp(late.Port());
    const auto sent = std::chrono::steady_clock::now();
    b.Write(Hex("1D 04 01"));
    EXPECT_EQ(b.Read(1), Hex("12"));
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 280ms);
}

// A client that asks and never reads: the printer's answers stay bounded, so it stops taking
// requests (and the writer blocks) long before a megabyte of them has gone in.
TEST(PrinterMediaTest, FifoStopsReadingWhileItsAnswersGoUnread) {
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

TEST(PrinterMediaTest, ConnectsToTheToolsServerAndReconnects) {
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(server, 1), 0);
    socklen_t len = sizeof a;
    ::getsockname(server, reinterpret_cast<sockaddr*>(&a), &len);
    const std::string where = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));

    SimPrinter printer({"--connect", where});
    EXPECT_EQ(printer.Ready(), "tcp-connect " + where);
    for (int round = 0; round < 2; ++round) {
        const int fd = ::accept(server, nullptr, nullptr);
        ASSERT_GE(fd, 0);
        RawLink link(fd, fd);
        link.Write(Hex("1D 49 40 27"));
        EXPECT_EQ(link.Read(17).substr(0, 4), "Q310") << "round " << round;
    }
    ::close(server);
}

TEST(PrinterMediaTest, LogShowsBootPacingAndStoreKeepsTheBody) {
    ScratchDir dir;
    dir.Write("nv.dat", "NV\x02 dump");
    SimPrinter printer({"--listen", "127.0.0.1:0", "--log", dir / "log", "--store", dir / "store",
                        "--capture", dir / "capture", "--paper", dir / "paper", "--nvram",
                        dir / "nv.dat", "--ready-file", dir / "ready"});
    EXPECT_EQ(dir.Read("ready"), "ready " + printer.Ready() + "\n");
    RawLink link = RawLink::Tcp(printer.Port());
    link.Write(Hex("1D 69 4E"));
    EXPECT_EQ(link.Read(8), "NV\x02 dump");  // all of it: a longer read would wait its time out
    // Each piece goes once the printer has read the one before: its reads then show the pieces.
    const std::string body = Pattern(292, 5);
    const std::string boot = Hex("1B 5B 42 24 01 00 00 00") + body;
    std::size_t at = 0;
    for (std::size_t piece : {3, 5, 256}) {
        const std::size_t before = PrinterLog(dir / "log").reads.size();
        link.Write(boot.substr(at, piece));
        at += piece;
        PumpUntil([&] { return PrinterLog(dir / "log").reads.size() > before; });
    }
    link.Write(boot.substr(at));
    link.Write("Thank you\n");
    link.Write(Hex("1D 04 01"));  // answered only once everything before it is taken in
    ASSERT_EQ(link.Read(1), Hex("12"));
    std::vector<std::size_t> counts;
    for (const auto& read : PrinterLog(dir / "log").reads) counts.push_back(read.bytes.size());
    ASSERT_GE(counts.size(), 4u);  // the NVRAM request, then the boot pieces
    EXPECT_EQ(std::vector<std::size_t>(counts.begin(), counts.begin() + 4), (std::vector<std::size_t>{3, 3, 5, 256}));
    EXPECT_EQ(dir.Read("store/boot.bin"), body);
    EXPECT_EQ(dir.Read("capture"), Hex("1D 69 4E") + boot + "Thank you\n" + Hex("1D 04 01"));
    EXPECT_EQ(dir.Read("paper"), "Thank you\n");
}

}  // namespace
}  // namespace posbench::test
