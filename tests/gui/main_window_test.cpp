// The desktop program on the offscreen platform: start-up through the real start-up window, the
// sample catalogue, the panels, the command list against the simulated printer over loopback,
// the port list, and the single-instance rule of the real executable.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/SingleInstance.h"
#include "base/Events.h"
#include "comm/CommGlobals.h"
#include "gui/FrmMain.h"
#include "gui/FrmStartup.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using posbench::gui::FrmMain;
using posbench::gui::FrmStartup;

namespace {

// A program directory made from the samples, with port 1 on the simulated printer.
void MakeProgramDir(const fs::path& dir, int printerPort) {
    fs::copy(POSBENCH_SAMPLES_DIR, dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    std::ofstream startup(dir / "Startup.ini", std::ios::trunc);
    startup << "[Communication]\r\nTCP=127.0.0.1:" << printerPort << ", ON\r\n[OTHER]\r\nMAXPORTS=2\r\n";
}

QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void sampleCatalogueLoads();
    void subFunctionsShowTheirPanelAndPattern();
    void choosingACommandFillsTheBoxes();
    void doubleClickingACommandSendsIt();
    void portListSwitchesAPortOffAndOn();
    void enterInTheCommandBoxSendsIt();
    void logoDownloadShowsProgress();
    void secondCopyEndsAtOnce();

private:
    template <typename T>
    T* Find(const char* name) {
        T* widget = main_->findChild<T*>(name);
        if (!widget) qFatal("no widget %s", name);
        return widget;
    }
    void Click(const char* name) { QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton); }
    void DoubleClickRow(QListWidget* list, int row) {
        QListWidgetItem* item = list->item(row);
        QVERIFY(item);
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    QString Status() const {
        return Items(main_->findChild<QListWidget*>("lstStatus")).join("");
    }

    std::unique_ptr<posbench::test::ScratchDir> dir_;
    std::unique_ptr<posbench::test::SimPrinter> printer_;
    std::unique_ptr<FrmStartup> startup_;
    FrmMain* main_ = nullptr;
};

// One printer and program directory for the whole run; each slot gets a fresh window.
void MainWindowTest::initTestCase() {
    dir_ = std::make_unique<posbench::test::ScratchDir>();
    printer_ = std::make_unique<posbench::test::SimPrinter>(
        std::vector<std::string>{"--listen", "127.0.0.1:0", "--model", "Q310"});
    MakeProgramDir(dir_->path(), printer_->Port());
}

void MainWindowTest::init() {
    posbench::test::ResetAllGlobals();
    posbench::gsProgramDir = dir_->path().string();
    if (QTest::currentTestFunction() == QLatin1String("secondCopyEndsAtOnce")) return;  // no window
    startup_ = std::make_unique<FrmStartup>();
    startup_->show();
    QCOMPARE(startup_->windowTitle(), QString("Startup"));
    QTRY_VERIFY_WITH_TIMEOUT(startup_->MainForm() != nullptr, 5000);
    main_ = startup_->MainForm();
    main_->SetUnloadAction([] {});
    QVERIFY2(startup_->StartupSucceeded(), qPrintable(Status()));
    QTRY_VERIFY(main_->isVisible());
    QVERIFY(startup_->isHidden());
}

void MainWindowTest::cleanup() {
    startup_.reset();
    main_ = nullptr;
    posbench::test::ResetAllGlobals();
}

void MainWindowTest::cleanupTestCase() {
    printer_.reset();
    dir_.reset();
}

void MainWindowTest::sampleCatalogueLoads() {
    const char* models[] = {"Q310", "Q320", "Q330", "W340", "Q350", "Q360"};
    for (int i = 0; i < 6; ++i) {
        auto* button = Find<QAbstractButton>(QString("btnMain%1").arg(i).toLatin1().constData());
        QCOMPARE(button->text(), QString(models[i]));
        QVERIFY(button->isVisible());
    }
    // Q310 is open on its command table; its four sub-functions are shown with their labels.
    for (int s = 0; s < 4; ++s) {
        QVERIFY(Find<QAbstractButton>(QString("btnSub%1").arg(s).toLatin1().constData())->isVisible());
        QVERIFY(!Find<QAbstractButton>(QString("btnSub%1").arg(s).toLatin1().constData())->icon().isNull());
    }
    QCOMPARE(Find<QLabel>("lblSub0")->text(), QString("Commands"));
    QVERIFY(!Find<QAbstractButton>("btnSub4")->isVisible());
    QVERIFY(Find<QGroupBox>("fraCommands")->isVisible());
    QVERIFY(!Find<QGroupBox>("fraScript")->isVisible());
    QCOMPARE(Find<QGroupBox>("fraCommands")->title(), QString("Q310 Configuration Commands"));
    QCOMPARE(Find<QListWidget>("lstCmds")->count(), 12);
    QCOMPARE(Find<QListWidget>("lstCmds")->item(1)->text(), QString("Identification"));
    QVERIFY(Find<QLabel>("lblVersion")->text().startsWith("Version  "));
    QVERIFY2(Status().isEmpty(), qPrintable(Status()));
}

void MainWindowTest::subFunctionsShowTheirPanelAndPattern() {
    // Q330's sub-functions follow the eight of Q310 and Q320: commands, scripts, firmware, logos.
    Click("btnMain2");
    QVERIFY(Find<QAbstractButton>("btnSub9")->isVisible());
    QVERIFY(!Find<QAbstractButton>("btnSub0")->isVisible());
    QCOMPARE(Find<QGroupBox>("fraCommands")->title(), QString("Q330 Configuration Commands"));
    QCOMPARE(Find<QListWidget>("lstCmds")->count(), 14);

    Click("btnSub9");
    auto* script = Find<QGroupBox>("fraScript");
    QVERIFY(script->isVisible());
    QVERIFY(!Find<QGroupBox>("fraCommands")->isVisible());
    QCOMPARE(script->title(), QString("Q330 Scripts"));
    const QStringList scripts = Items(Find<QListWidget>("filSelect"));
    QVERIFY2(scripts.contains("Identify.txt") && scripts.contains("Status.txt"), qPrintable(scripts.join(",")));
    for (const QString& name : scripts) QVERIFY2(name.endsWith(".txt", Qt::CaseInsensitive), qPrintable(name));

    // Choosing a file fills the name box with its full path; the logos panel lists only *.lgo.
    auto* files = Find<QListWidget>("filSelect");
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                      files->visualItemRect(files->findItems("Status.txt", Qt::MatchExactly).value(0)).center());
    QCOMPARE(Find<QLineEdit>("txtFile")->text(),
             QString::fromStdString((dir_->path() / "Scripts" / "Status.txt").string()));
    Click("btnSub11");
    QCOMPARE(script->title(), QString("Q330 Logos"));
    QVERIFY(Find<QLineEdit>("txtFile")->text().isEmpty());
    QCOMPARE(Items(Find<QListWidget>("filSelect")), QStringList{"posbench.lgo"});
    Click("btnSub10");
    QCOMPARE(script->title(), QString("Q330 Flash Firmware"));
    QVERIFY(Items(Find<QListWidget>("filSelect")).isEmpty());  // readme.txt is not a *.bin
    QVERIFY2(Status().isEmpty(), qPrintable(Status()));
}

