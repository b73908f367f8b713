#include "comm/devices/UsbDevice.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "comm/CommGlobals.h"
#include "comm/ReaderTestSupport.h"
#include "support/TestSupport.h"

namespace posbench::test {
namespace {

using Clock = std::chrono::steady_clock;
using UsbDevice = StepRecorder<clsUSB>;

// A FIFO pair standing in for the printer's pipes; the test holds the printer's ends.
struct FifoPrinter {
    ScratchDir dir;
    int fromHost = -1;  // what the device writes
    int toHost = -1;    // what the device reads
    FifoPrinter() {
        EXPECT_EQ(mkfifo((dir / "out").c_str(), 0600), 0);
        EXPECT_EQ(mkfifo((dir / "in").c_str(), 0600), 0);
        fromHost = open((dir / "out").c_str(), O_RDWR | O_CLOEXEC);
        toHost = open((dir / "in").c_str(), O_RDWR | O_CLOEXEC);
        gsDevicePaths["USB"] = dir / "out" + ", " + dir / "in";
    }
    ~FifoPrinter() {
        close(fromHost);
        close(toHost);
    }
    void Answer(const std::string& bytes) const {
        ASSERT_EQ(write(toHost, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string Heard(int maxMs = 1000) const {
        pollfd p{fromHost, POLLIN, 0};
        if (poll(&p, 1, maxMs) <= 0) return {};
        char buf[256];
        ssize_t n = read(fromHost, buf, sizeof buf);
        return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    }
};

using UsbDeviceTest = NoLeakTest;

TEST_F(UsbDeviceTest, WritesAndReadsThroughThePipePair) {
    FifoPrinter printer;
    UsbDevice dev;
    EXPECT_TRUE(dev.ReadStopped());
    EXPECT_EQ(dev.StopRead(), STOP_R);
    ASSERT_TRUE(dev.OpenComm("USB, N")) << dev.LastError();
    EXPECT_FALSE(dev.PrinterClass());
    EXPECT_TRUE(dev.WriteComm(std::string("\x1B\x00\xFF", 3)));
    EXPECT_TRUE(dev.WriteIsComplete());
    EXPECT_EQ(printer.Heard(), std::string("\x1B\x00\xFF", 3));

    // Block size 0 still reads, one byte per step.
    printer.Answer("abcde");
    dev.ReadCount(5);
    dev.BlockCount(0);
    EXPECT_TRUE(dev.ReadComm(STOP_R_NUM));
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadStopped(); }));
    EXPECT_EQ(dev.steps, (std::vector<int32_t>{1, 1, 1, 1, 1}));
    EXPECT_EQ(dev.GetReadData(), "abcde");
    EXPECT_EQ(dev.ReadCount(), 0);

    // A block larger than the answer asks for all of it at once.
    dev.steps.clear();
    printer.Answer("fghij");
    dev.ReadCount(5);
    dev.BlockCount(8);
    dev.ReadComm(STOP_R_NUM);
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadStopped(); }));
    EXPECT_EQ(dev.steps, std::vector<int32_t>{5});
    EXPECT_EQ(dev.GetReadData(), "fghij");

    // Stop reason 1 ends after the first step that returns.
    dev.steps.clear();
    printer.Answer("0123456789");
    dev.ReadCount(10);
    dev.BlockCount(3);
    dev.ReadComm(STOP_R);
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadStopped(); }));
    EXPECT_EQ(dev.GetReadData(), "012");
    EXPECT_TRUE(dev.CloseComm()) << dev.LastError();
}

