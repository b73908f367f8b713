// The decoder against libtiff: pages compressed by tiffcp (Group 3 one-dimensional, with and
// without byte-aligned EOLs) and the simulated printer's own check image must come out of
// [TIF] IMAGE VIEW with libtiff's pixels, and the table-driven decode must equal the
// bit-at-a-time one. (Capturing the check over TCP and a pty is CliTest's and ScriptIntegration's.)
#include <gtest/gtest.h>

#include <string>

#include "CheckImage.h"
#include "imaging/Ccitt.h"
#include "imaging/Tiff.h"
#include "imaging/LibtiffOracle.h"
#include "script/ScriptState.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::Page;

struct Case {
    const char* name;
    Page page;
};

TEST(CcittOracle, DecodesLibtiffGroup3PagesLikeLibtiff) {
    test::ScratchDir dir;
    gPortState(1).ScriptFile = dir / "s.txt";
    const Case cases[] = {
        {"white", test::BlankPage(37)},
        {"black", test::BlankPage(1, true)},
        {"makeup", test::MakeUpPage(800)},
        {"text", test::TextPage(800, 7)},
        {"tall", test::TextPage(2200, 11)},
    };
    for (const auto& c : cases) {
        for (const std::string coding : {"g3:1d", "g3:1d:fill"}) {
            SCOPED_TRACE(std::string(c.name) + " " + coding);
            const std::string plain = dir / "plain.tif", coded = dir / "coded.tif";
            test::WritePage(c.page, plain, COMPRESSION_NONE);
            test::Compress(plain, coded, coding, c.page.height);
            const auto expected = test::LibtiffDecode(coded);
            ASSERT_EQ(expected, c.page.bits) << "the fixture itself";

            ASSERT_TRUE(ProcessTiffFile(1, "IMAGE VIEW coded.tif")) << gsTiffErr;
            const std::string bmp = test::ReadAll(dir / "temp1.bmp");
            EXPECT_EQ(bmp.size(), 62u + 216u * c.page.height);
            EXPECT_TRUE(test::BitmapAsTiffRows(bmp, 1728, c.page.height) == expected);

            const std::string file = test::ReadAll(coded);
            const auto* strip = reinterpret_cast<const uint8_t*>(file.data()) + gTiff.stripOffset;
            DecodedPage fast, slow;
            EXPECT_EQ(DecodeStrip(strip, gTiff.stripByteCount, 1728, c.page.height, fast),
                      DecodeStrip(strip, gTiff.stripByteCount, 1728, c.page.height, slow, true));
            EXPECT_TRUE(fast.pixels == slow.pixels);
        }
    }
}

TEST(CcittOracle, TheSimulatedPrintersCheckDecodesLikeLibtiff) {
    test::ScratchDir dir;
    gPortState(1).ScriptFile = dir / "s.txt";
    dir.Write("check.tif", sim::CheckImageTiff());
    ASSERT_TRUE(ProcessTiffFile(1, "IMAGE VIEW check.tif")) << gsTiffErr;
    const auto expected = test::LibtiffDecode(dir / "check.tif");
    ASSERT_EQ(expected.size(), 216u * 800u);
    EXPECT_TRUE(test::BitmapAsTiffRows(test::ReadAll(dir / "temp1.bmp"), 1728, 800) == expected);
}

}  // namespace
}  // namespace posbench
