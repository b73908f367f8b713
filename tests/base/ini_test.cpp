#include "base/Ini.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iterator>

#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::EntriesIn;
using test::ScratchDir;

std::string Get(const std::string& section, const std::string& key, const std::string& file) {
    return GetPrivateProfileString(section, key, "NONE", file);
}

TEST(IniRead, LookupsAgainstOneFile) {
    ScratchDir dir;
    std::string longValue(300, 'x');
    longValue[148] = 'L';
    const std::string f = dir.Write("a.ini",
                                    "[Communication]\n  com1 =  115200, DTR, OFF  \r\n\tLPT1\t=\tON\t\n"
                                    "Q1=\"  padded  \"\nQ2='single'\r\nQ3=\"mismatched'\nQ4=\"\nQ5=a\"b\"\n"
                                    "empty=\nk=1\nK=2\nlong=" + longValue + "\nnul=ab" + std::string(1, '\0') +
                                    "cd\n[ other ]\nMaxPorts=2\n[communication]\nlater=3\n");
    struct Case { const char* section; const char* key; std::string value; };
    const Case cases[] = {
        {"COMMUNICATION", "COM1", "115200, DTR, OFF"},  // names without case, values trimmed
        {" Communication ", " LPT1 ", "ON"},
        // matching quotes go, others stay
        {"Communication", "Q1", "  padded  "}, {"Communication", "Q2", "single"},
        {"Communication", "Q3", "\"mismatched'"}, {"Communication", "Q4", "\""}, {"Communication", "Q5", "a\"b\""},
        {"Communication", "empty", ""},                 // present but empty is not missing
        {"Communication", "K", "1"},                    // the first key of the name wins
        {"Communication", "later", "NONE"},             // and the first section of the name
        {"Communication", "long", longValue.substr(0, 149)}, {"Communication", "nul", "ab"},
        {"OTHER", "MAXPORTS", "2"}, {"B", "k", "NONE"},
    };
    for (const Case& c : cases) EXPECT_EQ(Get(c.section, c.key, f), c.value) << c.key;
    EXPECT_EQ(GetPrivateProfileString("A", "x", std::string(200, 'd'), f).size(), 149u);
    EXPECT_EQ(Get("A", "k", dir / "nothere.ini") + Get("A", "k", dir.path().string()), "NONENONE");  // a folder is no INI
}

TEST(IniRead, OddLinesAreSkippedAndABrokenHeaderEndsItsSection) {
    ScratchDir dir;
    std::string f = dir.Write("a.ini", "[A]\nno equals sign here\n=novalue\n; k=commented\nk=real\n"
                                       "[Broken\nafter=broken\n[Devices]\nCOM1=/dev/a\n;c\nusb=/w,/r\n[B]\nb=1");
    EXPECT_EQ((std::vector<std::string>{Get("A", "k", f), Get("A", "; k", f), Get("A", "after", f),
                                        Get("Broken", "after", f), Get("B", "b", f)}),  // b: no line end
              (std::vector<std::string>{"real", "NONE", "NONE", "NONE", "1"}));
    EXPECT_EQ(GetPrivateProfileKeys("A", f), (std::vector<std::string>{"k"}));
    EXPECT_EQ(GetPrivateProfileKeys("DEVICES", f), (std::vector<std::string>{"COM1", "usb"}));
    EXPECT_TRUE(GetPrivateProfileKeys("none", f).empty() && GetPrivateProfileKeys("x", dir / "missing.ini").empty());
}

TEST(IniWrite, CreatesFileAndSectionWithLfLineEnds) {
    ScratchDir dir;
    std::string f = dir / "new.ini";
    ASSERT_TRUE(WritePrivateProfileString("Communication", "COM1", " 115200, DTR, OFF", f));
    ASSERT_TRUE(WritePrivateProfileString("OTHER", "MAXPORTS", "2", f));
    ASSERT_TRUE(WritePrivateProfileString("communication", "LPT1", " ON", f));
    ASSERT_TRUE(WritePrivateProfileSection("X", {"a=1", "b=2"}, f));
    ASSERT_TRUE(WritePrivateProfileSection("Y", {}, f));
    EXPECT_EQ(dir.Read("new.ini"), "[Communication]\nCOM1= 115200, DTR, OFF\nLPT1= ON\n[OTHER]\nMAXPORTS=2\n"
                                   "[X]\na=1\nb=2\n[Y]\n");
    // A last line without its line end gets one before the lines added after it.
    f = dir.Write("a.ini", "[A]\r\nk=1");
    ASSERT_TRUE(WritePrivateProfileString("A", "j", "2", f));
    ASSERT_TRUE(WritePrivateProfileString("B", "m", "3", f));
    EXPECT_EQ(dir.Read("a.ini"), "[A]\r\nk=1\r\nj=2\r\n[B]\r\nm=3\r\n");
}

