// The simulated printer on each of its media from a plain client of raw sockets, the pty slave
// and the FIFOs, which shares nothing with the engine's devices, so a failure points at the
// printer alone (the engine's own tests run its protocol): sessions that close and reopen,
// tidying up on exit, a reset ending the link, both directions of TCP connection, a bounded
// output buffer, and what it keeps and serves from files.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/PrinterBytes.h"
#include "support/PrinterLog.h"
#include "support/RawLink.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench::test {
namespace {

using namespace std::chrono_literals;

// CPU time (user + system) a process has used so far, from /proc/PID/stat.
std::chrono::milliseconds CpuTimeOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));  // the name may hold blanks
    std::string skip;
    for (int i = 3; i < 14; ++i) fields >> skip;  // state .. cmajflt
    long long utime = 0, stime = 0;
    fields >> utime >> stime;
    return std::chrono::milliseconds((utime + stime) * 1000 / sysconf(_SC_CLK_TCK));
}

RawLink Connect(const SimPrinter& printer) {
    if (printer.Kind() == "tcp") return RawLink::Tcp(printer.Port());
    return printer.Kind() == "pty" ? RawLink::Pty(printer.Path()) : RawLink::Fifo(printer.Path());
}

// An idle printer uses no CPU after its client has gone; the endpoints go with the printer. (Its
// answers across sessions: the engine's end-to-end runs, which open the port again and again.)
TEST(PrinterMediaTest, IdlesAfterASessionAndTidiesUp) {
    for (const char* medium : {"--pty", "--fifo"}) {
        SCOPED_TRACE(medium);
        ScratchDir dir;
        const std::string where = dir / "link";
        {
            SimPrinter printer({medium, where});
            EXPECT_EQ(printer.Ready(), std::string(medium + 2) + " " + where);
            {
                RawLink link = Connect(printer);
                link.Write(Hex("1D 04 01"));
                EXPECT_EQ(link.Read(1), Hex("12"));
            }
            // Nothing to do: it sleeps in poll, using a few ticks of CPU over a quiet 300 ms, never
            // the most of it that a loop over a hung-up pty master or closed FIFO ends would.
            const auto before = CpuTimeOf(printer.Pid());
            std::this_thread::sleep_for(300ms);
            EXPECT_LT(CpuTimeOf(printer.Pid()) - before, 60ms) << "the printer spins";
            EXPECT_EQ(printer.Stop(), 0);
        }
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(where)));
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

// What the printer keeps and serves from files, and the delay fault. (The log's pieces of a boot
// download and the body kept: DownloadTest. The drop and silent faults: HostileRunTest,
// CliTest.SilentPrinterAndFailedFetchGiveNoReport and the fault matrix, which need them to strike
// at their byte.)
TEST(PrinterMediaTest, CaptureNvramReadyFileAndDelayFault) {
    ScratchDir dir;
    dir.Write("nv.dat", "NV\x02 dump");
    SimPrinter printer({"--listen", "127.0.0.1:0", "--capture", dir / "capture", "--paper",
                        dir / "paper", "--nvram", dir / "nv.dat", "--ready-file", dir / "ready",
                        "--fault", "delay-ms=300"});
    EXPECT_EQ(dir.Read("ready"), "ready " + printer.Ready() + "\n");
    RawLink link = RawLink::Tcp(printer.Port());
    const auto sent = std::chrono::steady_clock::now();
    link.Write(Hex("1D 69 4E"));
    EXPECT_EQ(link.Read(8), "NV\x02 dump");  // all of it: a longer read would wait its time out
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 280ms);
    link.Write("Thank you\n" + Hex("1B 21 30 1D 04 01"));
    ASSERT_EQ(link.Read(1), Hex("12"));
    EXPECT_EQ(dir.Read("capture"), Hex("1D 69 4E") + "Thank you\n" + Hex("1B 21 30 1D 04 01"));
    EXPECT_EQ(dir.Read("paper"), "Thank you\n");
}

}  // namespace
}  // namespace posbench::test
