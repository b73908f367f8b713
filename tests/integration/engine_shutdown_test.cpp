// The program's end: every port closed and no thread of its devices left while a read still
// waits on a silent printer, and an end whose close hangs still ends, within its bound.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "app/Engine.h"
#include "comm/CommGlobals.h"
#include "comm/PortTable.h"
#include "support/FakeDevice.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench::test {
namespace {

class EngineShutdownTest : public testing::TestWithParam<Medium> {};

// Fault caught: a shutdown that leaves a thread blocked in a read or the printer's connection
// open (the program "ended" holding the device).
TEST_P(EngineShutdownTest, ClosesEveryPortAndLeavesNoThreadWhileAReadWaits) {
    ScratchDir dir;
    MediumPrinter started = StartOnMedium(GetParam(), {}, dir / "usb");
    const long threads = EntriesIn("/proc/self/task");
    const long descriptors = EntriesIn("/proc/self/fd");
    gsProgramDir = dir.path().string();
    std::ofstream(dir / "Startup.ini") << started.startupIni;

    Engine engine;
    ASSERT_TRUE(engine.Start()) << gsCommErr;
    Device& device = gcolDevices.Item(1);
    device.ReadCount(16);
    ASSERT_TRUE(device.ReadComm(STOP_R_NUM)) << device.LastError();  // unasked, nothing comes

    EXPECT_EQ(engine.Shutdown(0), 0);
    EXPECT_EQ(gcolDevices.Count(), 0);
    EXPECT_EQ(EntriesIn("/proc/self/task"), threads);
    EXPECT_EQ(EntriesIn("/proc/self/fd"), descriptors);
}

INSTANTIATE_TEST_SUITE_P(Media, EngineShutdownTest, testing::Values(Medium::Tcp, Medium::Fifo),
                         MediumName());

// A driver that never answers a close.
class HangingDevice : public FakeDevice {
public:
    bool CloseComm() override {
        std::this_thread::sleep_for(std::chrono::hours(1));
        return true;
    }
};

// Fault caught: a program whose end waits for ever on one port.
TEST(EngineShutdownDeathTest, ACloseThatHangsEndsTheProcessWithItsStatusAfterTheBound) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
            Engine engine(std::chrono::milliseconds(200));
            gcolDevices.Add("COM1", std::make_unique<HangingDevice>());
            engine.Shutdown(7);
        },
        testing::ExitedWithCode(7), "");
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
}

}  // namespace
}  // namespace posbench::test
