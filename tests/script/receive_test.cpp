#include "script/Receive.h"

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/File.h"
#include "base/Tick.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/Device.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "script/ScriptState.h"
#include "support/FakeDevice.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::ManualClock;
using test::RecordingResponseBox;
using test::RecordingStatusList;
using test::ScratchDir;
using namespace std::string_literals;

using test::FakeDevice;

// A TCP device whose listening socket cannot be set up.
class RefusingDevice : public FakeDevice {
public:
    bool OpenComm(const std::string& name) override {
        openedWith = name;
        mstrLastError = "TCP Connect Error: 10048";
        return false;
    }
};

class ReceiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetStatusList(&status);
        SetResponseBox(&box);
        gcolDevices.Clear();
        auto owned = std::make_unique<FakeDevice>();
        device = owned.get();
        gcolDevices.Add("COM1", std::move(owned));
    }
    void TearDown() override { gcolDevices.Clear(); }

    // Hands one received block to the port as the state machine would.
    void Receive(const std::string& block) {
        device->Deliver(block);
        GetAndProcessRead(1);
    }
    bool Shown(const std::string& line) const {
        for (const auto& l : status.lines)
            if (l == line) return true;
        return false;
    }
    PortState& ps() { return gPortState(1); }

    static std::string ImageHeader(uint32_t size) {
        std::string h(10, 'H');
        for (int i = 0; i < 4; ++i) h += static_cast<char>((size >> (8 * i)) & 0xFF);
        return h;
    }

    RecordingStatusList status;
    RecordingResponseBox box;
    FakeDevice* device = nullptr;
};

// ---- WAIT forms ----

TEST_F(ReceiveTest, RcvtSendsItsDataAndWaitsForTheCount) {
    ProcessWaitCommand(1, "RCVT(3)1B 40");
    EXPECT_EQ(gsOutData, "\x1b\x40");
    EXPECT_EQ(glOutCount, 3);
    EXPECT_EQ(ps().ExpectTotal, 3);
    EXPECT_EQ(glWaitReadMode, 2);
    EXPECT_TRUE(gbReadPending(1));
    EXPECT_TRUE(ps().TimeFirstChar);
    EXPECT_TRUE(status.lines.empty());
}

TEST_F(ReceiveTest, RcvtCountProblemsAndBadData) {
    glOutCount = 7;
    ProcessWaitCommand(1, "RCVT()1B 40");
    EXPECT_TRUE(Shown("Invalid input count"));
    EXPECT_EQ(glOutCount, 7);  // the count stays, the data still goes
    EXPECT_EQ(gsOutData, "\x1b\x40");

    status.lines.clear();
    ProcessWaitCommand(1, "RCVT(2) ZZ");
    EXPECT_EQ(status.lines, std::vector<std::string>{"Invalid Output String"});
    EXPECT_EQ(gsOutData, "");

    status.lines.clear();
    ProcessWaitCommand(1, "RCVT(99999999999)1B");
    EXPECT_EQ(status.lines,
              (std::vector<std::string>{"Error Number 6  Overflow", "Wait Command Error"}));
}

TEST_F(ReceiveTest, WaitWordsAreCaseSensitiveAndUnknownOnesArmNothing) {
    gsOutData = "stale";
    glOutCount = 5;
    ProcessWaitCommand(1, "rcvc 1B");
    EXPECT_EQ(status.lines, std::vector<std::string>{"Invalid WAIT format"});
    EXPECT_EQ(gsOutData, "");
    EXPECT_EQ(glOutCount, 0);
    EXPECT_FALSE(gbReadPending(1));
}

