#include "comm/devices/TcpDevice.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "comm/ReaderTestSupport.h"
#include "support/TestSupport.h"

namespace posbench::test {
namespace {

using Clock = std::chrono::steady_clock;

// A socket of the test, closed with the object.
struct Sock {
    int fd = -1;
    explicit Sock(int f = -1) : fd(f) {}
    ~Sock() {
        if (fd >= 0) close(fd);
    }
    Sock(const Sock&) = delete;
    Sock& operator=(const Sock&) = delete;
};

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A listening socket on an ephemeral loopback port: the test plays the printer.
int Listen(uint16_t& port, int backlog = 1) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(listen(fd, backlog), 0);
    socklen_t size = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    port = ntohs(a.sin_port);
    return fd;
}

uint16_t FreePort() {
    uint16_t port = 0;
    Sock probe(Listen(port));
    return port;
}

int Connect(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(port);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << errno;
    return fd;
}

void Send(int fd, const std::string& bytes) {
    ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

// Whatever arrives within maxMs (empty when nothing does).
std::string Receive(int fd, int maxMs = 1000) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, maxMs) <= 0) return {};
    char buf[256];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

using TcpDeviceTest = NoLeakTest;
using TcpDevice = StepRecorder<clsTCP>;

// A client connected to the test's printer socket.
struct ClientPair {
    uint16_t port = 0;
    Sock listener;
    TcpDevice dev;
    Sock printer;
    ClientPair() : listener(Listen(port)) {
        EXPECT_TRUE(dev.OpenComm("127.0.0.1:" + std::to_string(port))) << dev.LastError();
        printer.fd = accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
    }
};

TEST_F(TcpDeviceTest, ClientWritesAndReadsCountedBlocks) {
    ClientPair c;
    EXPECT_FALSE(c.dev.ServerMode());
    EXPECT_TRUE(c.dev.WriteComm(std::string("\x1B@\x00\xFF", 4)));
    EXPECT_TRUE(c.dev.WriteIsComplete());
    EXPECT_EQ(Receive(c.printer.fd), std::string("\x1B@\x00\xFF", 4));

    Send(c.printer.fd, "0123456789");
    c.dev.ReadCount(10);
    c.dev.BlockCount(4);
    EXPECT_TRUE(c.dev.ReadComm(STOP_R_NUM));
    EXPECT_FALSE(c.dev.ReadStopped());
    ASSERT_TRUE(PumpUntil([&] { return c.dev.ReadStopped(); }));
    EXPECT_EQ(c.dev.steps, (std::vector<int32_t>{4, 4, 2}));
    EXPECT_TRUE(c.dev.ReadIsComplete());
    EXPECT_TRUE(c.dev.BlockIsComplete());
    EXPECT_EQ(c.dev.GetReadData(), "0123456789");
    EXPECT_EQ(c.dev.ReadCount(), 0);
    EXPECT_FALSE(c.dev.DataAvailable());
    // A complete answer waiting in the buffer is not read again.
    Send(c.printer.fd, "AB");
    c.dev.ReadCount(2);
    c.dev.BlockCount(2);
    EXPECT_TRUE(c.dev.ReadComm(STOP_R_NUM));
    ASSERT_TRUE(PumpUntil([&] { return c.dev.ReadStopped(); }));
    c.dev.steps.clear();
    EXPECT_TRUE(c.dev.PollDev());
    EXPECT_TRUE(c.dev.ReadStopped());
    EXPECT_EQ(c.dev.GetReadData(), "AB");
    EXPECT_TRUE(c.dev.CloseComm()) << c.dev.LastError();
}

