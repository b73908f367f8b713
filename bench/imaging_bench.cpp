// Group 3 decoding speed: posbench's decoder against libtiff's TIFFReadEncodedStrip on the same
// strip, in the same run. Each round reads the strip from the file and decodes it into a fresh
// page, as converting an image does; the best of many rounds is reported.
// Run: posbench-bench-imaging [FILE.tif]   (without FILE: a 1728 x 2200 page of text-like marks)
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/Ccitt.h"
#include "imaging/LibtiffOracle.h"

namespace {

using Clock = std::chrono::steady_clock;

// A single-strip, big-endian Group 3 one-dimensional page written by libtiff.
std::string BuiltInPage() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "posbench-bench-page.tif").string();
    posbench::test::WritePage(posbench::test::TextPage(2200, 1), path, COMPRESSION_CCITTFAX3, "wb");
    return path;
}

template <typename F>
double BestMicroseconds(F decode) {
    double best = 1e300;
    const auto end = Clock::now() + std::chrono::seconds(2);
    for (int round = 0; round < 2000 && (round < 20 || Clock::now() < end); ++round) {
        const auto start = Clock::now();
        decode();
        best = std::min(best, std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    TIFFSetWarningHandler(nullptr);
    const std::string path = argc > 1 ? argv[1] : BuiltInPage();
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (!t) {
        std::fprintf(stderr, "posbench-bench-imaging: cannot read %s\n", path.c_str());
        return 1;
    }
    uint32_t width = 0, height = 0;
    uint16_t compression = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets);
    TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts);
    if (compression != COMPRESSION_CCITTFAX3 || TIFFNumberOfStrips(t) != 1 || !offsets || !counts) {
        std::fprintf(stderr, "posbench-bench-imaging: %s is not a single-strip Group 3 image\n",
                     path.c_str());
        return 1;
    }
    const auto offset = static_cast<std::streamoff>(offsets[0]);
    const auto count = static_cast<std::size_t>(counts[0]);

    std::ifstream file(path, std::ios::binary);
    std::string strip(count, '\0');
    bool ok = true;
    const double ours = BestMicroseconds([&] {
        file.seekg(offset);
        file.read(strip.data(), static_cast<std::streamsize>(count));
        posbench::DecodedPage page;
        ok = posbench::DecodeStrip(reinterpret_cast<const uint8_t*>(strip.data()), count,
                                   static_cast<int32_t>(width), static_cast<int32_t>(height), page);
    });
    std::vector<uint8_t> buffer(static_cast<std::size_t>(TIFFStripSize(t)));
    const double theirs = BestMicroseconds([&] {
        TIFFReadEncodedStrip(t, 0, buffer.data(), static_cast<tmsize_t>(buffer.size()));
    });
    TIFFClose(t);
    if (!ok) std::fprintf(stderr, "posbench-bench-imaging: posbench's decoder refused the strip\n");
    std::printf("decode %ux%u: posbench %.0f us, libtiff %.0f us, ratio %.2f\n", width, height,
                ours, theirs, ours / theirs);
    return ok ? 0 : 1;
}
