#pragma once
// The check image the simulated printer's imager returns when no --image file is given: a
// drawn check, 1728 x 800 pixels at 200 dpi, as a big-endian single-strip TIFF coded in CCITT
// Group 3 one-dimensional (an EOL before every line, six EOLs after the last), with the MICR
// line and its terminating NUL in private tag 65002.
//
// Its encoder is the printer's own and shares nothing with the tool's decoder, so that a
// mistake in either shows up as a mismatch instead of cancelling out.
#include <string>

namespace posbench::sim {

inline constexpr int kCheckWidth = 1728;
inline constexpr int kCheckHeight = 800;
inline constexpr const char* kCheckMicr = "T123456789T 0123456789O 1042";

// The TIFF file's bytes (built once).
const std::string& CheckImageTiff();

}  // namespace posbench::sim
