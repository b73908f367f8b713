#include "gui/ConfigScreenshot.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "gui/FrmConfigIn.h"
#include "gui/FrmMain.h"
#include "gui/FrmStartup.h"

namespace posbench::gui {

namespace {
constexpr int kPollMs = 200;
constexpr int kGiveUpMs = 15000;

FrmConfigIn* ConfigWindow(FrmStartup& startup) {
    FrmMain* main = startup.MainForm();
    return main ? main->findChild<FrmConfigIn*>("frmConfigIn") : nullptr;
}

void SaveWhenDone(FrmStartup& startup, const QString& file, int waited) {
    FrmConfigIn* window = ConfigWindow(startup);
    if (window && !window->Logic().LastOutcome() && waited < kGiveUpMs) {
        QTimer::singleShot(kPollMs, &startup, [&startup, file, waited] {
            SaveWhenDone(startup, file, waited + kPollMs);
        });
        return;
    }
    const bool ok = window && window->Logic().LastOutcome() == true && window->grab().save(file, "PNG");
    if (!ok) std::fprintf(stderr, "posbench: no configuration report to picture in %s\n", file.toLocal8Bit().constData());
    QCoreApplication::exit(ok ? 0 : 1);
}
}  // namespace

void ScheduleConfigScreenshot(FrmStartup& startup, const QString& file) {
    QTimer::singleShot(1200, &startup, [&startup, file] {
        FrmMain* main = startup.MainForm();
        if (main) main->btnPrntConfig("", "");
        if (FrmConfigIn* window = ConfigWindow(startup)) window->Logic().btnConfiguration_Click();
        SaveWhenDone(startup, file, 0);
    });
}

}  // namespace posbench::gui
