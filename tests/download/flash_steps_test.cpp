// The flash step machine driven directly, answer by answer, with the clock under the test's
// control: sector counts, block headers and data, repeated steps and refused answers.
#include <filesystem>

#include <gtest/gtest.h>

#include "base/File.h"
#include "comm/Device.h"
#include "comm/PortRequests.h"
#include "download/Downloads.h"
#include "download/PrinterRig.h"
#include "script/ScriptState.h"

namespace posbench {
namespace {

using test::ManualClock;
using test::Pattern;
using test::RecordingEngineHost;
using test::RecordingStatusList;
using test::ScratchDir;

class FlashSteps : public testing::Test {
protected:
    void SetUp() override {
        SetStatusList(&status);
        SetEngineHost(&host);
        script = dir.Write("script.txt", "");
        SetDefaultPath(1, script);
    }
    // One call of the step machine; the bytes it left to send.
    std::string Step(bool abort = false) {
        bool a = abort;
        ok = FlashDownload(1, a, "");
        return gsOutData;
    }
    // The printer's answer to the step just sent.
    void Answer(int16_t byte) {
        giLastRcvByte(1) = byte;
        CheckDownloadResponse(1);
    }
    // Starts a download of `bytes` and answers up to the first block header.
    void StartAndSelectSector0(const std::string& bytes) {
        dir.Write("fw.bin", bytes);
        bool abort = false;
        ASSERT_TRUE(FlashDownload(1, abort, "fw.bin"));
        ASSERT_EQ(gsOutData, "\x1B\x5B\x7D");
        ASSERT_EQ(Step(), "\x1D\x01");
        Answer(0x0F);
        ASSERT_EQ(Step(), "\x1D\x0E");
        Answer(0x06);
        ASSERT_EQ(Step(), std::string("\x1D\x02\x00", 3));
        Answer(0x06);
    }