TEST_F(ReceiveTest, RcvcWaitsForOneByteOrArmsNothing) {
    ProcessWaitCommand(1, "RCVC 1D 49 01");
    EXPECT_EQ(gsOutData, "\x1d\x49\x01");
    EXPECT_EQ(glOutCount, 1);
    EXPECT_EQ(ps().ExpectTotal, 1);
    EXPECT_TRUE(gbReadPending(1));

    gbReadPending(1) = false;
    ProcessWaitCommand(1, "RCVC QQ");
    EXPECT_EQ(status.lines, std::vector<std::string>{"Invalid RCVC Parameter"});
    EXPECT_EQ(gsOutData, "");
    EXPECT_EQ(glOutCount, 0);
    EXPECT_FALSE(gbReadPending(1));
}

TEST_F(ReceiveTest, RcvnArmsTheTimerWithThePresetCount) {
    ManualClock clock(5000);
    ps().ExpectTotal = 20;
    ps().TimeoutMs = 300;
    ps().RcvdCount = 9;
    ProcessWaitCommand(1, "RCVN   1B 76");
    EXPECT_EQ(gsOutData, "\x1b\x76");
    EXPECT_EQ(glOutCount, 20);
    EXPECT_EQ(ps().RcvdCount, 0);
    EXPECT_EQ(ps().StartTime, 5000);
    EXPECT_EQ(ps().Deadline, 5300);
    EXPECT_TRUE(ps().TimeFirstChar);
    EXPECT_TRUE(gbReadPending(1));
}

TEST_F(ReceiveTest, DeadlineWrapsWithTheTickCounter) {
    ManualClock clock(0xFFFFFF00u);
    ps().TimeoutMs = 0x200;
    ProcessWaitCommand(1, "RCVX");
    const auto deadline = static_cast<uint32_t>(ps().Deadline);
    EXPECT_EQ(deadline, 0x100u);
    EXPECT_FALSE(TickReached(0xFFFFFFF0u, deadline));
    EXPECT_TRUE(TickReached(0x100u, deadline));
}

TEST_F(ReceiveTest, ImageAndSilentWaits) {
    ps().ExpectTotal = 500;
    gsImageHdr = "old";
    ProcessWaitCommand(1, "RCVI 1C 49");
    EXPECT_TRUE(ps().ImageRcv);
    EXPECT_EQ(gsImageHdr, "");
    EXPECT_EQ(gsOutData, "\x1c\x49");
    EXPECT_EQ(glOutCount, 500);

    ps().ImageRcv = false;
    ProcessWaitCommand(1, "RCVI XY");  // a refused request must not take the next data as a header
    EXPECT_TRUE(Shown("Invalid RCVI Parameter"));
    EXPECT_FALSE(ps().ImageRcv);
    EXPECT_EQ(glOutCount, 0);

    ProcessWaitCommand(1, "RCVX");
    EXPECT_EQ(gsOutData, "");
    EXPECT_EQ(glOutCount, 500);
    EXPECT_TRUE(gbReadAfterWrite(1));

    ProcessWaitCommand(1, "DSRT");
    EXPECT_EQ(gsOutData, "");
    EXPECT_EQ(glOutCount, 0);
}

TEST_F(ReceiveTest, AWaitOnAPortOutsideTheTableIsReported) {
    ProcessWaitCommand(7, "RCVC 1B");
    EXPECT_EQ(status.lines, (std::vector<std::string>{"Error Number 9  Subscript out of range",
                                                      "Wait Command Error"}));
}

class SrviTest : public ReceiveTest {
protected:
    void AddTcp(std::unique_ptr<FakeDevice> owned) {
        tcp = owned.get();
        gcolDevices.Add("TCP", std::move(owned));
        gsTCPAddress = "10.0.0.5";
    }
    FakeDevice* tcp = nullptr;
    ManualClock clock{1000, 50};  // OpenTCP's settle wait passes on the driven clock
};