TEST_F(TcpDeviceTest, ReadCommDuringARunningReadStartsNoSecondPass) {
    ClientPair c;
    c.dev.ReadCount(4);
    c.dev.BlockCount(2);
    c.dev.ReadComm(STOP_R_NUM);
    c.dev.ReadComm(STOP_R);  // the running read goes on under the new stop reason
    Send(c.printer.fd, "abcd");
    ASSERT_TRUE(PumpUntil([&] { return c.dev.ReadStopped(); }));
    EXPECT_EQ(c.dev.steps, std::vector<int32_t>{2});
    EXPECT_EQ(c.dev.GetReadData(), "ab");

    // Even when told the read has stopped while its step is out, a new read takes over that
    // step instead of reading the stream twice.
    c.dev.steps.clear();
    c.dev.GetReadData();
    c.dev.ReadCount(4);
    c.dev.BlockCount(4);
    c.dev.ReadComm(STOP_R_NUM);
    c.dev.ReadStopped(true);
    c.dev.ReadComm(STOP_R_NUM);
    Send(c.printer.fd, "zz");
    ASSERT_TRUE(PumpUntil([&] { return c.dev.ReadStopped(); }));
    EXPECT_EQ(c.dev.GetReadData(), "cdzz");
    const auto steps = c.dev.steps.size();
    Send(c.printer.fd, "yy");
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(c.dev.steps.size(), steps);
    EXPECT_FALSE(c.dev.DataAvailable());
    EXPECT_TRUE(c.dev.CloseComm());
}

TEST_F(TcpDeviceTest, StopReasonThreeReadsOnUntilForcedStopReleasesIt) {
    ClientPair c;
    c.dev.ReadCount(2);
    c.dev.BlockCount(2);
    c.dev.ReadComm(STOP_R_WAIT);
    Send(c.printer.fd, "12");
    ASSERT_TRUE(PumpUntil([&] { return c.dev.BlockIsComplete(); }));
    EXPECT_FALSE(c.dev.ReadStopped());
    EXPECT_EQ(c.dev.GetReadData(), "12");
    Send(c.printer.fd, "34");
    ASSERT_TRUE(PumpUntil([&] { return c.dev.BlockIsComplete(); }));
    EXPECT_FALSE(c.dev.ReadStopped());

    // The printer answers the release command, which lets the blocked receive return.
    std::string seen;
    std::thread printer([&] {
        seen = Receive(c.printer.fd, 2000);
        send(c.printer.fd, "\x06", 1, MSG_NOSIGNAL);
    });
    const bool stopped = c.dev.ReadShutdown(STOP_R_FORCE);
    printer.join();
    EXPECT_TRUE(stopped) << c.dev.LastError();
    EXPECT_EQ(seen, std::string("\x1D\x04\x01"));
    EXPECT_EQ(c.dev.StopRead(), STOP_R_FORCE);
    EXPECT_TRUE(c.dev.CloseComm());
}

TEST_F(TcpDeviceTest, ShutdownSendsReleaseOnlyWhileReading) {
    ClientPair c;
    EXPECT_TRUE(c.dev.ReadShutdown(STOP_R_FORCE));
    EXPECT_EQ(Receive(c.printer.fd, 100), "");

    // A silent printer: the wait gives up (clock driven) and says so; closing still ends the
    // blocked reader promptly.
    c.dev.ReadCount(5);
    c.dev.ReadComm(STOP_R_NUM);
    {
        ManualClock clock(1000, 50);
        EXPECT_FALSE(c.dev.ReadShutdown(STOP_R_FORCE));
        EXPECT_EQ(c.dev.LastError(), "TCP ShutDown Error");
    }
    EXPECT_EQ(Receive(c.printer.fd), std::string("\x1D\x04\x01"));
    const auto start = Clock::now();
    EXPECT_TRUE(c.dev.CloseComm());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
}

TEST_F(TcpDeviceTest, ServerModeAcceptsOnFirstWriteOrReadAndAgainAfterCountedRead) {
    const uint16_t port = FreePort();
    TcpDevice dev;
    ASSERT_TRUE(dev.OpenComm("server:" + std::to_string(port))) << dev.LastError();
    EXPECT_TRUE(dev.ServerMode());
    EXPECT_FALSE(dev.WriteComm("x"));
    EXPECT_EQ(dev.LastError(), "TCP Write Socket Error" + std::to_string(ENOTCONN));
    {
        // A printer that connected before anything was read: the first write reaches it.
        Sock printer(Connect(port));
        EXPECT_TRUE(PumpUntil([&] { return dev.WriteComm("hi"); }, 1000)) << dev.LastError();
        EXPECT_EQ(Receive(printer.fd), "hi");
        dev.ReadCount(2);
        dev.ReadComm(STOP_R_NUM);
        Send(printer.fd, "ok");
        ASSERT_TRUE(PumpUntil([&] { return dev.ReadStopped(); }));
        EXPECT_EQ(dev.GetReadData(), "ok");
    }
    for (const std::string answer : {"first", "again"}) {
        dev.ReadCount(5);
        dev.BlockCount(8);
        dev.ReadComm(STOP_R_NUM);
        Sock printer(Connect(port));
        Send(printer.fd, answer);
        ASSERT_TRUE(PumpUntil([&] { return dev.ReadStopped(); }));
        EXPECT_EQ(dev.GetReadData(), answer);
        // The counted read ends the connection; the printer sees its end.
        char b;
        EXPECT_EQ(recv(printer.fd, &b, 1, 0), 0);
    }
    EXPECT_TRUE(dev.CloseComm());
}

