#pragma once
// Small helpers shared by the offscreen window tests, and the bench most of them start from: the
// desktop program opened through its real start-up window on a program directory made from the
// samples.
#include <QAbstractButton>
#include <QListWidget>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "comm/CommGlobals.h"
#include "gui/FrmMain.h"
#include "gui/FrmStartup.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench::test {

// Clicks the button of that object name in window; fails the test slot when there is none.
inline void ClickButton(QWidget* window, const char* name) {
    auto* button = window->findChild<QAbstractButton*>(name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

inline QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; list && i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

// The lines of the list of that name in window, one text.
inline QString Lines(const QWidget* window, const char* list) {
    return Items(window->findChild<QListWidget*>(list)).join("\n");
}

inline void ClickRow(QListWidget* list, QListWidgetItem* item, bool twice = false) {
    QVERIFY(item);
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// A scratch program directory (`home`) seeded from the samples with its own Startup.ini, an
// optional simulated printer, and the main window the start-up window opens on it.
struct GuiBench {
    void MakeHome(const std::string& startupIni) {
        ResetAllGlobals();
        namespace fs = std::filesystem;
        fs::copy(POSBENCH_SAMPLES_DIR, home(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        std::ofstream(home() / "Startup.ini", std::ios::trunc) << startupIni;
    }
    // Opens the start-up window on home and waits for the main window.
    void OpenMain() {
        gsProgramDir = home().string();
        startup = std::make_unique<gui::FrmStartup>();
        startup->show();
        QTRY_VERIFY_WITH_TIMEOUT(startup->MainForm() != nullptr, 5000);
        main = startup->MainForm();
        main->SetUnloadAction([] {});
        QVERIFY2(startup->StartupSucceeded(), qPrintable(Lines(main, "lstStatus")));
    }
    void CloseMain() {
        startup.reset();
        main = nullptr;
        ResetAllGlobals();
    }
    std::filesystem::path home() const { return dir.path() / "home"; }

    ScratchDir dir;
    std::unique_ptr<SimPrinter> printer;
    std::unique_ptr<gui::FrmStartup> startup;
    gui::FrmMain* main = nullptr;
};

}  // namespace posbench::test
