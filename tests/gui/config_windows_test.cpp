// The configuration windows on the offscreen platform, from the real main window: the report of
// the simulated printer in the configuration window, a command table edited in the maintenance
// window, and the file-name window's answers to "Replace existing file?".
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "base/Ini.h"
#include "base/Views.h"
#include "gui/FrmConfigIn.h"
#include "gui/FrmFileName.h"
#include "GuiTest.h"

namespace fs = std::filesystem;
using posbench::test::ClickButton;

class ConfigWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        bench_.printer = std::make_unique<posbench::test::SimPrinter>(
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--model", "Q310"});
        bench_.MakeHome("[Communication]\nTCP=127.0.0.1:" + std::to_string(bench_.printer->Port()) + ", ON\n");
    }
    void init() {  // a fresh window for each slot
        bench_.OpenMain();
        main_ = bench_.main;
    }
    void cleanup() { bench_.CloseMain(); }
    void configurationWindowShowsTheReport();
    void maintenanceWindowEditsTheTable();
    void fileNameWindowAsksBeforeReplacing();

private:
    posbench::test::GuiBench bench_;
    posbench::gui::FrmMain* main_ = nullptr;
};

void ConfigWindowsTest::configurationWindowShowsTheReport() {
    ClickButton(main_, "btnPrntConfig");
    auto* window = main_->findChild<posbench::gui::FrmConfigIn*>("frmConfigIn");
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Configuration"));
    ClickButton(window, "btnConfiguration");
    auto* list = window->findChild<QListWidget*>("lstStatus");
    QTRY_VERIFY_WITH_TIMEOUT(window->Logic().LastOutcome().has_value(), 10000);
    QVERIFY(*window->Logic().LastOutcome());
    const QStringList lines = posbench::test::Items(list);
    QVERIFY2(lines.contains("Q310 CONFIGURATION REPORT"), qPrintable(lines.join("\n")));
    QVERIFY(lines.contains("  Model                      Q310            "));
    QVERIFY(lines.contains("  Lines printed              1284350"));
    for (const QString& line : lines) QVERIFY(line.size() <= 54);
    window->close();
}

void ConfigWindowsTest::maintenanceWindowEditsTheTable() {
    const std::string table = (bench_.home() / "Q310Con.ini").string();
    QTimer::singleShot(0, [] {
        QWidget* editor = QApplication::activeModalWidget();
        QVERIFY(editor);
        QCOMPARE(editor->windowTitle(), QString("Configuration Commands Maintenance"));
        editor->findChild<QLineEdit*>("txtDescription")->setText("Feed 3 lines");
        editor->findChild<QLineEdit*>("txtCommand")->setText("1B 64 03");
        editor->findChild<QLineEdit*>("txtInput")->setText("0");
        ClickButton(editor, "btnAppend");
        ClickButton(editor, "btnOK");
    });
    main_->btnTableMaint_Click();
    QCOMPARE(posbench::GetPrivateProfileString("Configure", "CA13", "NONE", table),
             std::string("Feed 3 lines, 1B 64 03, 0"));
    QCOMPARE(main_->findChild<QListWidget*>("lstCmds")->count(), 13);
}

void ConfigWindowsTest::fileNameWindowAsksBeforeReplacing() {
    posbench::test::RecordingMessageBox box;
    posbench::SetMessageBox(&box);
    const fs::path report = bench_.home() / "report.txt";
    std::ofstream(report) << "old";
    posbench::gui::FrmFileName dialog;
    dialog.show();
    dialog.SetNameText("report");
    box.answer = posbench::MsgAnswer::No;
    ClickButton(&dialog, "btnExit");
    QVERIFY(dialog.isVisible());
    QCOMPARE(box.shown, (std::vector<std::string>{"Replace existing file?"}));
    box.answer = posbench::MsgAnswer::Yes;
    ClickButton(&dialog, "btnExit");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.SaveFile(), report.string());
    QVERIFY(fs::exists(report));  // replaced only once a report is complete
    posbench::SetMessageBox(nullptr);
}

QTEST_MAIN(ConfigWindowsTest)
#include "config_windows_test.moc"
