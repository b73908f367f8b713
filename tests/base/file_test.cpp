// File names (complete, split, found without case) and the numbered file handles.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/Events.h"
#include "base/File.h"
#include "base/PathCase.h"
#include "base/RuntimeError.h"
#include "base/Views.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::ManualClock;
using test::ScratchDir;

TEST(CompletePath, RelativeNamesJoinTheScriptsDirectory) {
    auto complete = [](std::string name, const std::string& script) {
        EXPECT_TRUE(GetCompletePath(name, script)) << gsFileErr;
        return name;
    };
    EXPECT_EQ(complete("\\logo.bmp", "C:\\Scripts\\demo.txt"), "C:\\Scripts\\logo.bmp");
    EXPECT_EQ(complete("D:\\x.bin", "C:\\Scripts\\demo.txt"), "D:\\x.bin");
    EXPECT_EQ(complete("\\\\srv\\share\\x.bin", "C:\\Scripts\\demo.txt"), "\\\\srv\\share\\x.bin");
    EXPECT_EQ(complete("\\logo.bmp", "/home/t/scripts/demo.txt"), "/home/t/scripts/logo.bmp");
    EXPECT_EQ(complete("fw\\a.bin", "/home/t/scripts/demo.txt"), "/home/t/scripts/fw\\a.bin");
    EXPECT_EQ(complete("/opt/fw.bin", "demo.txt"), "/opt/fw.bin");
    EXPECT_EQ(complete("a.bin", "rel/demo.txt"), "rel/a.bin");
}

// A script name without a folder is FlashSteps.MissingFileAndNameWithoutDirectory's, a blank
// file name DownloadTest.ABootFileUnder256BytesOrNoFileNameIsRefused's.
TEST(SplitNames, PathFileNameAndNativeForm) {
    std::string name = "logo.bmp";
    EXPECT_FALSE(GetCompletePath(name, ""));
    EXPECT_EQ(gsFileErr, "Missing path error - blank line");
    ASSERT_TRUE(CheckPath("C:\\dir/sub\\f.txt"));
    EXPECT_EQ(gsSplitName, "C:\\dir/sub\\");
    ASSERT_TRUE(CheckFileName("C:\\dir/sub\\f.txt"));
    EXPECT_EQ(gsSplitName, "f.txt");
    EXPECT_FALSE(CheckFileName("C:\\dir\\"));
    EXPECT_EQ(gsFileErr + "|" + gsSplitName, "Invalid File Name|");

    EXPECT_EQ(NativePath("C:\\no-such-dir\\a.bin"), "/no-such-dir/a.bin");
    EXPECT_EQ(NativePath("\\\\srv\\share\\a.bin"), "//srv/share/a.bin");
    EXPECT_TRUE(IsAbsoluteName("x:rel") && !IsAbsoluteName("\\rel") && !IsAbsoluteName(""));
}

TEST(PathCase, EachComponentIsMatchedWithoutCaseOrLeftAsWritten) {
    ScratchDir dir;
    dir.Write("Tables/Q310Con.ini", "x");
    for (const char* name : {"a/File.ini", "a/FILE.ini", "a/file.INI"}) dir.Write(name, "x");
    const std::string root = dir.path().string();
    EXPECT_EQ(ResolvePathNoCase(root + "/TABLES/q310con.INI"), root + "/Tables/Q310Con.ini");
    // The exact name is preferred, and among the others the smallest, so the choice is stable.
    EXPECT_EQ(ResolvePathNoCase(root + "/a/FILE.ini"), root + "/a/FILE.ini");
    EXPECT_EQ(ResolvePathNoCase(root + "/A/file.ini"), root + "/a/FILE.ini");
    EXPECT_EQ(ResolvePathNoCase(root + "//tables/./Q310CON.ini"), root + "/Tables/./Q310Con.ini");
    // Names written with the other separator still find the file.
    EXPECT_EQ(ResolvePathNoCase(root + "\\tables\\q310con.ini"), root + "/Tables/Q310Con.ini");
    // No match gives the name as written.
    dir.Write("a/b.ini", "x");
    EXPECT_EQ(ResolvePathNoCase(root + "/A/missing.ini"), root + "/A/missing.ini");
    EXPECT_EQ(ResolvePathNoCase(root + "/x/b.ini"), root + "/x/b.ini");
    EXPECT_EQ(ResolvePathNoCase(root + "/a/B.INI/deeper"), root + "/a/B.INI/deeper");
}