TEST_F(TcpDeviceTest, PeerThatDisappearsEndsTheReadAndWritesFail) {
    ClientPair c;
    c.dev.ReadCount(5);
    c.dev.ReadComm(STOP_R_NUM);
    close(c.printer.fd);
    c.printer.fd = -1;
    ASSERT_TRUE(PumpUntil([&] { return c.dev.ReadStopped(); }));
    EXPECT_FALSE(c.dev.DataAvailable());
    // The first send may still be taken by the system; a later one reports the reset.
    bool failed = false;
    for (int i = 0; i < 20 && !failed; ++i) {
        failed = !c.dev.WriteComm("data");
        if (!failed) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(failed);
    EXPECT_EQ(c.dev.LastError().rfind("TCP Write Socket Error", 0), 0u) << c.dev.LastError();
    EXPECT_TRUE(c.dev.CloseComm());
}

TEST_F(TcpDeviceTest, ConnectFailuresAreReportedAndBounded) {
    TcpDevice dev;
    const std::string refused = "127.0.0.1:" + std::to_string(FreePort());
    EXPECT_FALSE(dev.OpenComm(refused));
    EXPECT_EQ(dev.LastError(), "TCP Connect Error: " + std::to_string(ECONNREFUSED));
    EXPECT_EQ(dev.LastReason(), refused + ": Connection refused");
    EXPECT_FALSE(dev.OpenComm("not an address"));
    EXPECT_EQ(dev.LastError(), "TCP Connect Error: Name or service not known");
    EXPECT_FALSE(dev.OpenComm("127.0.0.1:99999"));
    uint16_t port = 0;
    {
        Sock named(Listen(port));
        EXPECT_TRUE(dev.OpenComm("localhost:" + std::to_string(port))) << dev.LastError();
        EXPECT_TRUE(dev.CloseComm());
    }

    // A printer that does not answer: a listener whose accept queue is full drops new
    // connection requests, so the connect hangs until the device gives up.
    Sock listener(Listen(port, 0));
    std::vector<int> queued;
    for (int i = 0; i < 4; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a = Loopback(port);
        // On loopback the handshake runs inside connect: the queue is full when it returns.
        connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        queued.push_back(fd);
    }
    dev.ConnectTimeout(400);
    int pumped = 0;
    SetWindowPump([&] { ++pumped; });
    const auto start = Clock::now();
    EXPECT_FALSE(dev.OpenComm("127.0.0.1:" + std::to_string(port)));
    const auto took = Clock::now() - start;
    EXPECT_EQ(dev.LastError(), "TCP Connect Error: " + std::to_string(ETIMEDOUT));
    EXPECT_GE(took, std::chrono::milliseconds(350));
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    EXPECT_GT(pumped, 5);  // events kept flowing while it waited
    for (int fd : queued) close(fd);
}

TEST_F(TcpDeviceTest, ReleasingAnOpenDeviceWithBlockedReaderLeavesNothingBehind) {
    ClientPair* c = new ClientPair;
    c->dev.ReadCount(5);
    c->dev.ReadComm(STOP_R_NUM);
    Send(c->printer.fd, "ab");  // arrives after release: must not reach a gone device
    const auto start = Clock::now();
    delete c;
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
    DoEvents();
}

}  // namespace
}  // namespace posbench::test
