#pragma once
// For the documentation's picture of the image window: the sample script Scripts/CheckImage.txt
// runs on port 1, the captured check is shown in the image window with its MICR text, and a
// picture of that window is saved before the program ends.
#include <QString>

namespace posbench::gui {

class FrmStartup;

void ScheduleImageScreenshot(FrmStartup& startup, const QString& file);

}  // namespace posbench::gui
