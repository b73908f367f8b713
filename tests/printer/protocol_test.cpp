// The printer's interpreter on its own: answers, downloads and paper, fed in odd-sized pieces.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "PrinterOptions.h"
#include "PrinterProtocol.h"
#include "support/PrinterBytes.h"

namespace posbench::sim {
namespace {

using test::Hex;

struct RecordingHost : PrinterHost {
    void Send(const Bytes& a) override { sent += a; }
    void Print(const std::string& t) override { paper += t; }
    void Restart() override { ++restarts; }
    void EraseFlash() override { flash.clear(); ++erases; }
    void WriteFlash(uint8_t s, uint32_t o, const Bytes& d) override {
        flash[s].resize(65536, '\xFF');
        flash[s].replace(o, d.size(), d);
    }
    void Store(const std::string& n, const Bytes& d) override { stored[n] = d; }
    Bytes ImageData() override { return image; }
    Bytes NvramData() override { return "nv"; }
    void Note(const std::string&) override {}

    std::string Take() { return std::exchange(sent, {}); }

    Bytes sent, paper, image;
    std::map<int, Bytes> flash;
    std::map<std::string, Bytes> stored;
    int restarts = 0, erases = 0;
};

class ProtocolTest : public testing::Test {
protected:
    void Make(ProtocolSettings s = {}) { p = std::make_unique<PrinterProtocol>(s, host); }
    void SetUp() override { Make(); }
    void Feed(const std::string& bytes) { p->Feed(bytes, now); }
    void Idle() {
        now += 1000;
        p->Tick(now);
    }
    RecordingHost host;
    std::unique_ptr<PrinterProtocol> p;
    int64_t now = 0;
};

TEST_F(ProtocolTest, CommandsSplitOrPackedAnswerTheSame) {
    const std::string stream = Hex("1D 49 40 27 1D 04 01 10 04 02 1D 49 40 A3");
    Feed(stream);
    const std::string whole = host.Take();
    EXPECT_EQ(whole, IdentificationReply("Q310") + Hex("12 12") + VersionReply("4.40"));
    for (char c : stream) Feed(std::string(1, c));
    EXPECT_EQ(host.Take(), whole);
}

TEST_F(ProtocolTest, FlashCommandsNeedDownloadModeAndCheckTheirArguments) {
    Feed(Hex("1D 01 1D 0E"));
    EXPECT_TRUE(host.Take().empty());
    EXPECT_EQ(host.erases, 0);

    Feed(Hex("1B 5B 7D 1D 01 1D 0E 1D 02 10"));
    EXPECT_EQ(host.Take(), Hex("0F 06 15"));  // sector 16 is above the top sector 0F
    Feed(Hex("1D 11 00 00 00 01") + std::string(256, 'x'));
    EXPECT_EQ(host.Take(), Hex("15"));  // no sector selected
    EXPECT_TRUE(host.flash.empty());

    Feed(Hex("1D 02 01 1D 11 00 12 00 01"));
    Feed(std::string(100, 'a'));
    Feed(std::string(156, 'b'));
    EXPECT_EQ(host.Take(), Hex("06 06"));
    EXPECT_EQ(host.flash[1].substr(0x1200, 256), std::string(100, 'a') + std::string(156, 'b'));
    EXPECT_EQ(host.flash[1][0x11FF], '\xFF');

    Feed(Hex("1D 11 00 FF 00 02") + std::string(512, 'c'));  // runs past the sector's end
    EXPECT_EQ(host.Take(), Hex("15"));
}

TEST_F(ProtocolTest, ImageRequestWaitsForEachBlockAck) {
    host.image = std::string(1000, 'i');
    Feed(Hex("1D 69 49 00 00"));  // no block size: all at once
    EXPECT_EQ(host.Take(), ImageHeader(1000) + host.image);
    Feed(Hex("1D 69 49 90 01"));  // blocks of 400
    EXPECT_EQ(host.Take(), ImageHeader(1000) + std::string(400, 'i'));
    EXPECT_FALSE(p->Deadline());  // waits for the tool, not for a clock
    Feed(Hex("06"));
    EXPECT_EQ(host.Take().size(), 400u);
    Feed(Hex("06"));
    EXPECT_EQ(host.Take().size(), 200u);
    Feed(Hex("06 1D 04 01"));  // a late acknowledgement changes nothing
    EXPECT_EQ(host.Take(), Hex("12"));

    Feed(Hex("1D 69 49 90 01"));
    host.Take();
    Feed(Hex("1D 49 40 A3"));  // anything but 06 ends the transfer and is read as usual
    EXPECT_EQ(host.Take(), VersionReply("4.40"));
}

// What is dropped and what is printed: control sequences, a partial command or boot image cut
// off by the idle gap, a refused bank, and everything after a reset in its chunk. (A bank and
// boot code kept: DownloadTest in the integration tests.)
TEST_F(ProtocolTest, WhatIsDroppedAndWhatIsPrinted) {
    struct Case {
        std::vector<std::string> chunks;  // "" stands for an idle gap
        std::string sent, paper;
    };
    const Case cases[] = {
        {{"Hello" + Hex("1B 21 30") + " Wo",
          "rld\r\n" + Hex("1D 56 42") + "Total" + Hex("1B 40 0A 0A"),
          // The two USB interface commands, the second one outside download mode.
          Hex("1F 0B 4E 1F 43 00") + "a" + Hex("1F 0A A3 01 00 00 00 00 A0 A9 01") + "b"},
         "", "Hello World\nTotal\n\nab"},
        {{Hex("1D 49 40"), "", Hex("27") + "x"}, "", "'x"},
        {{Hex("1B 5B 42 00 10 00 00 00") + "partial", "", "printed"}, "", "printed"},
        {{Hex("1B 5B 7D 1D 16 01") + "short", "", Hex("1D 16 03")}, Hex("06 15 15"), ""},
        // A reset ends download mode too.
        {{Hex("1B 5B 7D 1D FF 1D 04 01") + "lost", Hex("1D 01")}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.chunks));
        host = {};
        Make();
        for (const std::string& chunk : c.chunks) chunk.empty() ? Idle() : Feed(chunk);
        EXPECT_EQ(host.sent, c.sent);
        EXPECT_EQ(host.paper, c.paper);
        EXPECT_TRUE(host.stored.empty()) << "a refused bank or a cut-off boot image is not kept";
    }
    EXPECT_EQ(host.restarts, 1);  // the last case's
    EXPECT_FALSE(p->InDownloadMode());
}

// (Options that parse take effect in the integration tests: --model and its firmware in
// CliConfigTest, --fault nak-block and --top-sector in DownloadTest, delay-ms in PrinterMediaTest.)
TEST(PrinterOptionsTest, MistakesAreRefusedWithAMessage) {
    std::string error;
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--fault", "explode=1"}, {"--firmware", "12345"},
          {"--top-sector", "256"}, {"--listen", "a:1", "--pty", "p"}, {"--model"},
          {"--reset-ms", "-5"}}) {
        error.clear();
        EXPECT_FALSE(ParsePrinterOptions(bad, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace posbench::sim
