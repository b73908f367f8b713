// Flash firmware, boot code, logo, bitmap and image-bank downloads from scripts against
// posbench-printer, through the real port table, state machine and devices, over TCP loopback
// and a pseudo-terminal: the byte stream the printer reads, its pauses, and what it keeps.
#include <gtest/gtest.h>

#include "base/File.h"
#include "integration/PrinterRig.h"
#include "script/ScriptState.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;
using test::Medium;
using test::Pattern;
using test::PrinterRig;
using Lines = std::vector<std::string>;
using Timeouts = std::vector<std::pair<int16_t, long>>;

constexpr std::size_t kSector = 65536;

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
std::vector<std::size_t> Cuts(const test::PrinterLog& log) {
    std::vector<std::size_t> cuts;
    std::size_t at = 0;
    for (const auto& r : log.reads) {
        cuts.push_back(at);
        at += r.bytes.size();
    }
    return cuts;
}

class DownloadTest : public testing::TestWithParam<Medium> {
protected:
    // Starts the printer with the options and runs the script after writing a firmware file of
    // `size` bytes; returns the file.
    std::string Flash(std::vector<std::string> options, std::size_t size,
                      const Lines& script = {"[FLA] fw.bin", "[MES] after"}) {
        rig.Start(GetParam(), std::move(options));
        const std::string image = Pattern(size);
        rig.dir.Write("fw.bin", image);
        rig.RunScript(script, 30s);
        EXPECT_FALSE(PrinterRig::Busy()) << rig.State();
        return image;
    }
    // The printer answers topSector; the download must stop with `refusal` before the erase.
    void RefusedBeforeErasing(const std::string& topSector, std::size_t size, int sectors,
                              const std::string& refusal) {
        Flash({"--top-sector", topSector}, size);
        EXPECT_EQ(rig.LinesWith({"Port 1", "after"}),
                  (Lines{"Port 1 File Size is: " + std::to_string(size),
                         "Port 1 Number of Sectors to download is: " + std::to_string(sectors),
                         refusal, "Port 1 Download Aborted: ", "Reseting Port 1 Printer", "after"}));
        EXPECT_FALSE(rig.Log().HasEvent("erased"));
        EXPECT_EQ(FreeFile(), 1);
        EXPECT_TRUE(rig.EndedOnce(false));
    }

    PrinterRig rig;
};

TEST_P(DownloadTest, FlashOfOneMebibyteAndAHundredBytesIn17Sectors) {
    constexpr std::size_t size = 1048576 + 100;
    constexpr int sectors = 17;
    std::string image = Flash({"--top-sector", "0x1F"}, size);
    image.resize(sectors * kSector, '\xFF');  // padded with erased bytes to whole sectors
    EXPECT_TRUE(rig.ReadFile("flash.bin") == image) << "the flash differs from the file";

    Lines expected{"Port 1 File Size is: " + std::to_string(size),
                   "Port 1 Number of Sectors to download is: " + std::to_string(sectors),
                   "Port 1 Erasing Flash "};
    for (int s = 0; s < sectors; ++s) expected.push_back("Downloading Port 1 Sector: " + std::to_string(s));
    expected.push_back("Reseting Port 1 Printer");
    expected.push_back("after");
    EXPECT_EQ(rig.status.lines, expected);
    EXPECT_EQ(rig.host.timeouts, (Timeouts{{1, 300}}));
    EXPECT_TRUE(rig.WaitForEvent("reset"));

    ASSERT_FALSE(rig.progress.reports.empty());
    const auto& last = rig.progress.reports.back();
    EXPECT_EQ(last.what, "Flash fw.bin");
    EXPECT_EQ(last.bytesDone, static_cast<int64_t>(sectors * kSector));  // padding included
    EXPECT_EQ(last.blocksDone, sectors * 256);
    EXPECT_EQ(last.blocksTotal, sectors * 256);
    EXPECT_TRUE(rig.EndedOnce(true));
    EXPECT_EQ(FreeFile(), 1) << "every file is closed";
}

TEST_P(DownloadTest, FlashRefusedBeforeErasingForTopSector3FOrAFileLargerThanTheFlash) {
    RefusedBeforeErasing("0x3F", 4096, 1, "Port 1 Invalid top sector #: 63");
    RefusedBeforeErasing("0x0F", 16 * kSector + 1, 17,
                         "Port 1 Firmware needs 17 sectors, the printer has 16");
}

