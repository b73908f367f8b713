#include "imaging/ImagingViews.h"

namespace posbench {
namespace {
IImagingViews* gViews = nullptr;
}  // namespace

void SetImagingViews(IImagingViews* views) { gViews = views; }
IImagingViews* ImagingViews() { return gViews; }

}  // namespace posbench