TEST_F(SrviTest, OpensTheTcpPortAsServer) {
    AddTcp(std::make_unique<FakeDevice>());
    gPortState(2).ExpectTotal = 4000;
    gbStop(2) = true;
    ProcessWaitCommand(2, "SRVI");
    EXPECT_EQ(tcp->openedWith, "SERVER");
    EXPECT_EQ(gsSavedTCPMode, "10.0.0.5");
    EXPECT_TRUE(gPortState(2).ImageRcv);
    EXPECT_FALSE(gbStop(2));
    EXPECT_EQ(gsOutData, "");
    EXPECT_EQ(glOutCount, 4000);
    EXPECT_EQ(glWaitReadMode, 2);
}

TEST_F(SrviTest, AFailedOpenArmsNothingAndKeepsTheAddress) {
    AddTcp(std::make_unique<RefusingDevice>());
    glOutCount = 3;
    ProcessWaitCommand(2, "SRVI");
    EXPECT_EQ(tcp->openedWith, "SERVER");
    EXPECT_TRUE(Shown("TCP Connect Error: 10048"));
    EXPECT_TRUE(Shown("Unable to open secondary channel"));
    EXPECT_EQ(gsTCPAddress, "10.0.0.5");
    EXPECT_FALSE(gPortState(2).ImageRcv);
    EXPECT_EQ(glOutCount, 0);
}

// ---- Status check ----

TEST_F(ReceiveTest, ExpectedStatusLengthGivesTheReplyCount) {
    SetExpectedStatus(1, "1B 40 00");
    ps().Response = "old";
    ASSERT_TRUE(ProcessStatusCommand(1, "on 10 04 01"));
    EXPECT_EQ(gsStatusMode(1), "ON");
    EXPECT_EQ(gsOutData, "\x10\x04\x01");
    EXPECT_EQ(glOutCount, 3);
    EXPECT_EQ(ps().Response, "");
    EXPECT_FALSE(gbStop(1));

    EXPECT_FALSE(ProcessStatusCommand(1, "MAYBE 10 04 01"));
    EXPECT_TRUE(gbStop(1));
    gbStop(1) = false;
    EXPECT_FALSE(ProcessStatusCommand(1, "OFF GG"));
    EXPECT_TRUE(gbStop(1));
}

TEST_F(ReceiveTest, CheckStatusComparesOnlyWhenOn) {
    SetExpectedStatus(1, "12 00");
    gbHexDisplay(1) = true;
    gsStatusMode(1) = "ON";
    Receive("\x12\x00"s);
    CheckStatus(1);  // "12 00 " matches once its trailing blank is gone
    EXPECT_FALSE(gbStop(1));
    EXPECT_TRUE(status.lines.empty());

    ps().Response.clear();
    Receive("\x12\x08"s);
    CheckStatus(1);
    EXPECT_EQ(status.lines, std::vector<std::string>{"Status Error12 08 "});
    EXPECT_TRUE(gbStop(1));

    gbStop(1) = false;
    status.lines.clear();
    gsStatusMode(1) = "OFF";
    CheckStatus(1);
    EXPECT_FALSE(gbStop(1));
    EXPECT_TRUE(status.lines.empty());
}

// ---- Receive processing and display ----

TEST_F(ReceiveTest, TextAndHexDisplay) {
    Receive("A\rB");
    EXPECT_EQ(ps().Response, "A (0D) B");
    EXPECT_EQ(box.text, "A (0D) B");
    EXPECT_EQ(ps().RcvdCount, 3);
    EXPECT_EQ(giLastRcvByte(1), 0x42);

    ps().Response.clear();
    Receive("\x7f\x80 ~");
    EXPECT_EQ(ps().Response, "\x7f (80)  ~");

    ps().Response.clear();
    gbHexDisplay(1) = true;
    Receive("A\r\xff");
    EXPECT_EQ(ps().Response, "41 0D FF ");
    EXPECT_EQ(giLastRcvByte(1), 0xFF);
}

