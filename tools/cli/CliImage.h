#pragma once
// Check images without windows: what the image, MICR and tag windows would show is printed,
// and --image, --tags and --micr work on a TIFF file without opening any port.
#include <string>
#include <vector>

#include "imaging/ImagingViews.h"

namespace posbench::cli {

// Prints one line per thing shown: "Bitmap: PATH" for an image (window or picture), "MICR: TEXT",
// the tag lines as they are. With bare set the bitmap's path and the MICR text stand alone.
class PrintingImagingViews : public IImagingViews {
public:
    explicit PrintingImagingViews(bool bare = false) : bare_(bare) {}
    bool ShowImageWindow(const std::string& bitmapPath) override;
    void ShowMicrText(const std::string& text) override;
    void HideMicrText() override {}
    bool ShowPicture(const std::string& bitmapPath) override;
    void ShowTagList(const std::vector<std::string>& lines) override;

private:
    bool bare_;
};

// --image, --tags or --micr on file: the exit status (0, or 1 with the TIFF error text printed
// on standard error).
int RunTiffOption(const std::string& option, const std::string& file);

}  // namespace posbench::cli
