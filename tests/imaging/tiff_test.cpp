// The TIFF reader, the bitmap output and the decoder on small hand-made files: the texts a user
// sees, and hostile files that once read outside their buffers, looped or showed stale images.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/Views.h"
#include "imaging/Ccitt.h"
#include "imaging/Tiff.h"
#include "script/ScriptState.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

constexpr uint32_t kAtPayload = 0xFFFFFFF0u;  // an entry value replaced by the payload's offset

struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
};

std::string Be(uint32_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

// "MM", one directory at offset 8, then the payload.
std::string Tiff(const std::vector<Entry>& entries, const std::string& payload = "",
                 uint32_t next = 0) {
    const uint32_t at = 8 + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
    std::string s = std::string("MM\0*", 4) + Be(8, 4) + Be(static_cast<uint32_t>(entries.size()), 2);
    for (const auto& e : entries)
        s += Be(e.tag, 2) + Be(e.type, 2) + Be(e.count, 4) + Be(e.value == kAtPayload ? at : e.value, 4);
    return s + Be(next, 4) + payload;
}

// A Group 3 strip from code strings, padded with 0 bits to whole bytes.
std::string Bits(const std::vector<std::string>& codes) {
    std::string bits;
    for (const auto& c : codes) bits += c;
    std::string bytes((bits.size() + 7) / 8, '\0');
    for (std::size_t i = 0; i < bits.size(); ++i)
        if (bits[i] == '1') bytes[i / 8] = static_cast<char>(bytes[i / 8] | (0x80 >> (i % 8)));
    return bytes;
}

const std::string kEol = "000000000001", kWhite1728 = "010011011", kWhite0 = "00110101",
                  kBlack512 = "0000001101100", kBlack48 = "000001100100", kBlack49 = "000001100101";

std::vector<Entry> Group3(uint32_t width, uint32_t height, uint32_t bytes) {
    return {{256, 4, 1, width}, {257, 4, 1, height}, {259, 3, 1, 3u << 16},
            {273, 4, 1, kAtPayload}, {279, 4, 1, bytes}};
}

class TiffFiles : public ::testing::Test {
protected:
    void SetUp() override {
        SetStatusList(&status);
        gPortState(1).ScriptFile = dir / "s.txt";
    }
    bool Run(const std::string& line) { return ProcessTiffFile(1, line); }
    test::ScratchDir dir;
    test::RecordingStatusList status;
};

TEST_F(TiffFiles, MicrAndCommands) {
    // The header, the tag list and the bitmap shown are CliTest's (--image, --tags).
    const std::string micr = "T123456789T 0123456789O 1234\x03";  // 30 bytes with the terminator
    dir.Write("x.tif", Tiff({{256, 4, 1, 1728}, {259, 3, 1, 4u << 16}, {kTagMicr, 2, 30, kAtPayload}}, micr));
    ASSERT_TRUE(Run("micr view x.tif")) << gsTiffErr;  // MICR SHOW in its window is MainWindowTest's
    EXPECT_EQ(status.lines.back(), micr.substr(0, 29));

    EXPECT_FALSE(Run("LOGO SHOW X.TIF"));
    EXPECT_EQ(gsTiffErr, "Invalid TIFF parameter");
    glCaptureCounter = 12;
    EXPECT_FALSE(Run("IMAGE VIEW IMG*.TIF"));
    EXPECT_NE(gsTiffErr.find("IMG0012.TIF"), std::string::npos) << gsTiffErr;
}

TEST_F(TiffFiles, GreyImageBecomesAnUpsideDownEightBitBitmap) {
    dir.Write("g.tif", Tiff({{256, 4, 1, 4}, {257, 4, 1, 2}, {259, 3, 1, 1u << 16},
                             {273, 4, 1, kAtPayload}, {279, 4, 1, 8}}, "ABCDEFGH"));
    ASSERT_TRUE(Run("IMAGE VIEW g.tif")) << gsTiffErr;
    const std::string bmp = dir.Read("temp1.bmp");
    ASSERT_EQ(bmp.size(), 1086u);
    EXPECT_EQ(bmp.substr(1078), "EFGHABCD");
}

TEST_F(TiffFiles, HostileFilesEndWithAClearTextAndNoStaleImage) {
    const std::string strip = Bits({kEol, kWhite1728, kWhite0, kEol});
    const uint32_t n = static_cast<uint32_t>(strip.size());
    auto entries = Group3(1728, 1, n);
    std::string manyEntries = Tiff(entries);
    manyEntries[9] = '\xFF';  // 255 entries run past the 2049-byte buffer
    const std::vector<std::pair<std::string, std::string>> files{
        {manyEntries, "more than fit in the 2049 bytes read"},
        {Tiff({{kTagMicr, 2, 10, 5000}}), "lies outside the 2049 bytes"},
        {Tiff({{kTagMicr, 2, 0, 8}}), "count 0"},
        {Tiff(entries, strip, 8), "loops back to offset 8"},
        {Tiff(Group3(1728, 1, n + 1), strip), "runs past the end of the file"},
        {Tiff({{256, 4, 1, 8}, {259, 3, 1, 5u << 16}}), "Unsupported TIFF compression: 5"},
        {Tiff(Group3(1730, 1, n), strip), "was converted"},
        {Tiff({{256, 4, 1, 0}, {257, 4, 1, 0x7FFFFFFF}, {259, 3, 1, 1u << 16}}), "has no pixels"},
    };
    for (const auto& [bytes, why] : files) {
        SCOPED_TRACE(why);
        dir.Write("temp1.bmp", "stale");
        dir.Write("h.tif", bytes);
        status.lines.clear();
        const bool micr = why.find("count") != std::string::npos || why.find("outside") != std::string::npos;
        EXPECT_FALSE(Run(micr ? "MICR VIEW h.tif" : "IMAGE SHOW h.tif"));
        std::string all = gsTiffErr;
        for (const auto& l : status.lines) all += l;  // long texts wrap over status lines
        EXPECT_NE(all.find(why), std::string::npos) << all;
        if (why == "was converted") { EXPECT_FALSE(std::filesystem::exists(dir / "temp1.bmp")); }
    }
}

TEST(Ccitt, DecoderEdgesAndBounds) {
    test::RecordingStatusList status;
    SetStatusList(&status);
    const std::string line = kWhite1728 + kWhite0;
    struct Strip {
        std::vector<std::string> codes;
        int height;
        bool ok;
        std::string message;
    } strips[] = {
        {{line}, 1, false, "Compressed file missing initial EOL"},
        {{kEol, "0000000011"}, 1, false, "Invalid CCITT Compressed File: -3"},
        {{kEol, kWhite1728, kWhite0, kBlack512, kBlack49, kEol}, 1, false, "line too long"},
        {{kEol, "11011"}, 1, false, "decode: make-up code missing"},
        // 2288 pixels into a 1728-pixel row, then more lines than the image has.
        {{kEol, kWhite1728, kWhite0, kBlack512, kBlack48, kEol, line, kEol, line, kEol, line, kEol}, 1, true, "clipped"},
        // The strip ends in the middle of the second line; the third row is never decoded.
        {{kEol, line, kEol, "0111"}, 3, true, "ends mid-line"},
    };
    for (const auto& s : strips) {
        SCOPED_TRACE(s.message);
        status.lines.clear();
        const std::string bytes = Bits(s.codes);
        for (bool bitAtATime : {false, true}) {
            DecodedPage page;
            EXPECT_EQ(DecodeStrip(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                  1728, s.height, page, bitAtATime), s.ok);
            if (s.ok) { EXPECT_EQ(page.pixels[(s.height - 1) * 216 + 215], 0xFF); }
            if (s.height == 3) { EXPECT_EQ(page.pixels[0], 0); }
        }
        if (!s.ok) { EXPECT_EQ(status.lines, std::vector<std::string>(2, s.message)); }
    }
}

}  // namespace
}  // namespace posbench