TEST_F(ReceiveTest, TimeStampsAndRestartedDeadline) {
    ManualClock clock(2000);
    ps().TimeFirstChar = true;
    ps().RestartTimeout = true;
    ps().TimeoutMs = 400;
    Receive("x");
    EXPECT_EQ(ps().FirstCharTime, 2000);
    EXPECT_FALSE(ps().TimeFirstChar);
    clock.Advance(150);
    Receive("yz");
    EXPECT_EQ(ps().FirstCharTime, 2000);
    EXPECT_EQ(ps().LastCharTime, 2150);
    EXPECT_EQ(ps().Deadline, 2550);
}

TEST_F(ReceiveTest, DuringAFlashDownloadOnlyTheLastByteIsKept) {
    gbFlashDl(1) = true;
    Receive("\x15\x06");
    EXPECT_EQ(giLastRcvByte(1), 0x06);
    EXPECT_EQ(ps().RcvdCount, 0);
    EXPECT_EQ(ps().Response, "");
}

TEST_F(ReceiveTest, LargeBlocksAreProcessedWhole) {
    Receive(std::string(10000, 'A'));
    EXPECT_EQ(ps().RcvdCount, 10000);
    EXPECT_EQ(ps().Response.size(), 10000u);
    EXPECT_EQ(glAckCount, 10000);

    ps().Response.clear();
    ps().RcvdCount = 0;
    gbHexDisplay(1) = true;
    const auto start = std::chrono::steady_clock::now();
    Receive(std::string(1 << 20, '\x1b'));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(ps().RcvdCount, 1 << 20);
    EXPECT_EQ(ps().Response.size(), 3u << 20);
    EXPECT_LT(elapsed, std::chrono::seconds(1));
    EXPECT_EQ(box.updates, 2);  // once per block, not once per byte
}

TEST_F(ReceiveTest, EmptyBlockIsIgnored) {
    Receive("");
    EXPECT_EQ(ps().RcvdCount, 0);
    EXPECT_EQ(box.updates, 0);
}

// ---- Capture files ----

class CaptureTest : public ReceiveTest {
protected:
    void Open(bool binary) {
        gbHexDisplay(1) = binary;
        ASSERT_TRUE(OpenFile(dir / "cap.bin", binary ? open_mode::BinaryWrite
                                                      : open_mode::TextAppend));
        ps().CaptureFileNum = giFileNum;
        ps().CaptureOpen = true;
    }
    std::string Close() {
        CloseFile(ps().CaptureFileNum);
        return dir.Read("cap.bin");
    }
    ScratchDir dir;
};

TEST_F(CaptureTest, TextCaptureHoldsOneLinePerBlock) {
    Open(false);
    Receive("ABC");
    Receive("DE");
    EXPECT_EQ(Close(), "ABC\r\nDE\r\n");
    EXPECT_EQ(ps().Response, "");
    EXPECT_EQ(ps().CaptureBuf, "");
    EXPECT_EQ(ps().RcvdCount, 5);
}

TEST_F(CaptureTest, BinaryCaptureHoldsTheBytes) {
    Open(true);
    const std::string bytes("\x00\r\n\xff", 4);
    Receive(bytes);
    Receive(std::string(5000, '\x55'));
    EXPECT_EQ(Close(), bytes + std::string(5000, '\x55'));
}

TEST_F(CaptureTest, CaptureWithoutAnOpenFileIsReportedNotFatal) {
    ps().CaptureOpen = true;
    ps().CaptureFileNum = 0;
    Receive("AB");
    std::string shown;
    for (const auto& l : status.lines) shown += l;  // the status list wraps at 55 characters
    EXPECT_EQ(shown, "ModCommon, ProcessRCVData Error 52 Bad file name or number");
    EXPECT_EQ(ps().RcvdCount, 2);
}

// ---- Images ----

