#pragma once
// The windows the imaging commands show their results in: the image window (frmImage, with its
// MICR text box), the tag window (frmTags) and the main window's picture (Image1). The desktop
// program binds them to its windows, the headless runner prints what they would show; with none
// registered nothing is shown.
#include <string>
#include <vector>

namespace posbench {

class IImagingViews {
public:
    virtual ~IImagingViews() = default;
    // The image window with the bitmap file; false when the bitmap cannot be loaded.
    virtual bool ShowImageWindow(const std::string& bitmapPath) = 0;
    // The MICR label and text box of the image window, made visible with the text; the window
    // is shown.
    virtual void ShowMicrText(const std::string& text) = 0;
    virtual void HideMicrText() = 0;
    // The main window's picture with the bitmap file; false when it cannot be loaded.
    virtual bool ShowPicture(const std::string& bitmapPath) = 0;
    // The tag window with these lines (the header line first).
    virtual void ShowTagList(const std::vector<std::string>& lines) = 0;
};

void SetImagingViews(IImagingViews* views);
IImagingViews* ImagingViews();

}  // namespace posbench
