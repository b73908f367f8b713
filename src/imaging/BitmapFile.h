#pragma once
// The headers of the bitmap files the imaging commands write (little-endian): the 14-byte file
// header and the 40-byte information header, for bottom-up rows padded to 4 bytes.
#include <cstdint>
#include <string>

namespace posbench {

// Bytes in one padded row of width pixels at bitsPerPixel.
uint32_t BitmapStride(int32_t width, uint16_t bitsPerPixel);

// The 54 header bytes; colourTableBytes follow them, then height padded rows.
std::string BitmapHeaders(int32_t width, int32_t height, uint16_t bitsPerPixel,
                          uint32_t colourTableBytes);

}  // namespace posbench
