#pragma once
// modCCITT: the one-dimensional CCITT Group 3 (modified Huffman) decoder of the check images and
// the one-bit bitmap it writes ("temp1.bmp" beside the TIFF file).
//
// The strip is read into memory once and decoded with a lookup over 13 bits at a time. The
// lookup table is derived from the bit-at-a-time reading (GetPixelRun over GetNextBit) by
// running that reading over every 13-bit pattern, and whatever the table cannot settle within
// 13 bits (long fill, the last bits of the strip, a bad black code) falls back to it, so both
// ways give the same runs, the same end codes and the same messages.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace posbench {

// GetPixelRun's end codes.
inline constexpr int16_t kRunEndOfData = -1;
inline constexpr int16_t kRunEol = -2;
inline constexpr int16_t kRunInvalid = -3;

// The decoder's bounds: a line longer than this is refused ("line too long"), and no more lines
// than this are read from one strip. Images are capped to them before their array is sized.
inline constexpr int32_t kMaxLinePixels = 2288;
inline constexpr int32_t kMaxLines = 2497;
// The largest strip (or uncompressed image) read into memory.
inline constexpr int32_t kMaxStripBytes = 64 << 20;

// The bit reader over a strip held in memory: bits are taken most significant first.
struct StripBits {
    const uint8_t* data = nullptr;
    std::size_t size = 0;   // bytes
    std::size_t pos = 0;    // bits used
};

// 0, 1, or -1 when the strip is used up.
int GetNextBit(StripBits& bits);
// One code of the colour (white when true), bit at a time: a run length (0..1728), or
// kRunEndOfData, kRunEol (eleven or more 0 bits and a 1), kRunInvalid.
int16_t GetPixelRun(bool white, StripBits& bits);

// The decoded page: rows of width / 8 bytes, bottom-up (the first line decoded is the last
// row), 1 bits white, the leftmost pixel in the most significant bit; rows never decoded stay 0.
struct DecodedPage {
    int32_t width = 0;   // pixels, after the cap
    int32_t height = 0;  // rows, after the cap
    int32_t rowLength = 0;
    std::vector<uint8_t> pixels;
};

// DecodePage over a strip in memory. True when the strip ended (the page is then complete);
// false after a status line saying why, or when kMaxLines lines did not reach the end of the
// data. bitAtATime decodes without the lookup table (the reference for tests and fuzzing).
bool DecodeStrip(const uint8_t* strip, std::size_t size, int32_t width, int32_t height,
                 DecodedPage& page, bool bitAtATime = false);

// Width and height capped to the decoder's bounds, with a status line when a cap applies.
void CapImageSize(int32_t& width, int32_t& height);

// The one-bit bitmap file of a decoded page: 62 bytes of headers (black and white colours),
// then the rows, each padded with zeros to a multiple of 4 bytes.
std::string OneBitBitmap(const DecodedPage& page, bool withPixels);

// The strip of the open TIFF file. False with the TIFF error text when it does not lie inside
// the file or is larger than kMaxStripBytes.
bool ReadStrip(int16_t tiffFileNumber, int32_t stripOffset, int32_t stripByteCount,
               std::string& strip);

// Decodes the strip of the TIFF file fileName (completed against the port's script) into
// "temp1.bmp" in the TIFF file's directory; fileName then names the bitmap. False with the
// TIFF error text, or after the decoder's status line.
bool DecodeCCITT3(int16_t port, int32_t stripOffset, int32_t width, int32_t height,
                  int32_t stripByteCount, std::string& fileName);

}  // namespace posbench
