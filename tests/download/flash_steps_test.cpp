// The flash step machine driven directly, answer by answer, with the clock under the test's
// control: sector counts, block headers and data, repeated steps and refused answers.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "base/File.h"
#include "comm/Device.h"
#include "comm/PortRequests.h"
#include "download/Downloads.h"
#include "support/PrinterBytes.h"
#include "support/TestSupport.h"
#include "script/ScriptState.h"

namespace posbench {
namespace {

using test::Pattern;
using Lines = std::vector<std::string>;

class FlashSteps : public testing::Test {
protected:
    void SetUp() override {
        SetStatusList(&status);
        SetEngineHost(&host);
        SetDefaultPath(1, dir.Write("script.txt", ""));
    }
    // Starts a download of `name` holding `bytes` (none written when empty) on a fresh port.
    bool Begin(const std::string& bytes, const std::string& name = "fw.bin") {
        CloseAllFiles();
        ResetDownloadGlobals();
        gbFlashDl(1) = false;
        status.lines.clear();
        if (!bytes.empty()) dir.Write(name, bytes);
        bool abort = false;
        return ok = FlashDownload(1, abort, name);
    }
    // One call of the step machine; the bytes it left to send.
    std::string Step(bool abort = false) {
        ok = FlashDownload(1, abort, "");
        return gsOutData;
    }
    // The printer's answer to the step just sent.
    void Answer(int16_t byte) {
        giLastRcvByte(1) = byte;
        CheckDownloadResponse(1);
    }
    // The download failed with `line` standing `back` lines from the end, and let go of its file.
    void ExpectFailed(const std::string& line, std::size_t back = 1) {
        EXPECT_FALSE(ok);
        ASSERT_GE(status.lines.size(), back);
        EXPECT_EQ(status.lines[status.lines.size() - back], line);
        EXPECT_FALSE(gbFlashDl(1));
        EXPECT_EQ(FreeFile(), 1);
    }

    test::ManualClock clock{1000, 250};  // the pauses pass without real waiting
    test::ScratchDir dir;
    test::RecordingStatusList status;
    test::RecordingEngineHost host;
    bool ok = false;
};

// Rounding up (1 MiB + 100 bytes in 17 sectors) is DownloadTest's; here the edges.
TEST_F(FlashSteps, SectorCountRoundsUpAndTinyHugeOrMissingFilesAreRefused) {
    const std::pair<std::size_t, int> cases[] = {{100, 1}, {65536, 1}, {65537, 2}};
    for (const auto& [size, sectors] : cases) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(Begin(std::string(size, 'x')));
        EXPECT_EQ(status.lines.back(),
                  "Port 1 Number of Sectors to download is: " + std::to_string(sectors));
    }
    Begin(std::string(99, 'x'));
    ExpectFailed("Invalid file name.  Download aborted");

    // More than 255 sectors do not fit the printer's count.
    std::ofstream(dir / "big.bin").close();
    std::filesystem::resize_file(dir / "big.bin", 255u * 65536u + 1u);
    Begin("", "big.bin");
    ExpectFailed("Internal Flash Download Error 6: Overflow");

    // A missing file, a script path without a directory.
    Begin("", "none.bin");
    ExpectFailed("Error Opening File", 2);
    SetDefaultPath(1, "noslash.txt");
    Begin("", "none.bin");
    ExpectFailed("Invalid File path/name");
    // A continuation call with no download running does nothing.
    EXPECT_EQ(Step(), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(status.lines.size(), 1u);
}

TEST_F(FlashSteps, BlocksHeadersPaddingAndRepeats) {
    const std::string image = Pattern(300);
    ASSERT_TRUE(Begin(image));
    ASSERT_EQ(gsOutData, "\x1B\x5B\x7D");
    ASSERT_EQ(Step(), "\x1D\x01");
    EXPECT_EQ(glDlReadMode, ReadMode::Count);
    Answer(0x0F);
    ASSERT_EQ(Step(), "\x1D\x0E");
    Answer(0x06);
    ASSERT_EQ(Step(), std::string("\x1D\x02\x00", 3));
    Answer(0x06);

    // Block 0: header at offset 0 and the 256 bytes in one write, answered with read mode 3.
    const auto header = [](int offset) {
        return std::string("\x1D\x11", 2) + static_cast<char>(offset % 256) +
               static_cast<char>(offset / 256) + std::string("\x00\x01", 2);
    };
    EXPECT_EQ(Step(), header(0) + image.substr(0, 256));
    EXPECT_EQ(glOutCount, 1);
    EXPECT_EQ(glDlReadMode, ReadMode::CountWait);
    // Called again without an answer (a time-out): the same bytes go again.
    EXPECT_EQ(Step(), header(0) + image.substr(0, 256));
    Answer(0x06);

    // Block 1 holds the file's tail and erased flash after it.
    const std::string tail = header(0x100) + image.substr(256) + std::string(212, '\xFF');
    EXPECT_EQ(Step(), tail);
    EXPECT_EQ(Step(), tail);
    Answer(0x06);

    // Blocks 2..255 are erased flash, each behind its own header.
    for (int block = 2; block < 256; ++block) {
        EXPECT_EQ(Step(), header(block * 256) + std::string(256, '\xFF')) << block;
        EXPECT_EQ(glDlReadMode, block == 255 ? ReadMode::Count : ReadMode::CountWait) << block;
        Answer(0x06);
    }
    // All sectors written: the reset, then the end.
    EXPECT_EQ(Step(), "\x1D\xFF");
    EXPECT_EQ(host.timeouts, (std::vector<std::pair<int16_t, long>>{{1, 300}}));
    EXPECT_TRUE(gbFlashDl(1));
    EXPECT_EQ(Step(), "");
    EXPECT_TRUE(ok);
    EXPECT_FALSE(gbFlashDl(1));
    EXPECT_EQ(FreeFile(), 1);
}

// A refused block and a cancel mid-flash are DownloadTest's (ANakedFlashBlockEndsTheDownload,
// CancelInTheMiddleOfAFlashAbortsCleanly); 0F and 1F taken and 3F refused ("Invalid top sector
// #: 63") too. Top sector 07 is taken as well.
TEST_F(FlashSteps, RefusedEraseAndSectorSelectEndTheDownload) {
    const char* lines[] = {"Port 1 Flash Erase Failed", "Port 1 Unknown Response to Erase Flash Command"};
    for (int refused = 0; refused < 2; ++refused) {
        SCOPED_TRACE(lines[refused]);
        ASSERT_TRUE(Begin(Pattern(1000)));
        Step();
        Answer(refused == 0 ? 0x07 : 0x0F);
        for (int step = 0; step <= refused; ++step) {
            EXPECT_EQ(Step().substr(0, 2), step == 0 ? "\x1D\x0E" : "\x1D\x02");
            Answer(step == refused ? 0x15 : 0x06);
        }
        EXPECT_EQ(Step(), "");
        ExpectFailed(lines[refused], 3);
    }
}

}  // namespace
}  // namespace posbench
