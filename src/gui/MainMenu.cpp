#include "gui/MainMenu.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include "comm/CommGlobals.h"
#include "comm/StartupConfig.h"
#include "posbench/Version.h"


namespace posbench::gui {

namespace {

QAction* Item(QMenu* menu, const char* name, const QString& text, const QString& tip,
              const std::function<void()>& action, const QKeySequence& keys = {}) {
    QAction* item = menu->addAction(text);
    item->setObjectName(name);
    item->setStatusTip(tip);
    item->setToolTip(tip);
    if (!keys.isEmpty()) item->setShortcut(keys);
    QObject::connect(item, &QAction::triggered, menu, [action] {
        if (action) action();
    });
    return item;
}

}  // namespace

QMenuBar* BuildMainMenu(QWidget* window, const MainMenuActions& actions) {
    auto* bar = new QMenuBar(window);
    bar->setObjectName("mnuMain");
    QMenu* file = bar->addMenu("&File");
    file->setObjectName("mnuFile");
    Item(file, "mnuSend", "&Send", "Send the chosen command or file to the selected port", actions.send,
         QKeySequence(Qt::CTRL | Qt::Key_Return));
    file->addSeparator();
    Item(file, "mnuExit", "E&xit", "End the program", actions.exit, QKeySequence(Qt::CTRL | Qt::Key_Q));
    QMenu* port = bar->addMenu("&Port");
    port->setObjectName("mnuPort");
    Item(port, "mnuSetup", "&Setup...", "Define ports and store them for the next start", actions.setup);
    Item(port, "mnuReset", "&Reset Printer", "Restart the printer on the selected port", actions.reset);
    Item(port, "mnuCancel", "&Cancel", "Stop every port now", actions.cancel, QKeySequence(Qt::Key_Escape));
    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("mnuHelp");
    Item(help, "mnuAbout", "&About posbench", "Version, licence and where the settings live",
         [window] { ShowAbout(window); });
    return bar;
}

void ShowAbout(QWidget* parent) {
    const QString dir = QString::fromStdString(gsProgramDir);
    const QString text =
        QString("<b>posbench</b> %1<br>Service and maintenance bench for point-of-sale printers.<br><br>"
                "Licence: see the copyright file distributed with posbench.<br><br>"
                "Program directory: %2<br>"
                "Ports and device paths: %3, sections [Communication] and [Devices]<br>"
                "Printer catalogue: %2/SUPrinters.ini")
            .arg(POSBENCH_VERSION, dir.toHtmlEscaped(), QString::fromStdString(StartupFileName()).toHtmlEscaped());
    QMessageBox box(QMessageBox::NoIcon, "About posbench", text, QMessageBox::Ok, parent);
    box.setObjectName("frmAbout");
    box.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    box.exec();
}

}  // namespace posbench::gui
