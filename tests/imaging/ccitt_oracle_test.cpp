// The decoder against libtiff: pages libtiff codes in Group 3 one-dimensional (with and without
// byte-aligned EOLs) and the simulated printer's own check image must come out of [TIF] IMAGE
// VIEW with libtiff's pixels. (The table-driven decode against the bit-at-a-time one is
// fuzz_tiff's; capturing the check over TCP and a pty is CliTest's and ScriptIntegration's.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CheckImage.h"
#include "imaging/LibtiffOracle.h"
#include "imaging/Tiff.h"
#include "script/ScriptState.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

TEST(CcittOracle, DecodesGroup3PagesAndTheSimulatedCheckLikeLibtiff) {
    test::ScratchDir dir;
    gPortState(1).ScriptFile = dir / "s.txt";
    const std::pair<std::string, test::Page> pages[] = {
        {"white", test::Page(37)},            {"black", test::Page(1, true)},
        {"makeup", test::MakeUpPage(800)},    {"text", test::TextPage(800, 7)},
        {"tall", test::TextPage(2200, 11)},
    };
    std::vector<std::pair<std::string, int>> files;  // each file and its height
    files.emplace_back(dir.Write("check.tif", sim::CheckImageTiff()), 800);
    for (const auto& [name, page] : pages)
        for (const uint32_t options : {0u, uint32_t{GROUP3OPT_FILLBITS}}) {
            files.emplace_back(dir / (name + std::to_string(options) + ".tif"), page.height);
            test::WritePage(page, files.back().first, COMPRESSION_CCITTFAX3, "wb", options);
            ASSERT_EQ(test::LibtiffDecode(files.back().first), page.bits) << "the fixture itself";
        }
    for (const auto& [file, height] : files) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(ProcessTiffFile(1, "IMAGE VIEW " + file)) << gsTiffErr;
        const std::string bmp = dir.Read("temp1.bmp");
        EXPECT_EQ(bmp.size(), 62u + 216u * height);
        EXPECT_TRUE(test::BitmapAsTiffRows(bmp, 1728, height) == test::LibtiffDecode(file));
    }
}

}  // namespace
}  // namespace posbench
