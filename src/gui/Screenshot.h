#pragma once
// Pictures for the documentation: the program runs as usual, shows one window in a state a
// user would see, writes a PNG of it and ends.
#include <QString>

namespace posbench::gui {

class FrmStartup;

// what: "main" (a command sent and answered), "setup" (the port setup window), "vk" (the VK
// utility after a version query), "demo" (the receipt demo panel after a receipt) or "config"
// (the configuration window with port 1's report). False for an unknown name.
bool ScheduleScreenshot(FrmStartup& startup, const QString& file, const QString& what);

}  // namespace posbench::gui