TEST(OpenFile, RefusalsLeaveAnUnopenedHandleAndHandlesAreReused) {
    ScratchDir dir;
    const std::string missing = dir / "missing.txt";
    EXPECT_FALSE(OpenFile(missing, open_mode::TextRead));
    EXPECT_EQ(gsFileErr, "Can't find " + missing);
    EXPECT_FALSE(IsFileOpen(giFileNum) || std::filesystem::exists(missing));  // reading never creates
    EXPECT_EQ(gsFileName, "");
    EXPECT_FALSE(OpenFile(dir.path().string(), open_mode::BinaryRead));
    EXPECT_FALSE(OpenFile(dir / "no-dir/new.txt", open_mode::BinaryWrite));
    EXPECT_EQ(gsFileErr, "Open File Error: 76: Path not found");

    // Handles are numbered and reused, up to the limit.
    const std::string name = dir.Write("a.txt", "x");
    ASSERT_TRUE(OpenFile(name, open_mode::BinaryRead));
    const int16_t first = giFileNum;
    ASSERT_TRUE(OpenFile(name, open_mode::TextRead));
    EXPECT_NE(giFileNum, first);
    CloseFile(first);
    CloseFile(first);  // closing twice is harmless
    EXPECT_EQ(FreeFile(), first);
    for (int i = 0; i < kMaxFileHandles - 1; ++i) ASSERT_TRUE(OpenFile(name, open_mode::BinaryRead));
    EXPECT_FALSE(OpenFile(name, open_mode::BinaryRead));
    EXPECT_EQ(gsFileErr, "Open File Error: 67: Too many files");
}

// Text lines end at CR LF, LF or CR; binary reads step byte by byte or in runs to the end.
TEST(Handles, TextLinesAndBinaryReadsToTheEnd) {
    ScratchDir dir;
    ASSERT_TRUE(OpenFile(dir.Write("s.txt", "one\r\ntwo\nthree\rfour\r\n\r\nlast"), open_mode::TextRead));
    std::string line;
    std::vector<std::string> lines;
    while (!FileEOF(giFileNum) && LineInput(giFileNum, line)) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "four", "", "last"}));
    EXPECT_FALSE(LineInput(giFileNum, line));
    EXPECT_EQ(line, "");

    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    ASSERT_TRUE(OpenFile(dir.Write("b.bin", all), open_mode::BinaryRead));
    const int16_t h = giFileNum;
    std::string got;
    while (!FileEOF(h)) ASSERT_TRUE(GetBinaryChar(h, got));
    EXPECT_EQ(got, all);
    EXPECT_FALSE(GetBinaryChar(h, got));
    EXPECT_EQ(gsFileErr, "Get Binary Char Error: 62: Input past end of file");
    EXPECT_EQ(got.size(), 256u);
    SeekFile(h, 250);
    EXPECT_THROW(ReadBytes(h, 7), RuntimeError);
    EXPECT_EQ(FilePosition(h), 250);  // a refused read consumes nothing
    EXPECT_EQ(ReadBytes(h, 6), all.substr(250));
}

TEST(Handles, AppendAddsAndBinaryWriteReplaces) {
    ScratchDir dir;
    for (const char* text : {"first", "second"}) {
        ASSERT_TRUE(OpenFile(dir / "cap.txt", open_mode::TextAppend));
        PrintLine(giFileNum, text);
        CloseFile(giFileNum);
    }
    EXPECT_EQ(dir.Read("cap.txt"), "first\r\nsecond\r\n");
    ASSERT_TRUE(OpenFile(dir.Write("cap.bin", "old contents"), open_mode::BinaryWrite));
    WriteBytes(giFileNum, std::string("\x00\xFF", 2));
    CloseFile(giFileNum);
    EXPECT_EQ(dir.Read("cap.bin"), std::string("\x00\xFF", 2));
}

TEST(WaitFileTime, PumpsEventsUntilTheDeadlineOrAnAbort) {
    ManualClock clock(0xFFFFFF00u, 100);  // the deadline lies past the 32-bit wrap
    int pumped = 0;
    SetWindowPump([&] { ++pumped; });
    EXPECT_TRUE(WaitFileTime(1, 0));
    EXPECT_TRUE(WaitFileTime(4, 1000));
    EXPECT_GE(pumped, 5);
    EXPECT_GE(clock.Now(), 744u);  // 0xFFFFFF00 + 1000, wrapped
    EXPECT_LT(clock.Now(), 0x10000u);
    clock.SetAutoAdvance(1);
    PostNotice([] { gbDlAbort(4) = true; });
    EXPECT_FALSE(WaitFileTime(4, 60000));
    const uint32_t before = clock.Now();
    EXPECT_FALSE(WaitFileTime(4, 500));
    EXPECT_EQ(clock.Now() - before, 2u);  // the deadline and one reading in the loop
}

}  // namespace
}  // namespace posbench
