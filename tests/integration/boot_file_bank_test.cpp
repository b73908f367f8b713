// Boot code, logo, bitmap and image-bank downloads from scripts against posbench-printer, through
// the real port table, state machine and devices, over TCP loopback and a pseudo-terminal.
#include <gtest/gtest.h>

#include "base/File.h"
#include "integration/PrinterRig.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;
using test::Medium;
using test::Pattern;
using test::PrinterRig;
using Lines = std::vector<std::string>;

// A boot image as the printer reads it: the command 1B 5B 42, the body length (4 bytes, least
// significant first) and a spare byte, then the body.
std::string BootImage(std::size_t size) {
    const auto body = static_cast<uint32_t>(size - 8);
    std::string image = "\x1B\x5B\x42";
    for (int i = 0; i < 4; ++i) image += static_cast<char>((body >> (8 * i)) & 0xFF);
    image += '\0';
    return image + Pattern(size - 8, 3);
}

// The offsets in the stream at which the printer's reads began.
std::vector<std::size_t> Cuts(const std::vector<test::Chunk>& chunks) {
    std::vector<std::size_t> cuts;
    std::size_t at = 0;
    for (const auto& c : chunks) {
        cuts.push_back(at);
        at += c.bytes.size();
    }
    return cuts;
}

class BootFileBankTest : public testing::TestWithParam<Medium> {
protected:
    PrinterRig rig;
};

TEST_P(BootFileBankTest, BootCodeGoesAs3Then5ThenPiecesWithThePauses) {
    rig.Start(GetParam());
    const std::string image = BootImage(300);
    rig.dir.Write("boot.pbt", image);
    rig.RunScript("[BOO] boot.pbt\r\n[MES] after\r\n", 10s);
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_EQ(rig.LinesWith({"Port 1", "after"}),
              (Lines{"Port 1 Downloading Boot boot.pbt", "Port 1 Download File boot.pbt is Complete",
                     "after"}));
    EXPECT_EQ(rig.host.timeouts, (std::vector<std::pair<int16_t, long>>{{1, 300}}));

    ASSERT_TRUE(rig.WaitForFile("store/boot.bin", 292));
    EXPECT_TRUE(rig.ReadFile("store/boot.bin") == image.substr(8));
    EXPECT_TRUE(rig.Stream() == image);
    // 3 bytes, a pause, 5 bytes, a pause, 256 bytes and the last 36.
    const auto chunks = rig.Chunks();
    ASSERT_GE(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].bytes.size(), 3u);
    EXPECT_EQ(chunks[1].bytes.size(), 5u);
    EXPECT_GE(chunks[1].ms - chunks[0].ms, 90);
    EXPECT_GE(chunks[2].ms - chunks[1].ms, 90);
    for (std::size_t cut : Cuts(chunks)) EXPECT_TRUE(cut == 0 || cut == 3 || cut == 8 || cut == 264) << cut;
    EXPECT_EQ(rig.progress.reports.back().blocksDone, 4);
    EXPECT_EQ(rig.progress.reports.back().bytesDone, 300);
    EXPECT_TRUE(rig.EndedOnce(true));
    EXPECT_EQ(FreeFile(), 1);
}

TEST_P(BootFileBankTest, ABootFileUnder256BytesOrNoFileNameIsRefused) {
    rig.Start(GetParam());
    rig.dir.Write("small.pbt", BootImage(255));
    rig.RunScript("[BOO] small.pbt\r\n[MES] never\r\n", 5s);
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_EQ(rig.status.lines, (Lines{"Invalid Boot File", "Port 1 Download File small.pbt Aborted",
                                       "Error or operator initiated cancel on line  1"}));
    for (const char* line : {"[BIN] data.bin\r\n", "[LOG] 0A\r\n", "[BMP] id\r\n"}) {
        rig.status.lines.clear();
        rig.RunScript(line, 5s);
        EXPECT_EQ(rig.status.lines, (Lines{"Missing file name error - blank line",
                                           "Error or operator initiated cancel on line  1"}));
    }
    EXPECT_TRUE(rig.Chunks().empty()) << "nothing reaches the printer";
    EXPECT_EQ(FreeFile(), 1);
}

