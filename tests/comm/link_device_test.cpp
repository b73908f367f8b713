// The one device of the TCP and USB ports, over a TCP connection and over the FIFO pair of a USB
// printer, with the test playing the printer. Where the media behave alike the cases run on both.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "comm/CommGlobals.h"
#include "comm/devices/TcpDevice.h"
#include "comm/devices/UsbDevice.h"
#include "support/RawLink.h"
#include "support/TestSupport.h"
#include "support/Wait.h"

namespace posbench::test {
namespace {

using Clock = std::chrono::steady_clock;
enum class Link { Tcp, Fifo };

// Fails a test that leaves a descriptor open or a thread running.
class NoLeakTest : public testing::Test {
protected:
    void SetUp() override {
        // Sanitizer runtimes start a helper thread with the first thread of the process.
        static std::once_flag warmedUp;
        std::call_once(warmedUp, [] { std::thread([] {}).join(); });
        fds_ = EntriesIn("/proc/self/fd");
        threads_ = EntriesIn("/proc/self/task");
    }
    void TearDown() override {
        DiscardNotices();
        EXPECT_EQ(EntriesIn("/proc/self/fd"), fds_) << "descriptor leaked";
        EXPECT_EQ(EntriesIn("/proc/self/task"), threads_) << "thread left running";
    }

private:
    long fds_ = 0;
    long threads_ = 0;
};

// Records the size of every read step a device reports.
template <class DeviceClass>
class StepRecorder : public DeviceClass {
public:
    void ReadTh_oRead(int32_t NumRcvd, const std::string& data) override {
        steps.push_back(NumRcvd);
        DeviceClass::ReadTh_oRead(NumRcvd, data);
    }
    std::vector<int32_t> steps;
};

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A listening socket on an ephemeral loopback port (closed by the caller).
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

// Whatever arrives on fd within maxMs (empty when nothing does).
std::string Heard(int fd, int maxMs = 1000) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, maxMs) <= 0) return {};
    char buf[256];
    ssize_t n = read(fd, buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// A device on its link, the test holding the printer's end: toPrinter carries what the device
// writes, fromPrinter what it reads (one socket on TCP, two FIFOs on USB).
struct Rig {
    explicit Rig(Link link) {
        if (link == Link::Tcp) {
            uint16_t port = 0;
            const int listener = Listen(port);
            auto tcp = std::make_unique<StepRecorder<clsTCP>>();
            EXPECT_TRUE(tcp->OpenComm("127.0.0.1:" + std::to_string(port))) << tcp->LastError();
            toPrinter = fromPrinter = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            close(listener);
            steps = &tcp->steps;
            dev = std::move(tcp);
            return;
        }
        dir = std::make_unique<ScratchDir>();
        EXPECT_EQ(mkfifo((*dir / "out").c_str(), 0600), 0);
        EXPECT_EQ(mkfifo((*dir / "in").c_str(), 0600), 0);
        toPrinter = open((*dir / "out").c_str(), O_RDWR | O_CLOEXEC);
        gsDevicePaths["USB"] = *dir / "out" + ", " + *dir / "in";
        auto usb = std::make_unique<StepRecorder<clsUSB>>();
        EXPECT_TRUE(usb->OpenComm("USB, N")) << usb->LastError();
        // Opened after the device's read end, as a printer starting later: its close is then
        // the end of the stream the device sees.
        fromPrinter = open((*dir / "in").c_str(), O_WRONLY | O_CLOEXEC);
        steps = &usb->steps;
        dev = std::move(usb);
    }
    ~Rig() {
        dev.reset();
        if (toPrinter >= 0) close(toPrinter);
        if (fromPrinter >= 0 && fromPrinter != toPrinter) close(fromPrinter);
    }
    void Answer(const std::string& bytes) const {
        ASSERT_EQ(write(fromPrinter, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Starts a read of count in steps of block under reason.
    bool Arm(int32_t count, int32_t block, int32_t reason) const {
        dev->ReadCount(count);
        dev->BlockCount(block);
        return dev->ReadComm(reason);
    }
    // A read of count under reason, polled as the engine does until it has stopped.
    std::string Read(int32_t count, int32_t block, int32_t reason) const {
        EXPECT_TRUE(Arm(count, block, reason)) << dev->LastError();
        EXPECT_TRUE(PumpUntil([&] {
            dev->DataAvailable();  // polled as the engine polls: the read moves on
            return dev->ReadStopped();
        }));
        return dev->GetReadData();
    }

    std::unique_ptr<ScratchDir> dir;
    std::unique_ptr<LinkDevice> dev;
    std::vector<int32_t>* steps = nullptr;
    int toPrinter = -1;
    int fromPrinter = -1;
};

using LinkDeviceTcp = NoLeakTest;
using LinkDeviceUsb = NoLeakTest;
class LinkDeviceTest : public NoLeakTest, public testing::WithParamInterface<Link> {};

TEST_P(LinkDeviceTest, CountedReadTakesWhatHasArrivedInOneStepAndNoMore) {
    Rig r(GetParam());
    EXPECT_TRUE(r.dev->WriteComm(std::string("\x1B@\x00\xFF", 4)));
    EXPECT_TRUE(r.dev->WriteIsComplete());
    EXPECT_EQ(Heard(r.toPrinter), std::string("\x1B@\x00\xFF", 4));

    // Block size 1 no longer means a read per byte; the count bounds the read exactly.
    r.Answer("0123456789AB");
    EXPECT_EQ(r.Read(10, 1, STOP_R_NUM), "0123456789");
    EXPECT_EQ(*r.steps, std::vector<int32_t>{10});
    EXPECT_EQ(r.dev->ReadCount(), 0);
    EXPECT_FALSE(r.dev->DataAvailable());
    EXPECT_EQ(r.Read(2, 2, STOP_R_NUM), "AB");
    // A reply in pieces is read on until the count.
    r.steps->clear();
    r.Arm(4, 4, STOP_R_NUM);
    r.Answer("wx");
    ASSERT_TRUE(PumpUntil([&] { return r.dev->DataAvailable(); }));
    EXPECT_FALSE(r.dev->ReadIsComplete());
    r.Answer("yz");
    ASSERT_TRUE(PumpUntil([&] { return r.dev->ReadIsComplete(); }));
    EXPECT_EQ(*r.steps, (std::vector<int32_t>{2, 2}));
    EXPECT_TRUE(r.dev->ReadStopped());
    EXPECT_EQ(r.dev->GetReadData(), "wxyz");

    // Stop reason 1 ends after one step of at most the block size; the rest stays unread.
    r.Answer("0123456789");
    EXPECT_EQ(r.Read(10, 3, STOP_R), "012");
    // A complete answer waiting in the buffer is not read again.
    r.Arm(3, 3, STOP_R_NUM);
    ASSERT_TRUE(PumpUntil([&] { return r.dev->ReadIsComplete(); }));
    r.steps->clear();
    EXPECT_TRUE(r.dev->PollDev());
    EXPECT_TRUE(r.dev->ReadStopped());
    EXPECT_TRUE(r.steps->empty());
    EXPECT_EQ(r.dev->GetReadData(), "345");
    EXPECT_TRUE(r.dev->CloseComm()) << r.dev->LastError();
}

TEST_P(LinkDeviceTest, ReadCommDuringARunningReadGoesOnUnderTheNewReason) {
    Rig r(GetParam());
    r.Arm(4, 2, STOP_R_NUM);
    // Waiting on the printer: the engine loop sleeps on the link's descriptor.
    EXPECT_FALSE(r.dev->ReadIsComplete());
    EXPECT_FALSE(WatchedInputs().empty());
    r.dev->ReadComm(STOP_R);
    r.Answer("abcd");
    ASSERT_TRUE(PumpUntil([&] { return r.dev->DataAvailable(); }));
    EXPECT_TRUE(r.dev->ReadStopped());
    EXPECT_EQ(r.dev->GetReadData(), "ab");
    EXPECT_TRUE(WatchedInputs().empty());
    EXPECT_TRUE(r.dev->CloseComm());
}

TEST_P(LinkDeviceTest, ForcedShutdownSendsTheReleaseOnlyWhileReading) {
    Rig r(GetParam());
    EXPECT_TRUE(r.dev->ReadShutdown(STOP_R_FORCE));
    EXPECT_EQ(Heard(r.toPrinter, 100), "");

    // The printer answers the release command, which ends the waiting read.
    r.Arm(4, 4, STOP_R_NUM);
    std::string seen;
    std::thread printer([&] {
        seen = Heard(r.toPrinter, 2000);
        r.Answer("\x06");
    });
    const bool stopped = r.dev->ReadShutdown(STOP_R_FORCE);
    printer.join();
    EXPECT_TRUE(stopped) << r.dev->LastError();
    EXPECT_EQ(seen, std::string("\x1D\x04\x01"));
    EXPECT_EQ(r.dev->GetReadData(), "\x06");

    // A printer that stays silent: the wait gives up (clock driven) and says so.
    r.dev->PipeTimeout(60000);
    {
        ManualClock clock(1000, 500);
        r.dev->ReadCount(5);
        r.dev->ReadComm(STOP_R_NUM);
        EXPECT_FALSE(r.dev->ReadShutdown(STOP_R_FORCE));
        EXPECT_EQ(r.dev->LastError(), GetParam() == Link::Tcp ? "TCP ShutDown Error" : "USB ShutDown Error");
    }
    EXPECT_EQ(Heard(r.toPrinter), std::string("\x1D\x04\x01"));
    EXPECT_TRUE(r.dev->CloseComm());
    EXPECT_TRUE(WatchedInputs().empty());
}

INSTANTIATE_TEST_SUITE_P(, LinkDeviceTest, testing::Values(Link::Tcp, Link::Fifo),
                         [](const auto& p) { return p.param == Link::Tcp ? "Tcp" : "Fifo"; });

// Under stop reason 3 a silent USB printer's empty pipe read is its idle answer 06.
TEST_F(LinkDeviceUsb, SilenceUnderStopReasonThreeIsTheIdleAnswer) {
    Rig r(Link::Fifo);
    ManualClock clock;
    r.dev->PipeTimeout(30);
    r.Arm(1, 1, STOP_R_WAIT);
    clock.Advance(40);  // an empty pipe read inside the idle time delivers nothing
    EXPECT_FALSE(r.dev->DataAvailable());
    EXPECT_EQ(*r.steps, std::vector<int32_t>{0});
    EXPECT_FALSE(r.dev->ReadStopped());
    clock.Advance(kUsbIdleAnswerMs + 1);
    EXPECT_TRUE(r.dev->ReadIsComplete());
    EXPECT_TRUE(r.dev->ReadStopped());
    EXPECT_TRUE(r.dev->AnswerMadeUp());
    EXPECT_EQ(r.dev->GetReadData(), "\x06");
    // Under a counted read the same silence delivers nothing.
    r.dev->ReadCount(1);
    r.dev->ReadComm(STOP_R_NUM);
    clock.Advance(kUsbIdleAnswerMs + 1);
    EXPECT_FALSE(r.dev->ReadIsComplete());
    EXPECT_FALSE(r.dev->ReadStopped());
    EXPECT_FALSE(r.dev->AnswerMadeUp());
}

TEST_F(LinkDeviceTcp, ServerAcceptsOnFirstWriteOrReadAndAgainAfterCountedRead) {
    uint16_t port = 0;
    close(Listen(port));
    StepRecorder<clsTCP> dev;
    ASSERT_TRUE(dev.OpenComm("server:" + std::to_string(port))) << dev.LastError();
    EXPECT_TRUE(dev.ServerMode());
    EXPECT_FALSE(dev.WriteComm("x"));
    EXPECT_EQ(dev.LastError(), "TCP Write Socket Error" + std::to_string(ENOTCONN));
    {
        // A printer that connected before anything was read: the first write reaches it.
        RawLink printer = RawLink::Tcp(port);
        EXPECT_TRUE(PumpUntil([&] { return dev.WriteComm("hi"); }, 1000)) << dev.LastError();
        EXPECT_EQ(printer.Read(2), "hi");
        dev.ReadCount(2);
        dev.ReadComm(STOP_R_NUM);
        printer.Write("ok");
        ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
        EXPECT_EQ(dev.GetReadData(), "ok");
    }
    for (const std::string answer : {"first", "again"}) {
        dev.ReadCount(5);
        dev.BlockCount(8);
        dev.ReadComm(STOP_R_NUM);
        EXPECT_FALSE(dev.ReadIsComplete());
        RawLink printer = RawLink::Tcp(port);
        printer.Write(answer);
        ASSERT_TRUE(PumpUntil([&] { return dev.ReadIsComplete(); }));
        EXPECT_EQ(dev.GetReadData(), answer);
        EXPECT_TRUE(printer.WaitEnded(3000)) << "the counted read ends the connection";
    }
    EXPECT_TRUE(dev.CloseComm());
}

TEST_F(LinkDeviceTcp, ConnectFailuresAreReportedAndBounded) {
    clsTCP dev;
    uint16_t port = 0;
    close(Listen(port));
    EXPECT_FALSE(dev.OpenComm("127.0.0.1:" + std::to_string(port)));
    EXPECT_FALSE(dev.OpenComm("not an address"));
    EXPECT_EQ(dev.LastError(), "TCP Connect Error: Name or service not known");
    EXPECT_FALSE(dev.OpenComm("127.0.0.1:99999"));

    // A printer that does not answer: a listener whose accept queue is full drops new
    // connection requests, so the connect hangs until the device gives up.
    const int listener = Listen(port, 0);
    std::vector<int> queued;
    for (int i = 0; i < 4; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a = Loopback(port);
        connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        queued.push_back(fd);
    }
    dev.ConnectTimeout(200);
    int pumped = 0;
    SetWindowPump([&] { ++pumped; });
    const auto start = Clock::now();
    EXPECT_FALSE(dev.OpenComm("localhost:" + std::to_string(port)));
    const auto took = Clock::now() - start;
    EXPECT_EQ(dev.LastError(), "TCP Connect Error: " + std::to_string(ETIMEDOUT));
    EXPECT_GE(took, std::chrono::milliseconds(180));
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    EXPECT_GT(pumped, 5);  // events kept flowing while it waited
    for (int fd : queued) close(fd);
    close(listener);
}

TEST_F(LinkDeviceUsb, MissingDevicesAndPipesAreReported) {
    clsUSB dev;
    gsDevicePaths["USBID"] = "ffff:fffe";  // native, narrowed to an id no device has
    EXPECT_FALSE(dev.OpenComm("USB, N"));
    EXPECT_EQ(dev.LastError().rfind("EnumDevError: ", 0), 0u) << dev.LastError();
    EXPECT_FALSE(dev.OpenComm("USB, P"));  // a test machine has no USB printer-class device
    EXPECT_TRUE(dev.PrinterClass());
    EXPECT_EQ(dev.LastError(), "EnumDevError: " + std::to_string(ENODEV));

    ScratchDir dir;
    gsDevicePaths["USB"] = dir / "none-out," + dir / "none-in";
    EXPECT_FALSE(dev.OpenComm("USB, N"));
    EXPECT_EQ(dev.LastError(), "Invalid Write Handle Error: " + std::to_string(ENOENT));
    const std::string out = dir.Write("out", "");
    gsDevicePaths["USB"] = out + "," + dir / "none-in";
    EXPECT_FALSE(dev.OpenComm("USB, N"));
    EXPECT_EQ(dev.LastError(), "Invalid Read Handle Error: " + std::to_string(ENOENT));
    // Nothing open: a write fails, and a read cannot start (a read left waiting would hang).
    EXPECT_FALSE(dev.WriteComm("x"));
    EXPECT_FALSE(dev.ReadComm(STOP_R_NUM));
    EXPECT_TRUE(dev.ReadStopped());
}

}  // namespace
}  // namespace posbench::test
