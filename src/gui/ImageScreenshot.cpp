#include "gui/ImageScreenshot.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "base/Display.h"
#include "base/Events.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "gui/FrmStartup.h"
#include "imaging/Tiff.h"
#include "script/ScriptProcessor.h"

namespace posbench::gui {

void ScheduleImageScreenshot(FrmStartup& startup, const QString& file) {
    QTimer::singleShot(1200, &startup, [] {
        gbStop(1) = false;
        gbScriptRunning(1) = true;
        RunTextFile(1, false, gsProgramDir + "/Scripts/CheckImage.txt");
        WakeEvents();  // the engine sleeps until something happens: the script is that
    });
    QTimer::singleShot(4000, &startup, [] {
        const std::string name = gsProgramDir + "/Scripts/IMG*.TIF";
        for (const std::string command : {"IMAGE SHOW ", "MICR SHOW "})
            if (!ProcessTiffFile(1, command + name)) Display(gsTiffErr);
    });
    QTimer::singleShot(5000, &startup, [file] {
        bool ok = false;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "frmImage" && w->isVisible()) ok = w->grab().save(file, "PNG");
        if (!ok) std::fprintf(stderr, "posbench: no image window to save as %s\n", file.toLocal8Bit().constData());
        QCoreApplication::exit(ok ? 0 : 1);
    });
}

}  // namespace posbench::gui
