#include "script/Receive.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/ScriptBench.h"

namespace posbench {
namespace {

using test::FakeDevice;
using test::ManualClock;

// A TCP device whose listening socket cannot be set up.
class RefusingDevice : public FakeDevice {
public:
    bool OpenComm(const std::string& name) override {
        openedWith = name;
        mstrLastError = "TCP Connect Error: 10048";
        return false;
    }
};

class ReceiveTest : public test::ScriptBench {
protected:
    // Hands one received block to the port as the state machine would.
    void Receive(const std::string& block) {
        dev->Deliver(block);
        GetAndProcessRead(1);
    }
    PortState& ps() { return gPortState(1); }

    static std::string ImageHeader(uint32_t size) {
        std::string h(10, 'H');
        for (int i = 0; i < 4; ++i) h += static_cast<char>((size >> (8 * i)) & 0xFF);
        return h;
    }
};

// ---- WAIT forms ----

// Counted waits and words a script may not use are ScriptIntegration's and
// ScriptTest.RejectedWaitLinesDoNothingAndACountOfZeroAwaitsNoReply's.
TEST_F(ReceiveTest, EmptyCountKeepsTheCountAndRefusedImageDataArmsNothing) {
    glOutCount = 7;
    ProcessWaitCommand(1, "RCVT()1B 40");
    EXPECT_EQ(glOutCount, 7);  // the count stays, the data still goes
    EXPECT_EQ(gsOutData, "\x1b\x40");
    gbReadPending(1) = false;
    ps().ExpectTotal = 500;
    ProcessWaitCommand(1, "RCVI XY");  // the next data must not be taken for an image header
    EXPECT_EQ(status.lines, (std::vector<std::string>{"Invalid input count", "Invalid RCVI Parameter"}));
    EXPECT_FALSE(ps().ImageRcv || gbReadPending(1));
    EXPECT_EQ(glOutCount, 0);
}

TEST_F(ReceiveTest, SrviOpensTheTcpPortAsServerOrArmsNothing) {
    ManualClock clock(1000, 50);  // OpenTCP's settle wait passes on the driven clock
    auto refusing = std::make_unique<RefusingDevice>();
    FakeDevice* tcp = refusing.get();
    gcolDevices.Add("TCP", std::move(refusing));
    gsTCPAddress = "10.0.0.5";
    ProcessWaitCommand(2, "SRVI");
    EXPECT_EQ(tcp->openedWith, "SERVER");
    EXPECT_TRUE(Shown("Unable to open secondary channel"));
    EXPECT_EQ(gsTCPAddress, "10.0.0.5");  // a later reconnect must not come up as a server
    EXPECT_FALSE(gPortState(2).ImageRcv);

    gcolDevices.Remove("TCP");
    gcolDevices.Add("TCP", std::make_unique<FakeDevice>());
    gPortState(2).ExpectTotal = 4000;
    ProcessWaitCommand(2, "SRVI");
    EXPECT_EQ(gsSavedTCPMode, "10.0.0.5");
    EXPECT_TRUE(gPortState(2).ImageRcv);
    EXPECT_EQ(glOutCount, 4000);
}

// ---- Receive processing (text and hex display are ScriptIntegration's) ----

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
};

// A binary capture holding every byte value is
// ScriptIntegration.ImageWithHeaderAndAcknowledgedBlocks'.
TEST_F(CaptureTest, TextCaptureHoldsOneLinePerBlock) {
    Open(false);
    Receive("ABC");
    Receive("DE");
    EXPECT_EQ(Close(), "ABC\r\nDE\r\n");
    EXPECT_EQ(ps().Response, "");
}

// ---- Images and acknowledgements ----

TEST_F(CaptureTest, ImageHeaderOverTwoBlocksSetsTheTotal) {
    Open(true);
    ps().ImageRcv = true;
    const std::string header = ImageHeader(16);
    Receive(header.substr(0, 6));
    EXPECT_TRUE(ps().ImageRcv);
    Receive(header.substr(6) + "abc");
    EXPECT_EQ(ps().ExpectTotal, 30);
    EXPECT_EQ(dev->ReadCount(), 30);
    EXPECT_TRUE(Shown("Total to get: 30"));
    EXPECT_FALSE(ps().ImageRcv);
    EXPECT_EQ(Close(), "abc");  // the header itself is not captured

    // A header cut short or announcing an impossible size stops the port.
    ReceiveImage("too short", 1);
    EXPECT_TRUE(gbStop(1));
    gbStop(1) = false;
    ReceiveImage(ImageHeader(0x80000000u), 1);
    EXPECT_TRUE(gbStop(1));
    EXPECT_EQ(Count("Invalid File Size. Image is not valid."), 2);
}

}  // namespace
}  // namespace posbench