    ManualClock clock{1000, 250};  // the pauses pass without real waiting
    ScratchDir dir;
    RecordingStatusList status;
    RecordingEngineHost host;
    std::string script;
    bool ok = false;
};

TEST_F(FlashSteps, SectorCountRoundsUpAndTinyFilesAreRefused) {
    const std::pair<std::size_t, int> cases[] = {
        {100, 1}, {32768, 1}, {65536, 1}, {65537, 2}, {98304, 2}, {163840, 3}, {131072, 2}};
    for (const auto& [size, sectors] : cases) {
        status.lines.clear();
        ResetDownloadGlobals();
        gbFlashDl(1) = false;
        dir.Write("fw.bin", std::string(size, 'x'));
        bool abort = false;
        EXPECT_TRUE(FlashDownload(1, abort, "fw.bin")) << size;
        EXPECT_EQ(status.lines.back(),
                  "Port 1 Number of Sectors to download is: " + std::to_string(sectors))
            << size;
        CloseAllFiles();
    }

    status.lines.clear();
    ResetDownloadGlobals();
    gbFlashDl(1) = false;
    dir.Write("fw.bin", std::string(99, 'x'));
    bool abort = false;
    EXPECT_FALSE(FlashDownload(1, abort, "fw.bin"));
    EXPECT_EQ(status.lines, (std::vector<std::string>{"Port 1 File Size is: 99",
                                                      "Invalid file name.  Download aborted"}));
    EXPECT_FALSE(gbFlashDl(1));
    EXPECT_EQ(FreeFile(), 1);

    // More than 255 sectors do not fit the printer's count.
    status.lines.clear();
    const std::string big = dir / "big.bin";
    std::ofstream(big).close();
    std::filesystem::resize_file(big, 255u * 65536u + 1u);
    EXPECT_FALSE(FlashDownload(1, abort, "big.bin"));
    EXPECT_EQ(status.lines.back(), "Internal Flash Download Error 6: Overflow");
    EXPECT_FALSE(gbFlashDl(1));
    EXPECT_EQ(FreeFile(), 1);
}

TEST_F(FlashSteps, MissingFileAndNameWithoutDirectory) {
    bool abort = false;
    EXPECT_FALSE(FlashDownload(1, abort, "none.bin"));
    EXPECT_EQ(status.lines.size(), 3u);
    EXPECT_EQ(status.lines[1], "Error Opening File");
    EXPECT_EQ(status.lines[2], "File Name: " + (dir / "none.bin"));
    SetDefaultPath(1, "noslash.txt");
    EXPECT_FALSE(FlashDownload(1, abort, "none.bin"));
    EXPECT_EQ(status.lines.back(), "Invalid File path/name");
    // A continuation call with no download running does nothing.
    EXPECT_FALSE(FlashDownload(1, abort, ""));
    EXPECT_EQ(status.lines.size(), 4u);
}

TEST_F(FlashSteps, TopSectorAnswers) {
    for (int16_t top : {int16_t{0x07}, int16_t{0x0F}, int16_t{0x1F}, int16_t{0x3F}, int16_t{0}}) {
        ResetDownloadGlobals();
        gbFlashDl(1) = false;
        status.lines.clear();
        dir.Write("fw.bin", std::string(200, 'x'));
        bool abort = false;
        ASSERT_TRUE(FlashDownload(1, abort, "fw.bin"));
        ASSERT_EQ(Step(), "\x1D\x01");
        EXPECT_EQ(glOutCount, 1);
        EXPECT_EQ(glDlReadMode, STOP_R_NUM);
        Answer(top);
        const std::string next = Step();
        if (top == 0x07 || top == 0x0F || top == 0x1F) {
            EXPECT_EQ(next, "\x1D\x0E") << top;
            EXPECT_EQ(status.lines.back(), "Port 1 Erasing Flash ");
            CloseAllFiles();
        } else {
            EXPECT_EQ(next, "") << top;
            EXPECT_FALSE(ok);
            EXPECT_EQ(status.lines[status.lines.size() - 3],
                      "Port 1 Invalid top sector #: " + std::to_string(top));
            EXPECT_EQ(status.lines[status.lines.size() - 2], "Port 1 Download Aborted: ");
            EXPECT_FALSE(gbFlashDl(1));
            EXPECT_EQ(FreeFile(), 1);
        }
    }
}

TEST_F(FlashSteps, BlocksHeadersPaddingAndRepeats) {
    const std::string image = Pattern(300);
    StartAndSelectSector0(image);

    // Block 0: header at offset 0, then 256 bytes answered with read mode 3.
    EXPECT_EQ(Step(), std::string("\x1D\x11\x00\x00\x00\x01", 6));
    EXPECT_EQ(glOutCount, 0);
    EXPECT_EQ(Step(), image.substr(0, 256));
    EXPECT_EQ(glOutCount, 1);
    EXPECT_EQ(glDlReadMode, STOP_R_WAIT);
    // Called again without an answer (a time-out): the same bytes go again.
    EXPECT_EQ(Step(), image.substr(0, 256));
    Answer(0x06);

    // Block 1 holds the file's tail and erased flash after it.
    EXPECT_EQ(Step(), std::string("\x1D\x11\x00\x01\x00\x01", 6));
    EXPECT_EQ(Step(), image.substr(256) + std::string(212, '\xFF'));
    EXPECT_EQ(Step(), image.substr(256) + std::string(212, '\xFF'));
    Answer(0x06);

    // Blocks 2..255 are erased flash; the header of the block at 0x1200 reads 00 12.
    for (int block = 2; block < 256; ++block) {
        const std::string header = Step();
        if (block == 0x12) {
            EXPECT_EQ(header, std::string("\x1D\x11\x00\x12\x00\x01", 6));
        }
        EXPECT_EQ(Step(), std::string(256, '\xFF'));
        EXPECT_EQ(glDlReadMode, block == 255 ? STOP_R_NUM : STOP_R_WAIT) << block;
        Answer(0x06);
    }
    // All sectors written: the reset, then the end.
    EXPECT_EQ(Step(), "\x1D\xFF");
    EXPECT_EQ(status.lines.back(), "Reseting Port 1 Printer");
    EXPECT_EQ(host.timeouts, (std::vector<std::pair<int16_t, long>>{{1, 300}}));
    EXPECT_TRUE(gbFlashDl(1));
    EXPECT_EQ(Step(), "");
    EXPECT_TRUE(ok);
    EXPECT_FALSE(gbFlashDl(1));
    EXPECT_EQ(FreeFile(), 1);
}

TEST_F(FlashSteps, RefusedAnswersAndAbortEndTheDownload) {
    struct Case {
        int answered;  // which answer is refused: 0 erase, 1 sector select, 2 data
        const char* message;
    } cases[] = {{0, "Port 1 Flash Erase Failed"},
                 {1, "Port 1 Unknown Response to Erase Flash Command"},
                 {2, "Port 1 Download sector response status error"}};
    for (const auto& c : cases) {
        ResetDownloadGlobals();
        gbFlashDl(1) = false;
        status.lines.clear();
        dir.Write("fw.bin", Pattern(1000));
        bool abort = false;
        ASSERT_TRUE(FlashDownload(1, abort, "fw.bin"));
        Step();
        Answer(0x0F);
        Step();
        Answer(c.answered == 0 ? 0x15 : 0x06);
        if (c.answered >= 1) {
            Step();
            Answer(c.answered == 1 ? 0x15 : 0x06);
        }
        if (c.answered == 2) {
            Step();
            Step();
            Answer(0x15);
        }
        EXPECT_EQ(Step(), "");
        EXPECT_FALSE(ok);
        EXPECT_EQ(status.lines[status.lines.size() - 3], c.message);
        EXPECT_FALSE(gbFlashDl(1));
        EXPECT_EQ(FreeFile(), 1);
    }

    // The stop flag sends a running download to its abort step: nothing more is sent.
    ResetDownloadGlobals();
    status.lines.clear();
    bool abort = false;
    ASSERT_TRUE(FlashDownload(1, abort, "fw.bin"));
    EXPECT_EQ(Step(true), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(status.lines.back(), "Reseting Port 1 Printer");
    EXPECT_FALSE(gbFlashDl(1));
    EXPECT_EQ(FreeFile(), 1);
}

}  // namespace
}  // namespace posbench
