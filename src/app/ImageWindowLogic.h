#pragma once
// The logic of the image window (frmImage) and of the main window's picture (Image1): how big
// the window opens, how the picture is scaled, and what a double-click on the picture does.
// A check page of 1728 x 2200 pixels fits no screen, so the window opens fitted to the space
// the screen offers and the user switches between the whole page (fit) and its real pixels
// (1:1, scrolled); an image that fits opens at its own size.
#include <cstdint>

namespace posbench {

struct PixelSize {
    int width = 0;
    int height = 0;
};

enum class ImageZoom { Fit, Actual };

struct ImageWindowPlan {
    PixelSize window;  // the window's first size, its frame excluded
    ImageZoom zoom = ImageZoom::Actual;
};

// image: the bitmap; available: the screen's free area less the window frame; controls: the
// height of the row of buttons under the picture.
ImageWindowPlan PlanImageWindow(PixelSize image, PixelSize available, int controls);

// The picture's scale in a viewport: 1 for Actual, else the largest that shows the whole
// image without enlarging it.
double PictureScale(ImageZoom zoom, PixelSize image, PixelSize viewport);

// The main window's picture: the bitmap scaled down to at most maxHeight rows, proportions kept.
PixelSize ThumbnailSize(PixelSize image, int maxHeight);

// The picture was double-clicked: the last image shown again in the image window, or the
// reason why not as a status line.
void Image1_DblClick(int16_t port);

}  // namespace posbench
