#pragma once
// The image of a TIFF file as a bitmap file beside it, shown in the image window or as the main
// window's picture. Group 3 images go through the decoder ("temp1.bmp", one bit per pixel);
// uncompressed 8-bit images are copied into a grey bitmap ("temp" + page + ".bmp").
#include <cstdint>
#include <string>

namespace posbench {

// Converts every directory of the file whose width is a multiple of 4 and shows "temp1.bmp":
// in the image window, or with view set in the main window's picture. The outcome is the TIFF
// error text.
void ShowTiffImage(int16_t port, const std::string& fileName, bool view);

// Converts the image the last directory walk described. fileName names the TIFF file on entry
// and the bitmap on return. False with the TIFF error text.
bool TiffToBmp(int16_t port, int16_t tiffFileNumber, std::string& fileName, int32_t pageNumber);

// The 256 grey entries (blue, green, red, 0) of an 8-bit bitmap's colour table.
std::string SetMyColortable();

// Shows the last image again in the image window (the main window's picture double-clicked).
bool ShowTNailFile(int16_t port);

}  // namespace posbench
