// Check images: arbitrary files through every [TIF] command (the directory walk, the MICR text,
// the tag list, the bitmap output and the decoder), and arbitrary strips through the decoder
// twice, by the 13-bit lookup and bit at a time, which must agree on the outcome, the messages
// and every pixel. The first byte chooses: even for a TIFF file, odd for a bare strip.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "base/Views.h"
#include "imaging/Ccitt.h"
#include "imaging/Tiff.h"
#include "script/ScriptState.h"

using namespace posbench;

namespace {

void Strip(const uint8_t* data, size_t size) {
    if (size < 4) return;
    // Sizes up to a little past the caps, so that the caps are crossed too.
    const int32_t width = (data[0] << 8 | data[1]) % 2400;
    const int32_t height = (data[2] << 8 | data[3]) % 2600;
    test::RecordingStatusList status;
    SetStatusList(&status);
    DecodedPage fast, slow;
    const bool fastOk = DecodeStrip(data + 4, size - 4, width, height, fast);
    const auto fastLines = status.lines;
    status.lines.clear();
    const bool slowOk = DecodeStrip(data + 4, size - 4, width, height, slow, true);
    SetStatusList(nullptr);
    if (fastOk != slowOk || fastLines != status.lines || fast.pixels != slow.pixels) std::abort();
    (void)OneBitBitmap(fast, fastOk);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::FreshRun();
    if (data[0] & 1) {
        Strip(data + 1, size - 1);
        return 0;
    }
    test::RecordingStatusList status;
    SetStatusList(&status);
    fuzz::WriteScratch("f.tif", std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    gPortState(1).ScriptFile = fuzz::Scratch() + "/s.txt";
    for (const char* line : {"TAG SHOW f.tif", "MICR VIEW f.tif", "IMAGE SHOW f.tif"})
        (void)ProcessTiffFile(1, line);
    SetStatusList(nullptr);
    return 0;
}
