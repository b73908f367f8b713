#include "imaging/BitmapFile.h"

namespace posbench {
namespace {

void PutLe(std::string& s, std::size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFFu);
}

}  // namespace

uint32_t BitmapStride(int32_t width, uint16_t bitsPerPixel) {
    return (static_cast<uint32_t>(width) * bitsPerPixel + 31) / 32 * 4;
}

std::string BitmapHeaders(int32_t width, int32_t height, uint16_t bitsPerPixel,
                          uint32_t colourTableBytes) {
    const uint32_t pixelsAt = 54 + colourTableBytes;
    const uint32_t imageSize = BitmapStride(width, bitsPerPixel) * static_cast<uint32_t>(height);
    std::string header(54, '\0');
    header[0] = 'B';
    header[1] = 'M';
    PutLe(header, 2, pixelsAt + imageSize, 4);
    PutLe(header, 10, pixelsAt, 4);
    PutLe(header, 14, 40, 4);
    PutLe(header, 18, static_cast<uint32_t>(width), 4);
    PutLe(header, 22, static_cast<uint32_t>(height), 4);
    PutLe(header, 26, 1, 2);
    PutLe(header, 28, bitsPerPixel, 2);
    PutLe(header, 34, imageSize, 4);
    return header;
}

}  // namespace posbench