TEST(IniWrite, ReplacesAndDeletesKeysKeepingEverythingElse) {
    ScratchDir dir;
    const std::string head = "; top comment\r\n[A]\r\n", rest = "# odd line\r\nother=1\r\n";
    const std::string tail = "\r\n[B]\r\nkey=b\r\n";
    std::string f = dir.Write("a.ini", head + "  Key = old \r\n" + rest + tail);
    ASSERT_TRUE(WritePrivateProfileString("a", "KEY", "new", f));
    ASSERT_TRUE(WritePrivateProfileString("A", "added", "x", f));
    EXPECT_EQ(dir.Read("a.ini"), head + "KEY=new\r\n" + rest + "added=x\r\n" + tail);
    ASSERT_TRUE(WritePrivateProfileString("A", "key", std::nullopt, f));
    ASSERT_TRUE(WritePrivateProfileString("A", "added", std::nullopt, f));
    // Deleting what is not there changes nothing and creates nothing.
    ASSERT_TRUE(WritePrivateProfileString("Z", "gone", std::nullopt, f));
    ASSERT_TRUE(WritePrivateProfileString("Z", "gone", std::nullopt, dir / "none.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
    EXPECT_EQ(dir.Read("a.ini"), head + rest + tail);
}

TEST(IniWrite, SectionRewriteKeepsTheRestByteForByte) {
    ScratchDir dir;
    const std::string head = "; Startup\r\n\r\n";
    const std::string tail = "\r\n[OTHER]\r\nMAXPORTS=2\r\n[Devices]\r\nCOM1=/dev/ttyUSB0\r\n";
    std::string f = dir.Write("s.ini", head + "[communication]\r\n; ports\r\nCOM1= 9600, DTR, OFF\r\n"
                                              "LPT1= ON\r\n" + tail);
    ASSERT_TRUE(WritePrivateProfileSection("Communication", {"USB= NATIVE, OFF", "TCP= 10.0.0.2, ON"}, f));
    EXPECT_EQ(dir.Read("s.ini"), head + "[communication]\r\n; ports\r\nUSB= NATIVE, OFF\r\n"
                                        "TCP= 10.0.0.2, ON\r\n" + tail);
    ASSERT_TRUE(WritePrivateProfileSection("COMMUNICATION", {}, f));
    EXPECT_EQ(dir.Read("s.ini"), head + "[communication]\r\n; ports\r\n" + tail);
    ASSERT_TRUE(WritePrivateProfileSection("Communication", {"COM2= 19200, XON, ON"}, f));
    EXPECT_EQ(dir.Read("s.ini"), head + "[communication]\r\n; ports\r\nCOM2= 19200, XON, ON\r\n" + tail);
}

TEST(IniWrite, RefusesNamesAndValuesThatWouldBreakTheFile) {
    ScratchDir dir;
    const std::string before = "[A]\nk=v\n";
    std::string f = dir.Write("a.ini", before);
    const std::vector<std::string> refused[] = {{"A", "k", "two\nlines"}, {"A", "k", std::string("nul\0", 4)},
                                                {"A", "k=j", "x"}, {"A", "  ", "x"}, {"A", "[B]", "x"},
                                                {"A]", "k", "x"}, {"", "k", "x"}};
    for (const auto& r : refused) EXPECT_FALSE(WritePrivateProfileString(r[0], r[1], r[2], f)) << r[0] << r[1] << r[2];
    EXPECT_FALSE(WritePrivateProfileSection("A", {"noequals"}, f) || WritePrivateProfileSection("A", {"a=1\r\n[B]"}, f));
    EXPECT_EQ(dir.Read("a.ini"), before);
}

TEST(IniWrite, ReadsAndWritesReachTheFileFoundWithoutCase) {
    ScratchDir dir;
    dir.Write("Sub/Startup.ini", "[A]\nk=1\n");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", dir / "SUB/STARTUP.INI"));
    EXPECT_EQ(dir.Read("Sub/Startup.ini"), "[A]\nk=2\n");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "3", dir / "sub/New.ini"));
    EXPECT_EQ(dir.Read("Sub/New.ini"), "[A]\nk=3\n");
    EXPECT_EQ(EntriesIn(dir.path() / "Sub"), 2);
}

// A new file renamed into place: the old one never touched, its permissions kept, no temporary
// file left. When the new file cannot be written in full (a file size limit, which holds for any
// user, root included) the write fails and the old file stays as it was.
TEST(IniWrite, ReplacementKeepsPermissionsAndAFailedOneLeavesTheOldFileIntact) {
    ScratchDir dir;
    std::string f = dir.Write("a.ini", "[A]\nk=1\n");
    ASSERT_EQ(::chmod(f.c_str(), 0640), 0);
    int original = ::open(f.c_str(), O_RDONLY);  // holds the old file's inode
    ASSERT_GE(original, 0);
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", f));
    ASSERT_TRUE(WritePrivateProfileSection("A", {"x=1"}, f));
    struct stat before{}, after{};
    ASSERT_EQ(::fstat(original, &before), 0);
    ASSERT_EQ(::stat(f.c_str(), &after), 0);
    ::close(original);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(before.st_size, 8);
    EXPECT_EQ(dir.Read("a.ini"), "[A]\nx=1\n");
    EXPECT_EQ(EntriesIn(dir.path()), 1);

    struct rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct sigaction ignore{}, previous{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    struct rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = WritePrivateProfileString("A", "k", std::string(100, 'v'), f);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(dir.Read("a.ini"), "[A]\nx=1\n");
    EXPECT_EQ(EntriesIn(dir.path()), 1);
}

TEST(IniWrite, SymlinksAreFollowedAndOtherTargetsNeverReplaced) {
    ScratchDir dir;
    std::string real = dir.Write("real.ini", "[A]\nk=1\n");
    std::filesystem::create_symlink(real, dir / "link.ini");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", dir / "link.ini"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(dir.Read("real.ini"), "[A]\nk=2\n");
    std::filesystem::create_directory(dir / "adir.ini");
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "1", dir / "adir.ini"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "adir.ini"));
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "1", dir / "nodir/a.ini"));
}

}  // namespace
}  // namespace posbench
