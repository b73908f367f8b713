#include "app/Drives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::ScratchDir;

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
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    setenv("HOME", dir.path().c_str(), 1);
    const std::vector<std::string> roots = DriveRoots(mounts);
    if (home) setenv("HOME", savedHome.c_str(), 1);
    else unsetenv("HOME");
    EXPECT_EQ(roots, (std::vector<std::string>{"/", dir.path().string(), "/media/tech/USB STICK",
                                               "/mnt/backup", "/run/media/tech/CARD"}));

    EXPECT_EQ(DriveOf("/mnt/backup/fw", roots), "/mnt/backup");
    EXPECT_EQ(DriveOf("/mnt/backupold", roots), "/");  // a name that only starts alike
    EXPECT_EQ(DriveOf("/media/tech/USB STICK", roots), "/media/tech/USB STICK");
    EXPECT_EQ(DriveOf((dir.path() / "a/b").string(), roots), dir.path().string());
    EXPECT_EQ(DriveOf("/etc", roots), "/");
}

TEST(Drives, FolderAndFileListings) {
    ScratchDir dir;
    for (const char* sub : {"beta", "Alpha", ".hidden"}) std::filesystem::create_directories(dir.path() / sub);
    for (const char* name : {"b.TXT", "a.txt", "c.bin", "txt", "Alpha/inner.txt"}) dir.Write(name, "");

    const FolderListing listing = ListFolder(dir.path().string());
    ASSERT_FALSE(listing.ancestors.empty());
    EXPECT_EQ(listing.ancestors.front() + "|" + listing.ancestors.back(), "/|" + dir.path().string());
    EXPECT_EQ(listing.children, (std::vector<std::string>{(dir.path() / "Alpha").string(),
                                                          (dir.path() / "beta").string()}));

    EXPECT_EQ(ListFiles(dir.path().string(), "*.txt"), (std::vector<std::string>{"a.txt", "b.TXT"}));
    EXPECT_EQ(ListFiles(dir.path().string(), "*.*").size(), 4u);
    EXPECT_TRUE(ListFiles(dir / "missing", "*.*").empty() && ListFolder(dir / "missing").children.empty());
    // A chosen file joins its folder with one separator (the usual case is MainWindowTest's).
    EXPECT_EQ(JoinFileSelection("/", "a.txt") + "|" + JoinFileSelection("/home/t", "/a.txt"), "/a.txt|/home/t/a.txt");
}

}  // namespace
}  // namespace posbench