TEST_P(BootFileBankTest, LogoAndBitmapFollowTheirPrefixes) {
    rig.Start(GetParam(), {"--idle-ms", "150"});
    const std::string logo = Pattern(512, 5);
    const std::string bitmap = Pattern(300, 9);
    rig.dir.Write("logo.bin", logo);
    rig.dir.Write("pic.bin", bitmap);
    rig.RunScript("[LOG] 05 logo.bin\r\n[DEL] 4\r\n[BMP] 0A pic.bin\r\n", 10s);
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_EQ(rig.status.lines, (Lines{"logo.bin file size is: 512", "Port 1 download is complete",
                                       "pic.bin file size is: 300", "Port 1 download is complete"}));
    ASSERT_TRUE(rig.WaitForFile("store/logo-05.bin", 512));
    ASSERT_TRUE(rig.WaitForFile("store/bitmap-0A.bin", 300));
    EXPECT_TRUE(rig.ReadFile("store/logo-05.bin") == logo);
    EXPECT_TRUE(rig.ReadFile("store/bitmap-0A.bin") == bitmap);
    // The logo went as its prefix, then two pieces of 256 bytes.
    EXPECT_TRUE(rig.Stream() == "\x1D\x23\x05" + logo + "\x1D\x23\x0A\x1B" + bitmap);
    for (std::size_t cut : Cuts(rig.Chunks()))
        EXPECT_TRUE(cut >= 515 || cut == 0 || cut == 3 || cut == 259) << cut;
}

TEST_P(BootFileBankTest, ImageBankTwoIsSelectedByTheNameAndJudgedAtTheEnd) {
    // The printer's idle gap must outlast the 200 ms pause after the bank is selected.
    rig.Start(GetParam(), {"--idle-ms", "350"});
    const std::string bank = Pattern(300, 11);
    rig.dir.Write("BANK.IB2", bank);
    rig.RunScript("[IMA] BANK.IB2\r\n[MES] after\r\n", 10s);
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_EQ(rig.LinesWith({"BANK", "after", "error"}),
              (Lines{"Port 1 Downloading Image BankBANK.IB2", "BANK.IB2 file size is: 300",
                     "Port 1 Download File BANK.IB2 is Complete", "after"}));
    ASSERT_TRUE(rig.WaitForFile("store/bank-2.bin", 300));
    EXPECT_TRUE(rig.ReadFile("store/bank-2.bin") == bank);
    EXPECT_TRUE(rig.Stream() == "\x1B\x5B\x7D\x1D\x16\x02" + bank);
    EXPECT_TRUE(rig.EndedOnce(true));
}

TEST_P(BootFileBankTest, ABankAnsweredWithANakIsReportedAsFailed) {
    rig.Start(GetParam(), {"--idle-ms", "350", "--fault", "nak-bank"});
    rig.dir.Write("bank.ib1", Pattern(600, 13));
    rig.RunScript("[IMA] bank.ib1\r\n", 10s);
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_EQ(Lines(rig.status.lines.end() - 2, rig.status.lines.end()),
              (Lines{"Data error during download - download failed",
                     "Port 1 Download File bank.ib1 is Complete"}));
    EXPECT_EQ(rig.Stream().substr(0, 6), "\x1B\x5B\x7D\x1D\x16\x01") << "bank 1 for other names";
    EXPECT_TRUE(rig.WaitForEvent("image bank 1 of 600 bytes", 2s)) << "the whole bank arrived";
    EXPECT_TRUE(rig.EndedOnce(false));
    EXPECT_EQ(FreeFile(), 1);
}

INSTANTIATE_TEST_SUITE_P(Media, BootFileBankTest, testing::Values(Medium::Tcp, Medium::Pty),
                         test::MediumName);

}  // namespace
}  // namespace posbench