TEST_F(UsbDeviceTest, SilentPrinterUnderStopReasonThreeAnswersIdleOnce) {
    FifoPrinter printer;
    UsbDevice dev;
    ManualClock clock;
    dev.PipeTimeout(30);
    ASSERT_TRUE(dev.OpenComm("USB, P")) << dev.LastError();
    EXPECT_TRUE(dev.PrinterClass());
    dev.ReadCount(1);
    dev.BlockCount(1);
    dev.ReadComm(STOP_R_WAIT);
    // Empty reads inside the idle time deliver nothing and the read goes on.
    ASSERT_TRUE(PumpUntil([&] { return dev.steps.size() >= 2; }));
    EXPECT_EQ(dev.steps[0], 0);
    EXPECT_FALSE(dev.ReadStopped());
    EXPECT_FALSE(dev.DataAvailable());
    clock.Advance(kUsbIdleAnswerMs + 1);
    ASSERT_TRUE(PumpUntil([&] { return dev.ReadStopped(); }));
    EXPECT_EQ(dev.steps.back(), 1);
    EXPECT_TRUE(dev.ReadIsComplete());
    EXPECT_EQ(dev.GetReadData(), "\x06");

    // Under a counted read the same silence delivers nothing.
    dev.steps.clear();
    dev.ReadCount(1);
    dev.ReadComm(STOP_R_NUM);
    ASSERT_TRUE(PumpUntil([&] { return dev.steps.size() >= 2; }));
    clock.Advance(kUsbIdleAnswerMs + 1);
    ASSERT_TRUE(PumpUntil([&] { return dev.steps.size() >= 4; }));
    EXPECT_FALSE(dev.DataAvailable());
    EXPECT_FALSE(dev.ReadStopped());
    // Closing while the reader waits on the pipe ends it at once.
    dev.PipeTimeout(kUsbPipeTimeoutMs);
    const auto start = Clock::now();
    EXPECT_TRUE(dev.CloseComm());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(UsbDeviceTest, ForcedShutdownReleasesABlockedRead) {
    FifoPrinter printer;
    UsbDevice dev;
    ASSERT_TRUE(dev.OpenComm("USB, N"));
    EXPECT_TRUE(dev.ReadShutdown(STOP_R_FORCE));
    EXPECT_EQ(printer.Heard(100), "");

    dev.ReadCount(4);
    dev.BlockCount(4);
    dev.ReadComm(STOP_R_NUM);
    std::string heard;
    std::thread answer([&] {
        heard = printer.Heard(2000);
        printer.Answer("\x06");
    });
    const bool stopped = dev.ReadShutdown(STOP_R_FORCE);
    answer.join();
    EXPECT_TRUE(stopped) << dev.LastError();
    EXPECT_EQ(heard, std::string("\x1D\x04\x01"));
    EXPECT_EQ(dev.GetReadData(), "\x06");

    // A printer that stays silent: the wait ends (clock driven) with the shutdown error.
    dev.ReadCount(4);
    dev.ReadComm(STOP_R_NUM);
    {
        ManualClock clock(1000, 50);
        EXPECT_FALSE(dev.ReadShutdown(STOP_R_FORCE));
        EXPECT_EQ(dev.LastError(), "USB ShutDown Error");
    }
    const auto start = Clock::now();
    EXPECT_TRUE(dev.CloseComm());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
}

TEST_F(UsbDeviceTest, MissingDevicesAndPipesAreReported) {
    UsbDevice dev;
    // Native: narrowed to an id no device has.
    gsDevicePaths["USBID"] = "ffff:fffe";
    EXPECT_FALSE(dev.OpenComm("USB, N"));
    EXPECT_EQ(dev.LastError().rfind("EnumDevError: ", 0), 0u) << dev.LastError();
    // Only the exact key selects the printer class.
    dev.InitUSB("USB, p");
    EXPECT_FALSE(dev.PrinterClass());
    if (!std::filesystem::exists("/sys/class/usbmisc/lp0")) {
        EXPECT_FALSE(dev.OpenComm("USB, P"));
        EXPECT_EQ(dev.LastError().rfind("EnumDevError: ", 0), 0u) << dev.LastError();
    }

    ScratchDir dir;
    gsDevicePaths["USB"] = dir / "none-out," + dir / "none-in";
    EXPECT_FALSE(dev.OpenComm("USB, N"));
    EXPECT_EQ(dev.LastError(), "Invalid Write Handle Error: " + std::to_string(ENOENT));
    EXPECT_EQ(dev.LastReason(), dir / "none-out" + ": No such file or directory");
    const std::string out = dir.Write("out", "");
    gsDevicePaths["USB"] = out + "," + dir / "none-in";
    EXPECT_FALSE(dev.OpenComm("USB, N"));
    EXPECT_EQ(dev.LastError(), "Invalid Read Handle Error: " + std::to_string(ENOENT));

    // Nothing open: writes fail, reads report the missing pipe, close has nothing to do.
    EXPECT_FALSE(dev.WriteComm("x"));
    EXPECT_EQ(dev.LastError().rfind("Invalid Write ", 0), 0u);
    EXPECT_TRUE(dev.ReadComm(STOP_R_NUM));
    EXPECT_TRUE(dev.ReadStopped());
    EXPECT_EQ(dev.LastError().rfind("clsUSBRd, StartRead Error: ", 0), 0u) << dev.LastError();
    EXPECT_TRUE(dev.CloseComm());
}

TEST_F(UsbDeviceTest, ReleasingAnOpenDeviceWithPendingAnswersIsSafe) {
    FifoPrinter printer;
    auto* dev = new UsbDevice;
    ASSERT_TRUE(dev->OpenComm("USB, N"));
    dev->ReadCount(3);
    dev->BlockCount(3);
    dev->ReadComm(STOP_R_NUM);
    printer.Answer("ab");  // read and queued for the device, never delivered once it is gone
    int waiting = 1;
    for (int i = 0; i < 300 && waiting > 0; ++i) {
        ioctl(printer.toHost, FIONREAD, &waiting);
        if (waiting > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(waiting, 0) << "the reader took the answer";
    delete dev;
    DoEvents();  // the queued delivery must find no device; the fixture checks no thread or
                 // descriptor is left behind
}

}  // namespace
}  // namespace posbench::test