TEST_F(CaptureTest, ImageHeaderSetsTheTotalAndTheRestIsCaptured) {
    Open(true);
    ps().ImageRcv = true;
    Receive(ImageHeader(16) + "abc");
    EXPECT_EQ(ps().ExpectTotal, 30);
    EXPECT_EQ(device->ReadCount(), 30);
    EXPECT_TRUE(Shown("Total to get: 30"));
    EXPECT_EQ(gsImageHdr, ImageHeader(16));
    EXPECT_FALSE(ps().ImageRcv);
    EXPECT_TRUE(ps().CaptureOpen);
    EXPECT_EQ(ps().RcvdCount, 17);
    EXPECT_EQ(Close(), "abc");  // the header itself is not captured
}

TEST_F(CaptureTest, HeaderSplitOverBlocks) {
    Open(true);
    ps().ImageRcv = true;
    const std::string header = ImageHeader(2);
    Receive(header.substr(0, 6));
    EXPECT_TRUE(ps().ImageRcv);
    EXPECT_FALSE(ps().CaptureOpen);
    Receive(header.substr(6) + "zz");
    EXPECT_EQ(ps().ExpectTotal, 16);
    EXPECT_EQ(Close(), "zz");
}

TEST_F(ReceiveTest, InvalidImageSizesStopThePort) {
    ReceiveImage("too short", 1);
    EXPECT_EQ(status.lines, std::vector<std::string>{"Invalid File Size. Image is not valid."});
    EXPECT_TRUE(gbStop(1));

    gbStop(1) = false;
    status.lines.clear();
    ReceiveImage(ImageHeader(0x80000000u), 1);
    EXPECT_EQ(status.lines, std::vector<std::string>{"Invalid File Size. Image is not valid."});
    EXPECT_TRUE(gbStop(1));

    gbStop(1) = false;
    ps().RcvdCount = 14;
    ReceiveImage(ImageHeader(0x7FFFFFFFu), 1);  // fits alone, not with what came before
    EXPECT_TRUE(gbStop(1));
}

TEST_F(CaptureTest, AcknowledgementsFollowTheThresholdOnceArmed) {
    Open(true);
    gbBlockArmed = true;
    glAckThreshold(1) = 4;
    ps().ImageRcv = true;
    Receive(ImageHeader(100) + "ab");
    EXPECT_FALSE(gbBlockArmed);
    EXPECT_TRUE(gbAckMode);
    EXPECT_TRUE(gbSendPending(1));
    EXPECT_EQ(gsSendData(1), "\x06");
    EXPECT_EQ(glAckCount, 0);

    gbSendPending(1) = false;
    Receive("cde");
    EXPECT_FALSE(gbSendPending(1));
    EXPECT_EQ(glAckCount, 3);
    Receive("f");
    EXPECT_TRUE(gbSendPending(1));
    EXPECT_EQ(glAckCount, 0);
}

TEST_F(CaptureTest, NoAcknowledgementWithoutRblk) {
    Open(true);
    glAckThreshold(1) = 4;
    ps().ImageRcv = true;
    Receive(ImageHeader(100) + "abcdefgh");
    Receive("ijklmnop");
    EXPECT_FALSE(gbAckMode);
    EXPECT_FALSE(gbSendPending(1));
}

// ---- PORT command ----

TEST_F(ReceiveTest, PortCommandKnowsOnlyClear) {
    ProcPortCmd(1, "RESET");
    ProcPortCmd(1, "");
    EXPECT_EQ(status.lines,
              (std::vector<std::string>{"Invalid PORT parameter", "Invalid PORT parameter"}));
}

TEST_F(ReceiveTest, PortClearThatFailsNamesThePort) {
    ManualClock clock(1000, 100);
    gsPortTable.push_back("COM1, 115200, DTR, ON");
    giNumPorts = 1;
    gbDlAbort(1) = true;  // the reset's settle wait is cancelled
    ProcPortCmd(1, "clear");
    ASSERT_FALSE(status.lines.empty());
    EXPECT_EQ(status.lines.back(), "Error clearing Port: 1");
    EXPECT_FALSE(Shown("Invalid PORT parameter"));
}

}  // namespace
}  // namespace posbench
