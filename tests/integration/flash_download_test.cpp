// Flash firmware downloads from scripts against posbench-printer, through the real port table,
// state machine and devices, over TCP loopback and a pseudo-terminal.
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

constexpr std::size_t kSector = 65536;

// The file as the printer's flash must hold it: padded with erased bytes to whole sectors.
std::string Flashed(const std::string& file) {
    std::string image = file;
    image.resize((file.size() + kSector - 1) / kSector * kSector, '\xFF');
    return image;
}

class FlashDownloadTest : public testing::TestWithParam<Medium> {
protected:
    // Flashes a file of `size` bytes with a [FLA] line and checks the whole protocol's outcome.
    void FlashCompletely(std::size_t size, const std::string& topSector, int sectors) {
        const std::string image = Flash({"--top-sector", topSector}, size);
        ASSERT_FALSE(PrinterRig::Busy()) << rig.State();

        const std::string flash = rig.ReadFile("flash.bin");
        ASSERT_EQ(flash.size(), sectors * kSector);
        EXPECT_TRUE(flash == Flashed(image)) << "the flash differs from the file";

        std::vector<std::string> expected{"Port 1 File Size is: " + std::to_string(size),
                                          "Port 1 Number of Sectors to download is: " +
                                              std::to_string(sectors),
                                          "Port 1 Erasing Flash "};
        for (int s = 0; s < sectors; ++s)
            expected.push_back("Downloading Port 1 Sector: " + std::to_string(s));
        expected.push_back("Reseting Port 1 Printer");
        expected.push_back("after");
        EXPECT_EQ(rig.status.lines, expected);
        EXPECT_EQ(rig.host.timeouts, (std::vector<std::pair<int16_t, long>>{{1, 300}}));
        EXPECT_TRUE(rig.WaitForEvent("reset", 2s));

        ASSERT_FALSE(rig.progress.reports.empty());
        const auto& last = rig.progress.reports.back();
        EXPECT_EQ(last.what, "Flash fw.bin");
        EXPECT_EQ(last.bytesDone, static_cast<int64_t>(sectors * kSector));  // padding included
        EXPECT_EQ(last.blocksDone, sectors * 256);
        EXPECT_EQ(last.blocksTotal, sectors * 256);
        EXPECT_TRUE(rig.EndedOnce(true));
        EXPECT_EQ(FreeFile(), 1) << "every file is closed";
    }
    // The printer answers topSector; the download must stop with `refusal` before the erase.
    void RefusedBeforeErasing(const std::string& topSector, std::size_t size, int sectors,
                              const std::string& refusal) {
        Flash({"--top-sector", topSector}, size);
        ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
        EXPECT_EQ(rig.LinesWith({"Port 1", "after"}),
                  (std::vector<std::string>{"Port 1 File Size is: " + std::to_string(size),
                                            "Port 1 Number of Sectors to download is: " +
                                                std::to_string(sectors),
                                            refusal, "Port 1 Download Aborted: ",
                                            "Reseting Port 1 Printer", "after"}));
        for (const auto& e : rig.Events()) EXPECT_EQ(e.find("erased"), std::string::npos) << e;
        EXPECT_EQ(FreeFile(), 1);
        EXPECT_TRUE(rig.EndedOnce(false));
    }
    // Starts the printer with the options and runs a [FLA] line for a file of `size` bytes.
    std::string Flash(std::vector<std::string> options, std::size_t size,
                      const std::string& script = "[FLA] fw.bin\r\n[MES] after\r\n") {
        rig.Start(GetParam(), std::move(options));
        const std::string image = Pattern(size);
        rig.dir.Write("fw.bin", image);
        rig.RunScript(script, 30s);
        return image;
    }

    PrinterRig rig;
};

TEST_P(FlashDownloadTest, OneMebibyteAndAHundredBytesIn17Sectors) {
    FlashCompletely(1048576 + 100, "0x1F", 17);
}

TEST_P(FlashDownloadTest, TopSector3FIsRefusedBeforeTheFlashIsErased) {
    RefusedBeforeErasing("0x3F", 4096, 1, "Port 1 Invalid top sector #: 63");
}

TEST_P(FlashDownloadTest, FileLargerThanTheFlashIsRefusedBeforeTheFlashIsErased) {
    RefusedBeforeErasing("0x0F", 16 * kSector + 1, 17,
                         "Port 1 Firmware needs 17 sectors, the printer has 16");
}

TEST_P(FlashDownloadTest, ANakedBlockEndsTheDownload) {
    const std::string image = Flash({"--fault", "nak-block=300"}, 163840, "[FLA] fw.bin\r\n");
    ASSERT_FALSE(PrinterRig::Busy()) << rig.State();
    EXPECT_EQ(std::vector<std::string>(rig.status.lines.end() - 3, rig.status.lines.end()), (std::vector<std::string>{"Port 1 Download sector response status error",
                                              "Port 1 Download Aborted: ",
                                              "Reseting Port 1 Printer"}));
    EXPECT_TRUE(rig.Shown("Downloading Port 1 Sector: 1")) << "block 300 lies in sector 1";
    EXPECT_FALSE(rig.Shown("Downloading Port 1 Sector: 2"));
    // The 299 blocks before it are in the flash; nothing after it was sent.
    const std::string flash = rig.ReadFile("flash.bin");
    ASSERT_GE(flash.size(), 299 * 256u);
    EXPECT_TRUE(flash.substr(0, 299 * 256) == image.substr(0, 299 * 256));
    EXPECT_EQ(rig.progress.reports.back().blocksDone, 299);
    EXPECT_EQ(rig.host.timeouts, (std::vector<std::pair<int16_t, long>>{{1, 300}}));
    EXPECT_EQ(FreeFile(), 1);
}

TEST_P(FlashDownloadTest, CancelInTheMiddleAbortsCleanly) {
    rig.Start(GetParam());
    rig.dir.Write("fw.bin", Pattern(163840));
    const std::string path = rig.dir.Write("script.txt", "[FLA] fw.bin\r\n[MES] never\r\n");
    gbStop(1) = false;
    gbScriptRunning(1) = true;
    RunTextFile(1, false, path);
    bool cancelled = false;
    const auto end = std::chrono::steady_clock::now() + 30s;
    RunStateMachine([&] {
        if (!cancelled && !rig.progress.reports.empty() &&
            rig.progress.reports.back().blocksDone >= 100) {
            Cancel();
            cancelled = true;
        }
        return PrinterRig::Busy() && std::chrono::steady_clock::now() < end;
    });
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
    rig.RunScript("[FLA] fw.bin\r\n", 30s);
    EXPECT_TRUE(rig.Shown("Downloading Port 1 Sector: 2"));
}

INSTANTIATE_TEST_SUITE_P(Media, FlashDownloadTest, testing::Values(Medium::Tcp, Medium::Pty),
                         test::MediumName);

}  // namespace
}  // namespace posbench
