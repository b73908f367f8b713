#include "base/PathCase.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::ScratchDir;

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

TEST(PathCase, RelativeNamesStartAtTheCurrentDirectory) {
    ScratchDir dir;
    dir.Write("Sub/Demo.ini", "x");
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::string found = ResolvePathNoCase("SUB/demo.ini");
    std::string parent = ResolveParentNoCase("sub/New.ini");
    std::filesystem::current_path(previous);
    EXPECT_EQ(found, "Sub/Demo.ini");
    EXPECT_EQ(parent, "Sub/New.ini");
}

}  // namespace
}  // namespace posbench
