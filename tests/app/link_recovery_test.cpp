// Link recovery on a driven clock: close, settle time, reopen, retries and giving up, with the
// 500 ms tick run from TickCount.
#include "app/LinkRecovery.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/MainLoop.h"
#include "base/Events.h"
#include "comm/CommGlobals.h"
#include "comm/PortTable.h"
#include "support/FakeDevice.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::FakeDevice;
using test::ManualClock;
using test::RecordingStatusList;
using Lines = std::vector<std::string>;

// A printer link that can refuse to come back.
class FlakyDevice : public FakeDevice {
public:
    bool OpenComm(const std::string& name) override {
        ++opens;
        if (refuse) {
            mstrLastError = "TCP Connect Error: 111";
            return false;
        }
        return FakeDevice::OpenComm(name);
    }
    int opens = 0;
    bool refuse = false;
};

class RecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetStatusList(&status);
        gcolDevices.Clear();
        // The reopen's own one-second pause pumps events; each pump moves the clock on.
        SetWindowPump([this] { clock.Advance(100); });
    }
    void TearDown() override { gcolDevices.Clear(); }

    FlakyDevice& Port(const std::string& entry, const std::string& key) {
        gsPortTable.push_back(entry);
        giNumPorts = static_cast<int16_t>(gsPortTable.size());
        auto device = std::make_unique<FlakyDevice>();
        FlakyDevice& ref = *device;
        ref.isOpen = true;
        gcolDevices.Add(key, std::move(device));
        return ref;
    }
    // Moves the clock on in steps of the tick, polling as the main loop does.
    void RunFor(uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += 100) {
            clock.Advance(100);
            timers.Poll();
        }
    }

    ManualClock clock{5000};
    RecordingStatusList status;
    LinkRecovery timers;
};

// A TCP link that comes back after its 11 s settle ("TCP open") is
// CliAutomationTest.TwoPortsFlashAtOnceEachWithItsOwnStatusStreamAndTrace's.
TEST_F(RecoveryTest, PrinterThatNeverComesBackIsTriedSixTimesThenGivenUp) {
    FlakyDevice& tcp = Port("TCP, 127.0.0.1, ON", "TCP");
    tcp.refuse = true;
    timers.InitializeTimeout(1, 300);
    RunFor(1000 + 11000 + 500);
    EXPECT_EQ(tcp.opens, 1);
    RunFor(4 * 2000);
    EXPECT_EQ(tcp.opens, 5);
    EXPECT_TRUE(timers.InProgress(1));
    RunFor(2000 + 1000);
    EXPECT_EQ(tcp.opens, 6);
    EXPECT_FALSE(timers.InProgress(1));
    EXPECT_TRUE(timers.LinkClosed(1));
    ASSERT_EQ(status.lines.size(), 7u);
    EXPECT_EQ(status.lines.front(), "TCP Connect Error: 111");
    EXPECT_EQ(status.lines.back(), "Unable to re-establish TCP Link");
    RunFor(10000);
    EXPECT_EQ(tcp.opens, 6);  // no timer runs any more
    EXPECT_EQ(gsPortTable(1), "TCP, 127.0.0.1, OFF");
}

TEST_F(RecoveryTest, StartupShowsTheFailureAfterTheWindowExists) {
    test::ScratchDir home;
    gsProgramDir = home.path().string();
    home.Write("Startup.ini", "[Communication]\nCOM9=9600\nXYZ=1\nLPT1=ON\n[Devices]\nLPT1=" +
                                  (home / "missing") + "\n");
    Lines seenAtWindow;
    EXPECT_FALSE(RunStartup([&] { seenAtWindow = status.lines; }));
    EXPECT_TRUE(seenAtWindow.empty());
    ASSERT_GE(status.lines.size(), 2u);
    EXPECT_EQ(status.lines[0].rfind("Port: 1.  ", 0), 0u) << status.lines[0];
    EXPECT_EQ(status.lines[1].rfind(home / "missing" + ": ", 0), 0u) << status.lines[1];
    EXPECT_EQ(gsPortTable(1), "LPT1, OFF");
    EXPECT_EQ(giMaxPorts, 1);
}

}  // namespace
}  // namespace posbench