TEST_P(DownloadTest, ANakedFlashBlockEndsTheDownload) {
    const std::string image = Flash({"--fault", "nak-block=300"}, 163840, {"[FLA] fw.bin"});
    EXPECT_EQ(Lines(rig.status.lines.end() - 3, rig.status.lines.end()),
              (Lines{"Port 1 Download sector response status error", "Port 1 Download Aborted: ",
                     "Reseting Port 1 Printer"}));
    EXPECT_TRUE(rig.Shown("Downloading Port 1 Sector: 1")) << "block 300 lies in sector 1";
    EXPECT_FALSE(rig.Shown("Downloading Port 1 Sector: 2"));
    // The 299 blocks before it are in the flash; nothing after it was sent.
    const std::string flash = rig.ReadFile("flash.bin");
    ASSERT_GE(flash.size(), 299 * 256u);
    EXPECT_TRUE(flash.substr(0, 299 * 256) == image.substr(0, 299 * 256));
    EXPECT_EQ(rig.progress.reports.back().blocksDone, 299);
    EXPECT_EQ(rig.host.timeouts, (Timeouts{{1, 300}}));
    EXPECT_EQ(FreeFile(), 1);
}

TEST_P(DownloadTest, CancelInTheMiddleOfAFlashAbortsCleanly) {
    rig.Start(GetParam());
    rig.dir.Write("fw.bin", Pattern(163840));
    const std::string path = rig.dir.Write("script.txt", "[FLA] fw.bin\r\n[MES] never\r\n");
    gbStop(1) = false;
    gbScriptRunning(1) = true;
    RunTextFile(1, false, path);
    bool cancelled = false;
    test::RunEngineWhile([&] {
        if (!cancelled && !rig.progress.reports.empty() &&
            rig.progress.reports.back().blocksDone >= 100) {
            Cancel();
            cancelled = true;
        }
        return PrinterRig::Busy();
    }, 30s);
    ASSERT_TRUE(cancelled);
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_TRUE(rig.Shown("Port 1 Download Aborted: "));
    EXPECT_FALSE(rig.Shown("never"));
    EXPECT_EQ(rig.status.lines.back(), "Error or operator initiated cancel on line  1");
    EXPECT_EQ(FreeFile(), 1) << "the firmware file is closed";
    EXPECT_LT(rig.progress.reports.back().blocksDone, 3 * 256);
    EXPECT_TRUE(rig.EndedOnce(false));

    // The port is free for the next download, whose pauses the old cancel does not cut short.
    rig.status.lines.clear();
    rig.RunScript({"[FLA] fw.bin"}, 30s);
    EXPECT_TRUE(rig.Shown("Downloading Port 1 Sector: 2"));
}

TEST_P(DownloadTest, BootCodeGoesAs3Then5ThenPiecesWithThePausesAndWithoutAFileNothingGoes) {
    rig.Start(GetParam());
    const std::string image = BootImage(300);
    rig.dir.Write("boot.pbt", image);
    rig.RunScript({"[BOO] boot.pbt", "[MES] after"});
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_EQ(rig.LinesWith({"Port 1", "after"}),
              (Lines{"Port 1 Downloading Boot boot.pbt", "Port 1 Download File boot.pbt is Complete",
                     "after"}));
    EXPECT_EQ(rig.host.timeouts, (Timeouts{{1, 300}}));

    ASSERT_TRUE(rig.WaitForFile("store/boot.bin", 292));
    EXPECT_TRUE(rig.ReadFile("store/boot.bin") == image.substr(8));
    const test::PrinterLog log = rig.Log();
    EXPECT_TRUE(log.Stream() == image);
    // 3 bytes, a pause, 5 bytes, a pause, 256 bytes and the last 36.
    ASSERT_GE(log.reads.size(), 3u);
    EXPECT_EQ(log.reads[0].bytes.size(), 3u);
    EXPECT_EQ(log.reads[1].bytes.size(), 5u);
    // The engine pauses 100 ms; the printer notes when it read, and a loaded machine may read the
    // piece before a pause late, so only a pause that is clearly missing fails.
    EXPECT_GE(log.reads[1].ms - log.reads[0].ms, 50);
    EXPECT_GE(log.reads[2].ms - log.reads[1].ms, 50);
    for (std::size_t cut : Cuts(log)) EXPECT_TRUE(cut == 0 || cut == 3 || cut == 8 || cut == 264) << cut;
    EXPECT_EQ(rig.progress.reports.back().blocksDone, 4);
    EXPECT_EQ(rig.progress.reports.back().bytesDone, 300);
    EXPECT_TRUE(rig.EndedOnce(true));

    // Refused before a byte goes: a boot file under 256 bytes, a download without a file name.
    rig.dir.Write("small.pbt", BootImage(255));
    const std::pair<const char*, Lines> refusals[] = {
        {"[BOO] small.pbt", {"Invalid Boot File", "Port 1 Download File small.pbt Aborted"}},
        {"[BIN] data.bin", {"Missing file name error - blank line"}},
        {"[LOG] 0A", {"Missing file name error - blank line"}},
        {"[BMP] id", {"Missing file name error - blank line"}}};
    for (auto [line, says] : refusals) {
        rig.status.lines.clear();
        rig.RunScript({line, "[MES] never"});
        says.push_back("Error or operator initiated cancel on line  1");
        EXPECT_EQ(rig.status.lines, says) << line;
    }
    EXPECT_TRUE(rig.Log().Stream() == image) << "nothing more reaches the printer";
    EXPECT_EQ(FreeFile(), 1);
}