void MainWindowTest::choosingACommandFillsTheBoxes() {
    auto* commands = Find<QListWidget>("lstCmds");
    QTest::mouseClick(commands->viewport(), Qt::LeftButton, {},
                      commands->visualItemRect(commands->item(2)).center());
    QCOMPARE(Find<QComboBox>("cboCommand")->currentText(), QString("1D 49 40 A3"));
    QCOMPARE(Find<QLineEdit>("txtInCount")->text(), QString("6"));
    QTRY_VERIFY(Find<QAbstractButton>("btnSend")->hasFocus());
}

void MainWindowTest::doubleClickingACommandSendsIt() {
    Find<QPlainTextEdit>("txtResponse")->clear();
    DoubleClickRow(Find<QListWidget>("lstCmds"), 1);
    QCOMPARE(Find<QComboBox>("cboCommand")->currentText(), QString("1D 49 40 27"));
    QCOMPARE(Find<QLineEdit>("txtInCount")->text(), QString("17"));
    QTRY_VERIFY_WITH_TIMEOUT(Find<QPlainTextEdit>("txtResponse")->toPlainText().contains("Q310"), 5000);

    // The firmware version through the Send button, after choosing the command in the list.
    auto* commands = Find<QListWidget>("lstCmds");
    QTest::mouseClick(commands->viewport(), Qt::LeftButton, {},
                      commands->visualItemRect(commands->item(2)).center());
    Click("btnSend");
    QTRY_VERIFY_WITH_TIMEOUT(Find<QPlainTextEdit>("txtResponse")->toPlainText().contains("4.40"), 5000);
}

