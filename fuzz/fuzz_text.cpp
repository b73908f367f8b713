// Data lines: parameters, comments, hex tokens and mixed text on arbitrary lines. Hex pairs
// written out as "HH HH ..." must convert back to the same bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "base/Text.h"

using namespace posbench;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    fuzz::FreshRun();
    const auto index = in.ConsumeIntegral<int16_t>();
    const std::string delimiter = in.ConsumeRandomLengthString(3);
    const bool toEnd = in.ConsumeBool();
    const bool isText = in.ConsumeBool();
    const std::string line = in.ConsumeRemainingBytesAsString();

    (void)GetParameter(index, delimiter, toEnd, line);
    std::string stripped = line;
    (void)StripComment(isText, stripped);
    std::string trimmed = line;
    (void)TrimLeadingSpaces(trimmed);
    (void)ProcessMixedLine(line);
    (void)ProcessData(line);
    (void)ConvertHexPairs(line);
    (void)HexCharToByte(line);

    // The bytes of the line written as hex pairs come back unchanged.
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : line) {
        if (!hex.empty()) hex += ' ';
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    if (!line.empty()) {
        if (!ProcessData(hex) || gsResult != line) std::abort();
    }
    return 0;
}