TEST_P(DownloadTest, LogoAndBitmapFollowTheirPrefixes) {
    rig.Start(GetParam(), {"--idle-ms", "150"});
    const std::string logo = Pattern(512, 5);
    const std::string bitmap = Pattern(300, 9);
    rig.dir.Write("logo.bin", logo);
    rig.dir.Write("pic.bin", bitmap);
    rig.RunScript({"[LOG] 05 logo.bin", "[DEL] 4", "[BMP] 0A pic.bin"});
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_EQ(rig.status.lines, (Lines{"logo.bin file size is: 512", "Port 1 download is complete",
                                       "pic.bin file size is: 300", "Port 1 download is complete"}));
    ASSERT_TRUE(rig.WaitForFile("store/logo-05.bin", 512));
    ASSERT_TRUE(rig.WaitForFile("store/bitmap-0A.bin", 300));
    EXPECT_TRUE(rig.ReadFile("store/logo-05.bin") == logo);
    EXPECT_TRUE(rig.ReadFile("store/bitmap-0A.bin") == bitmap);
    // The logo went as its prefix, then two pieces of 256 bytes.
    const test::PrinterLog log = rig.Log();
    EXPECT_TRUE(log.Stream() == "\x1D\x23\x05" + logo + "\x1D\x23\x0A\x1B" + bitmap);
    for (std::size_t cut : Cuts(log)) EXPECT_TRUE(cut >= 515 || cut == 0 || cut == 3 || cut == 259) << cut;
}

TEST_P(DownloadTest, ImageBankIsSelectedByTheNameAndJudgedAtTheEnd) {
    // The printer's idle gap must outlast the 200 ms pause after the bank is selected.
    rig.Start(GetParam(), {"--idle-ms", "350"});
    const std::string bank = Pattern(300, 11);
    rig.dir.Write("BANK.IB2", bank);
    rig.RunScript({"[IMA] BANK.IB2", "[MES] after"});
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_EQ(rig.LinesWith({"BANK", "after", "error"}),
              (Lines{"Port 1 Downloading Image BankBANK.IB2", "BANK.IB2 file size is: 300",
                     "Port 1 Download File BANK.IB2 is Complete", "after"}));
    ASSERT_TRUE(rig.WaitForFile("store/bank-2.bin", 300));
    EXPECT_TRUE(rig.ReadFile("store/bank-2.bin") == bank);
    EXPECT_TRUE(rig.Stream() == "\x1B\x5B\x7D\x1D\x16\x02" + bank);
    EXPECT_TRUE(rig.EndedOnce(true));

    // A bank the printer answers with a NAK is reported as failed.
    rig.Start(GetParam(), {"--idle-ms", "350", "--fault", "nak-bank"});
    rig.dir.Write("bank.ib1", Pattern(600, 13));
    rig.RunScript({"[IMA] bank.ib1"});
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_EQ(Lines(rig.status.lines.end() - 2, rig.status.lines.end()),
              (Lines{"Data error during download - download failed",
                     "Port 1 Download File bank.ib1 is Complete"}));
    EXPECT_EQ(rig.Stream().substr(0, 6), "\x1B\x5B\x7D\x1D\x16\x01") << "bank 1 for other names";
    EXPECT_TRUE(rig.WaitForEvent("image bank 1 of 600 bytes")) << "the whole bank arrived";
    EXPECT_TRUE(rig.EndedOnce(false));
    EXPECT_EQ(FreeFile(), 1);
}

INSTANTIATE_TEST_SUITE_P(Media, DownloadTest, testing::Values(Medium::Tcp, Medium::Pty),
                         test::MediumName());

}  // namespace
}  // namespace posbench
