// The simulated printer over TCP, from a plain socket client: both directions of connection,
// flashing, faults, the image transfer and the pacing log.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "integration/RawLink.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench::test {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> Listen(std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--listen", "127.0.0.1:0"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// A reset and the drop fault each end the connection; the printer then serves a new one (after
// the reset time, for a reset).
TEST(PrinterTcpTest, ResetAndDropEndTheLinkAndTheNextConnectionIsServed) {
    struct Case { std::vector<std::string> args; std::string send, answer; bool reset; };
    for (const Case& c : {Case{{"--reset-ms", "400"}, Hex("1D FF"), "", true},
                          Case{{"--fault", "drop-after=6"}, Hex("1D 04 01 1D 04 01 1D 04 01"),
                               Hex("12 12"), false}}) {
        SimPrinter printer(Listen(c.args));
        RawLink link = RawLink::Tcp(printer.Port());
        const auto sent = std::chrono::steady_clock::now();
        link.Write(c.send);
        EXPECT_EQ(link.Read(3, 1000), c.answer);  // the third request came after the drop
        EXPECT_TRUE(link.WaitEnded(2000));
        if (c.reset) { EXPECT_FALSE(RawLink::Tcp(printer.Port(), 0).Valid()) << "listening while restarting"; }
        RawLink next = RawLink::Tcp(printer.Port(), 3000);
        ASSERT_TRUE(next.Valid());
        if (c.reset) { EXPECT_GE(std::chrono::steady_clock::now() - sent, 350ms); }
        next.Write(Hex("1D 04 01"));
        EXPECT_EQ(next.Read(1), Hex("12"));
    }
}

TEST(PrinterTcpTest, SilentAndDelayFaults) {
    SimPrinter silent(Listen({"--fault", "silent-after=3"}));
    RawLink a = RawLink::Tcp(silent.Port());
    a.Write(Hex("1D 04 01 1D 04 01"));
    EXPECT_EQ(a.Read(2, 500), Hex("12"));

    SimPrinter late(Listen({"--fault", "delay-ms=300"}));
    RawLink b = RawLink::Tcp(late.Port());
    const auto sent = std::chrono::steady_clock::now();
    b.Write(Hex("1D 04 01"));
    EXPECT_EQ(b.Read(1), Hex("12"));
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 280ms);
}

TEST(PrinterTcpTest, ConnectsToTheToolsServerAndReconnects) {
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

TEST(PrinterTcpTest, LogShowsBootPacingAndStoreKeepsTheBody) {
    ScratchDir dir;
    dir.Write("nv.dat", "NV\x02 dump");
    SimPrinter printer(Listen({"--log", dir / "log", "--store", dir / "store", "--capture",
                               dir / "capture", "--paper", dir / "paper", "--nvram",
                               dir / "nv.dat", "--ready-file", dir / "ready"}));
    EXPECT_EQ(dir.Read("ready"), "ready " + printer.Ready() + "\n");
    RawLink link = RawLink::Tcp(printer.Port());
    link.Write(Hex("1D 69 4E"));
    EXPECT_EQ(link.Read(9), "NV\x02 dump");
    // The sizes of the printer's reads, from its log (event lines left out).
    auto reads = [&] {
        std::vector<std::size_t> counts;
        std::istringstream log(dir.Read("log"));
        for (std::string line; std::getline(log, line);) {
            std::istringstream fields(line);
            std::string ms, count;
            if (fields >> ms >> count && count != "#") counts.push_back(std::stoul(count));
        }
        return counts;
    };
    // Each piece goes once the printer has read the one before: its reads then show the pieces.
    const std::string body = Pattern(292, 5);
    const std::string boot = Hex("1B 5B 42 24 01 00 00 00") + body;
    std::size_t at = 0;
    for (std::size_t piece : {3, 5, 256}) {
        const std::size_t before = reads().size();
        link.Write(boot.substr(at, piece));
        at += piece;
        for (int i = 0; i < 300 && reads().size() == before; ++i) std::this_thread::sleep_for(10ms);
    }
    link.Write(boot.substr(at));
    link.Write("Thank you\n");
    link.Write(Hex("1D 04 01"));  // answered only once everything before it is taken in
    ASSERT_EQ(link.Read(1), Hex("12"));
    const auto counts = reads();
    ASSERT_GE(counts.size(), 4u);  // the NVRAM request, then the boot pieces
    EXPECT_EQ(std::vector<std::size_t>(counts.begin(), counts.begin() + 4), (std::vector<std::size_t>{3, 3, 5, 256}));
    EXPECT_EQ(dir.Read("store/boot.bin"), body);
    EXPECT_EQ(dir.Read("capture"), Hex("1D 69 4E") + boot + "Thank you\n" + Hex("1D 04 01"));
    EXPECT_EQ(dir.Read("paper"), "Thank you\n");
}

}  // namespace
}  // namespace posbench::test
