#include "imaging/Imaging.h"

#include "imaging/ImagingViews.h"
#include "imaging/Tiff.h"
#include "script/Producers.h"

namespace posbench {

void RegisterImaging() {
    RegisterTiffCommand(ProcessTiffFile, [] { return gsTiffErr; });
}

void ResetImagingGlobals() {
    ResetTiffGlobals();
    SetImagingViews(nullptr);
}

}  // namespace posbench
