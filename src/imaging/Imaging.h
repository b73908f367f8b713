#pragma once
// The check-image commands ([TIF] script lines) registered with the script engine.
namespace posbench {

// Every program calls it once at start, beside RegisterDownloads.
void RegisterImaging();

// The TIFF module's state back to its start (tests).
void ResetImagingGlobals();

}  // namespace posbench
