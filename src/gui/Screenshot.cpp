#include "gui/Screenshot.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "gui/ConfigScreenshot.h"
#include "gui/FrmMain.h"
#include "gui/FrmSetup.h"
#include "gui/FrmStartup.h"
#include "gui/FrmVK.h"
#include "gui/ReceiptDemoPanel.h"

namespace posbench::gui {

namespace {

void ClickSubFunction(FrmMain& main, const QString& label) {
    for (QLabel* l : main.findChildren<QLabel*>()) {
        if (!l->objectName().startsWith("lblSub") || l->text() != label || !l->isVisible()) continue;
        QString name = l->objectName();
        if (auto* button = main.findChild<QAbstractButton*>(name.replace("lblSub", "btnSub"))) button->click();
    }
}

}  // namespace

bool ScheduleScreenshot(FrmStartup& startup, const QString& file, const QString& what) {
    if (what == "config") {  // saved once the report is complete, not at a fixed time
        ScheduleConfigScreenshot(startup, file);
        return true;
    }
    if (what != "main" && what != "setup" && what != "vk" && what != "demo") return false;
    auto shown = std::make_shared<QWidget*>(nullptr);
    QTimer::singleShot(1200, &startup, [&startup, what, shown] {
        FrmMain* main = startup.MainForm();
        if (!main) return;
        *shown = main;
        if (what == "main") {
            auto* commands = main->findChild<QListWidget*>("lstCmds");
            if (commands && commands->count() > 1) {
                commands->setCurrentRow(1);
                main->Menu().lstCmds_DblClick(1);
            }
        } else if (what == "setup") {
            auto* setup = new FrmSetup(&startup.Recovery(), main);
            setup->Logic().Show("Double-click a device to add it");
            setup->show();
            *shown = setup;
        } else if (what == "vk") {
            main->ShowVK(false);
            if (auto* version = main->VKForm()->findChild<QAbstractButton*>("cmdVKFirmwareVersion")) version->click();
            *shown = main->VKForm();
        } else {
            if (auto* last = main->findChild<QAbstractButton*>("btnMain5")) last->click();
            ClickSubFunction(*main, "Demo");
            if (auto* receipt = main->DemoPanel()->findChild<QAbstractButton*>("btnFcns2")) receipt->click();
        }
    });
    QTimer::singleShot(3500, &startup, [file, shown] {
        const bool ok = *shown && (*shown)->grab().save(file, "PNG");
        if (!ok) std::fprintf(stderr, "posbench: could not write %s\n", file.toLocal8Bit().constData());
        QCoreApplication::exit(ok ? 0 : 1);
    });
    return true;
}

}  // namespace posbench::gui
