// Choosing, creating and seeding the program directory; the drives and folders the file panel
// offers.
#include "app/ProgramDir.h"
#include "app/Drives.h"

#include <stdlib.h>

#include <filesystem>
#include <future>
#include <vector>
#include <string>

#include <gtest/gtest.h>

#include "comm/CommGlobals.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::ScratchDir;

// Sets (or, given nullptr, removes) an environment variable until the end of the scope.
struct EnvVar {
    EnvVar(const char* key, const char* value) : name(key), had(getenv(key) != nullptr) {
        if (had) old = getenv(key);
        value ? setenv(key, value, 1) : unsetenv(key);
    }
    ~EnvVar() { had ? setenv(name, old.c_str(), 1) : unsetenv(name); }
    const char* name;
    bool had;
    std::string old;
};

TEST(ProgramDir, OptionThenPosbenchHomeThenXdgThenHomeAndOneThatCannotBeMadeIsRefused) {
    EnvVar home("HOME", "/home/tech");
    EnvVar xdg("XDG_CONFIG_HOME", nullptr);
    EnvVar own("POSBENCH_HOME", nullptr);
    EXPECT_EQ(ChooseProgramDir(""), "/home/tech/.config/posbench");
    {
        EnvVar set("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(ChooseProgramDir(""), "/cfg/posbench");
        EnvVar bench("POSBENCH_HOME", "/bench");
        EXPECT_EQ(ChooseProgramDir(""), "/bench");
        EXPECT_EQ(ChooseProgramDir("here"), "here");
    }
    EnvVar noHome("HOME", nullptr);
    EXPECT_EQ(ChooseProgramDir(""), "");
    std::string error;
    EXPECT_FALSE(SetUpProgramDir("", "", error));
    EXPECT_FALSE(error.empty());

    // Seeding a fresh directory and keeping the user's own Startup.ini is
    // Shipped/SampleTest.RunsCleanlyAndPrintsOnlyWhatItSays'.
    ScratchDir target;
    target.Write("file", "");
    EXPECT_FALSE(PrepareProgramDir(target / "file/sub", "", error));
    EXPECT_NE(error.find("Cannot create"), std::string::npos);
    ASSERT_TRUE(SetUpProgramDir(target / "dir/", "", error)) << error;
    EXPECT_EQ(gsProgramDir, target / "dir");
}

// Programs started together on a new directory all seed it: none fails on a file another
// one has just put in place, and every file arrives whole.
TEST(ProgramDir, ConcurrentFirstRunsAllSucceed) {
    ScratchDir samples;
    const auto name = [](int i) { return "s" + std::to_string(i) + ".ini"; };
    for (int i = 0; i < 20; ++i) samples.Write(name(i), std::string(4096, static_cast<char>(65 + i)));
    for (int round = 0; round < 40; ++round) {
        ScratchDir target;
        std::vector<std::future<std::string>> runs;
        for (int program = 0; program < 4; ++program)
            runs.push_back(std::async(std::launch::async, [&] {
                std::string error;
                PrepareProgramDir(target / "home", samples.path().string(), error);
                return error;
            }));
        for (auto& run : runs) EXPECT_EQ(run.get(), "");
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(std::filesystem::file_size(target / ("home/" + name(i))), 4096u);
    }
}

TEST(Drives, RootsAreTheRootHomeAndMountedMediaOnce) {
    ScratchDir dir;
    const std::string mounts = dir.Write(
        "mounts",
        "/dev/sda1 / ext4 rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/sdb1 /media/tech/USB\\040STICK vfat rw 0 0\n"
        "/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
        "/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
        "/dev/sdd1 /run/media/tech/CARD vfat rw 0 0\n"
        "tmpfs /run/user/1000 tmpfs rw 0 0\n"
        "broken\n");
    EnvVar home("HOME", dir.path().c_str());
    const std::vector<std::string> roots = DriveRoots(mounts);
    EXPECT_EQ(roots, (std::vector<std::string>{"/", dir.path().string(), "/media/tech/USB STICK",
                                               "/mnt/backup", "/run/media/tech/CARD"}));

    EXPECT_EQ(DriveOf("/mnt/backup/fw", roots), "/mnt/backup");
    EXPECT_EQ(DriveOf("/mnt/backupold", roots), "/");  // a name that only starts alike
    EXPECT_EQ(DriveOf("/media/tech/USB STICK", roots), "/media/tech/USB STICK");
    EXPECT_EQ(DriveOf((dir.path() / "a/b").string(), roots), dir.path().string());
}

}  // namespace
}  // namespace posbench
