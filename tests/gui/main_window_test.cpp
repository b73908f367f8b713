// The desktop program on the offscreen platform: start-up through the real start-up window, the
// sample catalogue, the panels, the command list against the simulated printer on a
// pseudo-terminal, the port list, the configuration windows (the printer's report, a command
// table edited, the file-name window's "Replace existing file?"), the image, tag and picture
// views of the simulated printer's check image, and the single-instance rule of the real
// executable.
#include <QProcess>

#include "CheckImage.h"
#include "app/SingleInstance.h"
#include "base/Ini.h"
#include "gui/FrmConfigIn.h"
#include "gui/FrmFileName.h"
#include "gui/ImageWindows.h"
#include "gui/QtImagingViews.h"
#include "imaging/Tiff.h"
#include "script/ScriptState.h"
#include "GuiTest.h"

using posbench::test::Click;
using posbench::test::ClickRow;
using posbench::test::Find;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    // One printer and program directory for the whole run; each slot gets a fresh window.
    void initTestCase() {
        bench_.MakeHomeWithPrinter({"--model", "Q310", "--store", bench_.dir / "store"});
    }
    void init() {
        posbench::test::ResetAllGlobals();
        posbench::gsProgramDir = bench_.home().string();
        static const QStringList noWindow{"fileNameWindowAsksBeforeReplacing",
                                          "checkImageWindowsAndPicture", "secondCopyEndsAtOnce"};
        if (noWindow.contains(QTest::currentTestFunction())) return;
        bench_.OpenMain();
        main_ = bench_.main;
    }
    void cleanup() { bench_.CloseMain(); }
    void sampleCatalogueAndItsSubFunctions() {
        QTRY_VERIFY(main_->isVisible() && bench_.startup->isHidden());
        QCOMPARE(Find<QListWidget>(main_, "lstCmds")->count(), 12);  // Q310 opens on its commands
        // The panel each sub-function type chooses is CatalogueTest's; here the buttons reach it
        // and the file list follows. Q330's sub-functions follow the eight of Q310 and Q320.
        Click(main_, "btnMain2");
        QCOMPARE(Find<QListWidget>(main_, "lstCmds")->count(), 14);
        Click(main_, "btnSub9");
        QVERIFY(Find<QGroupBox>(main_, "fraScript")->isVisible());

        // Choosing a file fills the name box with its full path; another panel empties it.
        auto* files = Find<QListWidget>(main_, "filSelect");
        ClickRow(files, files->findItems("Status.txt", Qt::MatchExactly).value(0));
        QCOMPARE(Find<QLineEdit>(main_, "txtFile")->text(),
                 QString::fromStdString((bench_.home() / "Scripts" / "Status.txt").string()));
        Click(main_, "btnSub11");
        QVERIFY(Find<QLineEdit>(main_, "txtFile")->text().isEmpty());
        QVERIFY2(Status().isEmpty(), qPrintable(Status()));
    }
    void commandBoxesSendAndThePortListSwitchesAPortOffAndOn() {
        auto* commands = Find<QListWidget>(main_, "lstCmds");
        ClickRow(commands, commands->item(1), true);  // a double click sends the identification
        QCOMPARE(Find<QLineEdit>(main_, "txtInCount")->text(), QString("17"));
        QTRY_VERIFY_WITH_TIMEOUT(Response().contains("Q310"), 5000);
        // Enter in the command box sends what was typed over the chosen command.
        auto* command = Find<QComboBox>(main_, "cboCommand");
        command->lineEdit()->clear();
        QTest::keyClicks(command->lineEdit(), "1D 49 40 A3");
        Find<QLineEdit>(main_, "txtInCount")->setText("6");
        QTest::keyClick(command->lineEdit(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(Response().contains("4.40"), 5000);

        // Choosing the version fills the boxes.
        ClickRow(commands, commands->item(2));
        QCOMPARE(command->currentText(), QString("1D 49 40 A3"));
        QCOMPARE(Find<QLineEdit>(main_, "txtInCount")->text(), QString("6"));
        // The port list shows the port number and its live state beside the entry.
        auto* ports = Find<QListWidget>(main_, "lstPorts");
        QTRY_COMPARE(ports->item(0)->text(), "1  COM1, 115200, DTR, ON   idle");
        ClickRow(ports, ports->item(0), true);
        QTRY_VERIFY(main_->PortListItem(0).ends_with("OFF"));
        QCOMPARE(ports->currentRow(), 0);
        ClickRow(ports, ports->item(0), true);
        QTRY_VERIFY_WITH_TIMEOUT(main_->PortListItem(0).ends_with("ON"), 5000);
        QCOMPARE(ports->currentRow(), 0);
        Find<QPlainTextEdit>(main_, "txtResponse")->clear();
        Click(main_, "btnSend");
        QTRY_VERIFY_WITH_TIMEOUT(Response().contains("4.40"), 5000);
    }
    void logoDownloadShowsProgress() {
        auto* bar = Find<QProgressBar>(main_, "prgDownload");
        QVERIFY(bar->isHidden());
        int highest = -1;
        connect(bar, &QProgressBar::valueChanged, this,
                [&highest](int value) { highest = std::max(highest, value); });

        Click(main_, "btnSub3");  // Q310 logos: the panel lists only *.lgo
        auto* files = Find<QListWidget>(main_, "filSelect");
        ClickRow(files, files->item(0));
        Click(main_, "btnSend");
        QTRY_VERIFY2_WITH_TIMEOUT(Status().contains("download is complete"), qPrintable(Status()),
                                  10000);
        QCOMPARE(highest, 1000);
        QTRY_VERIFY(bar->isHidden());
        // The printer ends a logo by an idle gap; the next window's commands wait for that.
        QTRY_VERIFY(!std::filesystem::is_empty(bench_.dir.path() / "store"));
    }
    void configurationWindowShowsTheReport() {
        Click(main_, "btnPrntConfig");
        auto* window = main_->findChild<posbench::gui::FrmConfigIn*>("frmConfigIn");
        QVERIFY(window && window->isVisible());
        Click(window, "btnConfiguration");
        QTRY_VERIFY_WITH_TIMEOUT(window->Logic().LastOutcome().has_value(), 10000);
        QVERIFY(*window->Logic().LastOutcome());  // the report's lines are CliTest's
    }
    void maintenanceWindowEditsTheTable() {  // leaves the Q310 table one command longer
        QTimer::singleShot(0, [] {
            QWidget* editor = QApplication::activeModalWidget();
            QVERIFY(editor);
            editor->findChild<QLineEdit*>("txtDescription")->setText("Feed 3 lines");
            editor->findChild<QLineEdit*>("txtCommand")->setText("1B 64 03");
            editor->findChild<QLineEdit*>("txtInput")->setText("0");
            Click(editor, "btnAppend");
            Click(editor, "btnOK");
        });
        main_->btnTableMaint_Click();
        const std::string table = (bench_.home() / "Q310Con.ini").string();
        QCOMPARE(posbench::GetPrivateProfileString("Configure", "CA13", "NONE", table),
                 "Feed 3 lines, 1B 64 03, 0");
        QCOMPARE(main_->findChild<QListWidget*>("lstCmds")->count(), 13);
    }
    void fileNameWindowAsksBeforeReplacing() {
        posbench::test::RecordingMessageBox box;
        posbench::SetMessageBox(&box);
        const std::filesystem::path report = bench_.home() / "report.txt";
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
        posbench::SetMessageBox(nullptr);
    }
    void checkImageWindowsAndPicture() {
        using namespace posbench;
        bench_.dir.Write("check.tif", sim::CheckImageTiff());
        gPortState(1).ScriptFile = bench_.dir / "s.txt";
        QLabel picture;
        gui::QtImagingViews views(&picture, [] { return int16_t{1}; });

        QVERIFY2(ProcessTiffFile(1, "IMAGE SHOW check.tif"), gsTiffErr.c_str());
        gui::FrmImage* image = views.ImageWindow();
        QVERIFY(image->isVisible());
        auto* shown = image->findChild<QLabel*>("Picture1");
        QCOMPARE(image->Zoom(), ImageZoom::Fit);  // 1728 pixels fit no offscreen screen
        Click(image, "btnActual");
        QCOMPARE(shown->pixmap().width(), 1728);

        QVERIFY(ProcessTiffFile(1, "MICR SHOW check.tif"));
        QCOMPARE(image->findChild<QLineEdit*>("txtMicr")->text(), QString(sim::kCheckMicr));

        QVERIFY(ProcessTiffFile(1, "TAG SHOW check.tif"));
        QCOMPARE(views.TagWindow()->findChild<QListWidget*>("lstTags")->count(), 18);

        image->close();
        QVERIFY(ProcessTiffFile(1, "IMAGE VIEW check.tif"));
        QVERIFY(!picture.isHidden());
        QVERIFY(!image->isVisible());
        QTest::mouseDClick(&picture, Qt::LeftButton);
        QVERIFY(image->isVisible());
    }
    void secondCopyEndsAtOnce() {
        posbench::test::ScratchDir home;
        const QString dir = QString::fromStdString(home.path().string());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");  // the first copy is killed, not ended
        const auto lockFree = [](const std::string& folder) {
            return posbench::SingleInstance(posbench::InstanceLockFile(folder)).Acquired();
        };

        QProcess first, second;
        for (QProcess* copy : {&first, &second}) copy->setProcessEnvironment(env);
        first.start(POSBENCH_GUI_PATH, {"--dir", dir});
        QVERIFY(first.waitForStarted());
        // The first copy holds the directory's lock once it is up.
        QTRY_VERIFY_WITH_TIMEOUT(!lockFree(dir.toStdString()), 10000);

        second.start(POSBENCH_GUI_PATH, {"--dir", dir});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(first.state() == QProcess::Running);
        // A lock that cannot be made is broken, not held.
        posbench::SingleInstance broken((home.path() / "missing/lock").string());
        QVERIFY(!broken.Acquired() && !broken.Error().empty());

        first.kill();
        QVERIFY(first.waitForFinished(10000));
        // The system dropped the dead copy's lock: a new copy may start.
        QVERIFY(lockFree(dir.toStdString()));
    }

private:
    QString Status() const { return posbench::test::Lines(main_, "lstStatus"); }
    QString Response() { return Find<QPlainTextEdit>(main_, "txtResponse")->toPlainText(); }

    posbench::test::GuiBench bench_;
    posbench::gui::FrmMain* main_ = nullptr;
};


QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
