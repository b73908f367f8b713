#pragma once
// Small helpers shared by the offscreen window tests, and the bench most of them start from: the
// desktop program opened through its real start-up window on a program directory made from the
// samples.
#include <QtTest>
#include <QtWidgets>
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

// The child of that type and name; the run ends when there is none (the test misnames it).
template <typename T>
T* Find(const QObject* window, const char* name) {
    T* widget = window->findChild<T*>(name);
    if (!widget) qFatal("no widget %s", name);
    return widget;
}

inline void Click(const QObject* window, const char* name) {
    QTest::mouseClick(Find<QAbstractButton>(window, name), Qt::LeftButton);
}

inline QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

// The lines of the list of that name in window, one text.
inline QString Lines(const QObject* window, const char* list) {
    return Items(Find<QListWidget>(window, list)).join("\n");
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
    void MakeHome(const std::string& ini) {
        ResetAllGlobals();
        startupIni = ini;
        namespace fs = std::filesystem;
        fs::copy(POSBENCH_SAMPLES_DIR, home(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        std::ofstream(home() / "Startup.ini", std::ios::trunc) << ini;
    }
    // The simulated printer (with args) as the serial printer of port 1, and home made for it.
    void MakeHomeWithPrinter(std::vector<std::string> args) {
        MediumPrinter started = StartOnMedium(Medium::Pty, std::move(args), dir / "com1");
        printer = std::move(started.printer);
        MakeHome(started.startupIni);
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
    std::string startupIni;
    std::unique_ptr<SimPrinter> printer;
    std::unique_ptr<gui::FrmStartup> startup;
    gui::FrmMain* main = nullptr;
};

}  // namespace posbench::test