void MainWindowTest::portListSwitchesAPortOffAndOn() {
    auto* commands = Find<QListWidget>("lstCmds");
    QTest::mouseClick(commands->viewport(), Qt::LeftButton, {},
                      commands->visualItemRect(commands->item(2)).center());  // the version
    auto* ports = Find<QListWidget>("lstPorts");
    QCOMPARE(ports->count(), 1);
    // The list shows the port number and its live state beside the entry.
    QTRY_VERIFY2(ports->item(0)->text().startsWith("1  TCP, ") && ports->item(0)->text().endsWith(", ON   idle"),
                 qPrintable(ports->item(0)->text()));
    DoubleClickRow(ports, 0);
    QTRY_VERIFY(main_->PortListItem(0).ends_with("OFF"));
    QCOMPARE(ports->currentRow(), 0);

    // An OFF port refuses a send.
    Click("btnSend");
    QTRY_VERIFY(Status().contains("is Off"));

    DoubleClickRow(ports, 0);
    QTRY_VERIFY_WITH_TIMEOUT(main_->PortListItem(0).ends_with("ON"), 5000);
    QCOMPARE(ports->currentRow(), 0);
    Find<QPlainTextEdit>("txtResponse")->clear();
    Click("btnSend");
    QTRY_VERIFY_WITH_TIMEOUT(Find<QPlainTextEdit>("txtResponse")->toPlainText().contains("4.40"), 5000);
}

void MainWindowTest::enterInTheCommandBoxSendsIt() {
    // The boxes hold the version query; typing the identification query over it must send that.
    auto* command = Find<QComboBox>("cboCommand");
    command->lineEdit()->clear();
    QTest::keyClicks(command->lineEdit(), "1D 49 40 27");
    Find<QLineEdit>("txtInCount")->setText("17");
    Find<QPlainTextEdit>("txtResponse")->clear();
    QTest::keyClick(command->lineEdit(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(Find<QPlainTextEdit>("txtResponse")->toPlainText().contains("Q310"), 5000);
}

void MainWindowTest::logoDownloadShowsProgress() {
    auto* bar = Find<QProgressBar>("prgDownload");
    QVERIFY(bar->isHidden());
    int highest = -1;
    connect(bar, &QProgressBar::valueChanged, this, [&highest](int value) { highest = std::max(highest, value); });

    Click("btnSub3");  // Q310 logos
    auto* files = Find<QListWidget>("filSelect");
    QCOMPARE(Items(files), QStringList{"posbench.lgo"});
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(files->item(0)).center());
    Click("btnSend");
    QTRY_VERIFY2_WITH_TIMEOUT(Status().contains("download is complete"), qPrintable(Status()), 10000);
    QCOMPARE(highest, 1000);
    QTRY_VERIFY(bar->isHidden());

    // Two ports downloading: the end of the one not shown leaves the bar up.
    main_->DownloadProgress(2, "Flash", 0, 0, 5, 10);
    QVERIFY(!bar->isHidden());
    QCOMPARE(bar->value(), 500);
    main_->DownloadEnded(1, true);
    QVERIFY(!bar->isHidden());
    main_->DownloadEnded(2, false);
    QVERIFY(bar->isHidden());
}

void MainWindowTest::secondCopyEndsAtOnce() {
    posbench::test::ScratchDir home;
    const QString dir = QString::fromStdString(home.path().string());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ASAN_OPTIONS", "detect_leaks=0");  // the first copy is killed, not ended

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(POSBENCH_GUI_PATH, {"--dir", dir});
    QVERIFY(first.waitForStarted());
    // The first copy holds the directory's lock once it is up.
    QTRY_VERIFY_WITH_TIMEOUT(!posbench::SingleInstance(posbench::InstanceLockFile(dir.toStdString())).Acquired(),
                             10000);

    QProcess second;
    second.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    second.start(POSBENCH_GUI_PATH, {"--dir", dir});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(first.state() == QProcess::Running);

    first.kill();
    QVERIFY(first.waitForFinished(10000));
    // The system dropped the dead copy's lock: a new copy may start.
    QVERIFY(posbench::SingleInstance(posbench::InstanceLockFile(dir.toStdString())).Acquired());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
