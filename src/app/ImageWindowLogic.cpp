#include "app/ImageWindowLogic.h"

#include <algorithm>

#include "base/Display.h"
#include "imaging/Tiff.h"
#include "imaging/TiffBitmap.h"

namespace posbench {

ImageWindowPlan PlanImageWindow(PixelSize image, PixelSize available, int controls) {
    const PixelSize needed{image.width, image.height + controls};
    if (needed.width <= available.width && needed.height <= available.height)
        return {needed, ImageZoom::Actual};
    const PixelSize room{available.width, std::max(available.height - controls, 1)};
    const double scale = PictureScale(ImageZoom::Fit, image, room);
    const PixelSize picture{static_cast<int>(image.width * scale),
                            static_cast<int>(image.height * scale)};
    return {{std::max(picture.width, 1), picture.height + controls}, ImageZoom::Fit};
}

double PictureScale(ImageZoom zoom, PixelSize image, PixelSize viewport) {
    if (zoom == ImageZoom::Actual || image.width <= 0 || image.height <= 0) return 1.0;
    const double across = static_cast<double>(std::max(viewport.width, 1)) / image.width;
    const double down = static_cast<double>(std::max(viewport.height, 1)) / image.height;
    return std::min({across, down, 1.0});
}

PixelSize ThumbnailSize(PixelSize image, int maxHeight) {
    if (image.height <= maxHeight || image.height <= 0) return image;
    return {std::max(image.width * maxHeight / image.height, 1), maxHeight};
}

void Image1_DblClick(int16_t port) {
    if (!ShowTNailFile(port)) Display(gsTiffErr);
}

}  // namespace posbench
