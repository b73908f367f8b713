#pragma once
// Stopping the program or resetting a printer in the middle of a firmware download can leave
// the printer without working firmware: those two actions ask first. Nothing else asks.
#include <cstdint>
#include <string>

namespace posbench {

// The first port (1..6) on which a file, flash, boot or image-bank download runs; 0 for none.
int16_t DownloadingPort();

// True when no download runs, or the user answered Yes to "Port n is writing firmware. Stop it
// and <action>?" (action such as "quit" or "reset the printer"). A Yes stops that port.
bool ConfirmStopDownload(const std::string& action);

}  // namespace posbench
