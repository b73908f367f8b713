#pragma once
// libtiff as the oracle of the imaging tests and the benchmark: pages written and coded by
// libtiff's own encoder, and decoded back with TIFFReadEncodedStrip. The programs never use it.
#include <tiffio.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace posbench::test {

// A bilevel page as libtiff stores it with min-is-white: rows of width / 8 bytes, 1 bits black.
struct Page {
    explicit Page(int rows, bool black = false)
        : height(rows), bits(216u * rows, black ? 0xFF : 0x00) {}
    void Black(int x, int y) { bits[y * 216 + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8)); }
    const int width = 1728;
    int height;
    std::vector<uint8_t> bits;
};

// Runs of every length class: make-up codes alone, make-up plus terminating codes, single pixels.
inline Page MakeUpPage(int height) {
    Page p(height);
    const int runs[] = {64, 1, 127, 128, 2, 1000, 63, 191, 1, 151};
    for (int y = 0; y < height; ++y) {
        int x = y % 7;
        bool black = true;
        for (int i = 0; x < p.width; i = (i + 1) % 10) {
            const int n = runs[(i + y) % 10];
            for (int k = 0; k < n && x < p.width; ++k, ++x)
                if (black) p.Black(x, y);
            black = !black;
        }
    }
    return p;
}

// Text-like marks: short strokes in lines of characters, as on a printed check.
inline Page TextPage(int height, unsigned seed) {
    Page p(height);
    std::mt19937 rng(seed);
    for (int top = 10; top + 24 < height; top += 30)
        for (int left = 40; left + 14 < p.width - 40; left += 16) {
            if (rng() % 5 == 0) continue;
            for (int stroke = 0; stroke < 6; ++stroke) {
                const int x0 = left + static_cast<int>(rng() % 12), y0 = top + static_cast<int>(rng() % 20);
                const int len = 2 + static_cast<int>(rng() % 10);
                const bool across = rng() % 2 == 0;
                for (int k = 0; k < len; ++k) p.Black(across ? x0 + k % 14 : x0, across ? y0 : y0 + k % 24);
            }
        }
    return p;
}

// The page as one strip, compressed as given (mode "w" native, "wb" big-endian); Group 3 with
// group3Options (GROUP3OPT_FILLBITS: every EOL byte-aligned).
inline void WritePage(const Page& page, const std::string& path, uint16_t compression,
                      const char* mode = "w", uint32_t group3Options = 0) {
    TIFF* t = TIFFOpen(path.c_str(), mode);
    if (!t) throw std::runtime_error("cannot write " + path);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, group3Options);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, page.height);
    auto rows = page.bits;
    TIFFWriteEncodedStrip(t, 0, rows.data(), static_cast<tmsize_t>(rows.size()));
    TIFFClose(t);
}

// libtiff's decode of the file's first strip, in its own order (top-down, 1 bits black).
inline std::vector<uint8_t> LibtiffDecode(const std::string& path) {
    TIFFSetWarningHandler(nullptr);  // tag 65002 is private: libtiff would warn about it
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (!t) throw std::runtime_error("libtiff cannot read " + path);
    std::vector<uint8_t> out(static_cast<std::size_t>(TIFFStripSize(t)));
    const tmsize_t n = TIFFReadEncodedStrip(t, 0, out.data(), -1);
    TIFFClose(t);
    if (n < 0) throw std::runtime_error("libtiff cannot decode " + path);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// A one-bit bitmap file's pixels in libtiff's order: rows top-down, 1 bits black.
inline std::vector<uint8_t> BitmapAsTiffRows(const std::string& bmp, int width, int height) {
    const std::size_t rowBytes = static_cast<std::size_t>(width + 7) / 8;
    const std::size_t stride = static_cast<std::size_t>(width + 31) / 32 * 4;
    std::vector<uint8_t> rows(rowBytes * height);
    for (int y = 0; y < height; ++y)
        for (std::size_t i = 0; i < rowBytes; ++i)
            rows[y * rowBytes + i] = static_cast<uint8_t>(~bmp.at(62 + (height - 1 - y) * stride + i));
    return rows;
}

}  // namespace posbench::test
