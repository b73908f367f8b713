// The configuration windows on the offscreen platform, from the real main window: the report of
// the simulated printer in the configuration window, a command table edited in the maintenance
// window, and the file-name window's answers to "Replace existing file?".
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "base/Ini.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "gui/FrmConfigIn.h"
#include "gui/FrmFileName.h"
#include "gui/FrmMain.h"
#include "gui/FrmStartup.h"
#include "GuiTest.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using posbench::gui::FrmMain;
using posbench::gui::FrmStartup;

class ConfigWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void configurationWindowShowsTheReport();
    void maintenanceWindowEditsTheTable();
    void fileNameWindowAsksBeforeReplacing();

private:
    static void Click(QWidget* window, const char* name) { posbench::test::ClickButton(window, name); }

    std::unique_ptr<posbench::test::ScratchDir> dir_;
    std::unique_ptr<posbench::test::SimPrinter> printer_;
    std::unique_ptr<FrmStartup> startup_;
    FrmMain* main_ = nullptr;
};

void ConfigWindowsTest::initTestCase() {
    posbench::test::ResetAllGlobals();
    dir_ = std::make_unique<posbench::test::ScratchDir>();
    printer_ = std::make_unique<posbench::test::SimPrinter>(
        std::vector<std::string>{"--listen", "127.0.0.1:0", "--model", "Q310"});
    fs::copy(POSBENCH_SAMPLES_DIR, dir_->path(), fs::copy_options::recursive);
    std::ofstream(dir_->path() / "Startup.ini") << "[Communication]\nTCP=127.0.0.1:" << printer_->Port() << ", ON\n";
    posbench::gsProgramDir = dir_->path().string();
    startup_ = std::make_unique<FrmStartup>();
    startup_->show();
    QTRY_VERIFY_WITH_TIMEOUT(startup_->MainForm() != nullptr, 5000);
    main_ = startup_->MainForm();
    main_->SetUnloadAction([] {});
}

void ConfigWindowsTest::cleanupTestCase() {
    startup_.reset();
    posbench::test::ResetAllGlobals();
    printer_.reset();
    dir_.reset();
}

void ConfigWindowsTest::configurationWindowShowsTheReport() {
    Click(main_, "btnPrntConfig");
    auto* window = main_->findChild<posbench::gui::FrmConfigIn*>("frmConfigIn");
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Configuration"));
    Click(window, "btnConfiguration");
    auto* list = window->findChild<QListWidget*>("lstStatus");
    QTRY_VERIFY_WITH_TIMEOUT(window->Logic().LastOutcome().has_value(), 10000);
    QVERIFY(*window->Logic().LastOutcome());
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    QVERIFY2(lines.contains("Q310 CONFIGURATION REPORT"), qPrintable(lines.join("\n")));
    QVERIFY(lines.contains("  Model                      Q310            "));
    QVERIFY(lines.contains("  Lines printed              1284350"));
    for (const QString& line : lines) QVERIFY(line.size() <= 54);
    window->close();
}

void ConfigWindowsTest::maintenanceWindowEditsTheTable() {
    const std::string table = (dir_->path() / "Q310Con.ini").string();
    QTimer::singleShot(0, [] {
        QWidget* editor = QApplication::activeModalWidget();
        QVERIFY(editor);
        QCOMPARE(editor->windowTitle(), QString("Configuration Commands Maintenance"));
        editor->findChild<QLineEdit*>("txtDescription")->setText("Feed 3 lines");
        editor->findChild<QLineEdit*>("txtCommand")->setText("1B 64 03");
        editor->findChild<QLineEdit*>("txtInput")->setText("0");
        Click(editor, "btnAppend");
        Click(editor, "btnOK");
    });
    main_->btnTableMaint_Click();
    QCOMPARE(posbench::GetPrivateProfileString("Configure", "CA13", "NONE", table),
             std::string("Feed 3 lines, 1B 64 03, 0"));
    QCOMPARE(main_->findChild<QListWidget*>("lstCmds")->count(), 13);
}

void ConfigWindowsTest::fileNameWindowAsksBeforeReplacing() {
    posbench::test::RecordingMessageBox box;
    posbench::SetMessageBox(&box);
    const fs::path report = dir_->path() / "report.txt";
    std::ofstream(report) << "old";
    posbench::gui::FrmFileName dialog;
    dialog.show();
    dialog.SetNameText("report");
    box.answer = posbench::MsgAnswer::No;
    Click(&dialog, "btnExit");
    QVERIFY(dialog.isVisible());
    QCOMPARE(box.shown, (std::vector<std::string>{"Replace existing file?"}));
    box.answer = posbench::MsgAnswer::Yes;
    Click(&dialog, "btnExit");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.SaveFile(), report.string());
    QVERIFY(fs::exists(report));  // replaced only once a report is complete
    posbench::SetMessageBox(nullptr);
}

QTEST_MAIN(ConfigWindowsTest)
#include "config_windows_test.moc"
