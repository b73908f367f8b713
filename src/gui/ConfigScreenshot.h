#pragma once
// The documentation's picture of the configuration window: once start-up has run, the window is
// opened on port 1 and the printer chosen first, its report fetched, and the window saved as a
// PNG; the program then ends (status 0 when the picture was written).
#include <QString>

namespace posbench::gui {

class FrmStartup;

void ScheduleConfigScreenshot(FrmStartup& startup, const QString& file);

}  // namespace posbench::gui
