#include "imaging/TiffBitmap.h"

#include <filesystem>
#include <system_error>

#include "base/Display.h"
#include "base/Events.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "imaging/BitmapFile.h"
#include "imaging/Ccitt.h"
#include "imaging/ImagingViews.h"
#include "imaging/Tiff.h"

namespace posbench {
namespace {

constexpr int32_t kCompressionNone = 1;
constexpr int32_t kCompressionGroup3 = 3;

// The step's own message replaces the reason below it; the reason is kept as a status line.
void FailWith(const char* text) {
    if (!gsTiffErr.empty()) Display(gsTiffErr);
    gsTiffErr = text;
}

// An old bitmap must never be shown as the image of this file.
void RemoveOldBitmap(const std::string& tiffName) {
    std::string old = "\\temp1.bmp";
    if (!GetCompletePath(old, tiffName)) return;
    std::error_code ec;
    std::filesystem::remove(NativePath(old), ec);
}

// An uncompressed 8-bit image as a grey bitmap, last row first.
bool GreyBitmap(int16_t tiffFileNumber, std::string& fileName, int32_t pageNumber) {
    const int32_t width = gTiff.imageWidth;
    const int32_t height = gTiff.imageLength;
    const int64_t size = static_cast<int64_t>(width) * height;
    if (size == 0) {  // a width of 0 would still make height rows of nothing
        gsTiffErr = "TIFF image of" + Str(width) + " x" + Str(height) + " pixels has no pixels";
        return false;
    }
    if (size > kMaxStripBytes) {
        gsTiffErr = "TIFF image of" + Str(width) + " x" + Str(height) +
                    " pixels is too large to convert";
        return false;
    }
    std::string strip;
    if (!ReadStrip(tiffFileNumber, gTiff.stripOffset, static_cast<int32_t>(size), strip))
        return false;
    std::string bmpName = "\\temp" + CStr(pageNumber) + ".bmp";
    if (!GetCompletePath(bmpName, fileName)) {
        gsTiffErr = "Invalid Tiff or bmp path";
        return false;
    }
    ClosingFile bmp;
    if (!OpenFile(bmpName, open_mode::BinaryWrite)) {
        gsTiffErr = gsFileErr;
        return false;
    }
    bmp.number = giFileNum;
    fileName = bmpName;

    const uint32_t stride = BitmapStride(width, 8);
    std::string out = BitmapHeaders(width, height, 8, 1024) + SetMyColortable();
    out.reserve(out.size() + stride * static_cast<uint32_t>(height));
    const std::string padding(stride - static_cast<uint32_t>(width), '\0');
    for (int32_t y = height; y >= 1; --y) {
        out.append(strip, static_cast<std::size_t>(y - 1) * width, static_cast<std::size_t>(width));
        out += padding;
    }
    WriteBytes(bmp.number, out);
    return true;
}

}  // namespace

std::string SetMyColortable() {
    std::string table(1024, '\0');
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) table[4 * i + c] = static_cast<char>(i);
    return table;
}

bool TiffToBmp(int16_t port, int16_t tiffFileNumber, std::string& fileName, int32_t pageNumber) {
    try {
        gsTiffErr.clear();
        if (gTiff.compression != kCompressionGroup3 && gTiff.compression != kCompressionNone) {
            gsTiffErr = "Unsupported TIFF compression: " + CStr(gTiff.compression);
            return false;
        }
        if (gTiff.stripCount != 1) {
            gsTiffErr = "TIFF images of more than one strip are not supported (" +
                        CStr(gTiff.stripCount) + " strips)";
            return false;
        }
        if (gTiff.compression == kCompressionGroup3)
            return DecodeCCITT3(port, gTiff.stripOffset, gTiff.imageWidth, gTiff.imageLength,
                                gTiff.stripByteCount, fileName);
        return GreyBitmap(tiffFileNumber, fileName, pageNumber);
    } catch (...) {
        gsTiffErr = FailureLine("modTiff, TiffToBmp Error ", ": ");
        return false;
    }
}

void ShowTiffImage(int16_t port, const std::string& fileName, bool view) {
    gsTNailFile = fileName;
    gsTiffErr.clear();
    int32_t pageNumber = 0;
    std::string name = fileName;
    {
        ClosingFile file;
        if (!OpenTiffFile(port, name, file)) return;
        gsTNailFile = name;
        RemoveOldBitmap(name);
        DirectoryChain chain;
        // The header check leaves its text until the first directory walk clears it, so a file
        // without a first directory ends here as an invalid header.
        while (gTiff.position != 0) {
            if (!chain.Visit(gTiff.position)) break;
            ReadTiffBuffer(file.number, gTiff.position);
            if (!bEndian(0, false)) {
                FailWith("Tiff bEndian  Format Error");
                break;
            }
            if (gTiff.imageWidth % 4 == 0) {
                ++pageNumber;
                std::string bitmap = name;
                if (!TiffToBmp(port, file.number, bitmap, pageNumber)) {
                    FailWith("Tiff to BMP Error");
                    break;
                }
                DoEvents();
            }
            if (!CalcEntriesOffset(gTiff.position)) break;
        }
    }
    if (!gsTiffErr.empty()) return;
    if (pageNumber == 0) {
        gsTiffErr = "No image of " + name + " was converted: no directory has a width that is a "
                    "multiple of 4";
        return;
    }
    if (!CheckPath(name)) {
        gsTiffErr = "Invalid Tiff file";
        return;
    }
    const std::string bitmap = gsSplitName + "temp1.bmp";
    IImagingViews* views = ImagingViews();
    if (!views) return;
    const bool shown = view ? views->ShowPicture(NativePath(bitmap))
                            : views->ShowImageWindow(NativePath(bitmap));
    if (!shown) gsTiffErr = "Unable to show the bitmap " + bitmap;
}

bool ShowTNailFile(int16_t port) {
    try {
        gsTiffErr.clear();
        if (gsTNailFile.empty()) {
            gsTiffErr = "No image has been shown yet";
            return false;
        }
        ShowTiffImage(port, gsTNailFile, false);
        return gsTiffErr.empty();
    } catch (...) {
        gsTiffErr = FailureLine("modTiff, ShowTNailFile Error ", ": ");
        return false;
    }
}

}  // namespace posbench
