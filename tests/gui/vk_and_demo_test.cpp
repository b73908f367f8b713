// The VK printer utility (opened by Test) and the receipt demo panel on the offscreen platform,
// against the simulated printer as a serial printer on a pseudo-terminal: version queries, a USB
// mode switch over a COM port, Exit back to the main window, and demo buttons that print.
#include "support/CliRun.h"  // before Qt: it names a member `signals`

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>

#include "app/LinkRecovery.h"
#include "gui/FrmVK.h"
#include "gui/ReceiptDemoPanel.h"
#include "GuiTest.h"

using posbench::test::Lines;
using posbench::test::ReadAll;

class VKAndDemoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const auto& dir = bench_.dir;
        bench_.printer = std::make_unique<posbench::test::SimPrinter>(std::vector<std::string>{
            "--pty", dir / "com1", "--model", "Q310", "--log", dir / "printer.log", "--paper", dir / "paper.txt",
            "--reset-ms", "300"});
        bench_.MakeHome("[Communication]\r\nCOM1=115200,DTR,ON\r\n[Devices]\r\nCOM1=" + bench_.printer->Path() + "\r\n");
    }
    void init() {  // a fresh window for each slot
        bench_.OpenMain();
        main_ = bench_.main;
    }
    void cleanup() { bench_.CloseMain(); }
    void testOpensTheUtilityThatQueriesAndSwitchesTheUsbMode();
    void demoButtonsSendTheirScripts();

private:
    static void Click(QWidget* window, const char* name) { posbench::test::ClickButton(window, name); }

    posbench::test::GuiBench bench_;
    posbench::gui::FrmMain* main_ = nullptr;
};

void VKAndDemoTest::testOpensTheUtilityThatQueriesAndSwitchesTheUsbMode() {
    Click(main_, "btnTest");
    posbench::gui::FrmVK* vk = main_->VKForm();
    QVERIFY(vk && vk->isVisible());
    QCOMPARE(vk->windowTitle(), QString("VK Print Utility"));
    QVERIFY(main_->pos().x() <= -20000);
    QCOMPARE(vk->findChild<QListWidget*>("lstCommands")->count(), 12);
    QVERIFY(!vk->findChild<QLabel*>("picLogo")->pixmap().isNull());

    Click(vk, "cmdVKFirmwareVersion");
    QTRY_VERIFY2_WITH_TIMEOUT(Lines(vk, "lstStatus").contains("Firmware  4.40"), qPrintable(Lines(vk, "lstStatus")), 5000);
    QVERIFY2(Lines(vk, "lstStatus").contains("Model  Q310"), qPrintable(Lines(vk, "lstStatus")));

    // Native mode over a COM port: the mode command, then a reset; the port table stays.
    QVERIFY(vk->findChild<QRadioButton*>("optNative")->isChecked());
    Click(vk, "cmdSetUSB");
    QTRY_VERIFY_WITH_TIMEOUT(Lines(vk, "lstStatus").contains("Native Mode USB is Active"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(ReadAll(bench_.dir / "printer.log").find("USB interface after restart: native") != std::string::npos, 5000);
    const std::string log = ReadAll(bench_.dir / "printer.log");
    QVERIFY(log.find("USB interface: native") < log.find("# reset"));
    QCOMPARE(posbench::giNumPorts, int16_t{1});
    QVERIFY(posbench::gsPortTable(1).rfind("COM1, 115200, DTR, ", 0) == 0);
    // The link recovery brings the port back after the printer's restart.
    QTRY_VERIFY_WITH_TIMEOUT(!bench_.startup->Recovery().InProgress(1) && posbench::gsPortTable(1) == "COM1, 115200, DTR, ON", 15000);

    // Download Firmware sends the catalogue's sample image through the main window's Send; the
    // printer restarts after it and the port comes back once more.
    Click(vk, "cmdVKDload");
    QTRY_VERIFY2_WITH_TIMEOUT(Lines(main_, "lstStatus").contains("Reseting Port 1 Printer"), qPrintable(Lines(main_, "lstStatus")), 15000);
    QVERIFY(Lines(main_, "lstStatus").contains("File Size is: 8192"));
    QTRY_VERIFY_WITH_TIMEOUT(!bench_.startup->Recovery().InProgress(1) && posbench::gsPortTable(1) == "COM1, 115200, DTR, ON", 15000);

    // Exit in a utility opened by Test brings the main window back instead of ending.
    Click(vk, "cmdExit");
    QTRY_VERIFY(!vk->isVisible());
    QVERIFY(main_->pos().x() > -20000);
    QVERIFY(main_->isVisible());
}

void VKAndDemoTest::demoButtonsSendTheirScripts() {
    // The catalogue's last model carries the demo.
    Click(main_, "btnMain5");
    QLabel* label = nullptr;
    for (QLabel* l : main_->findChildren<QLabel*>())
        if (l->objectName().startsWith("lblSub") && l->text() == "Demo" && l->isVisible()) label = l;
    QVERIFY(label);
    Click(main_, QString(label->objectName()).replace("lblSub", "btnSub").toLatin1().constData());
    QVERIFY(main_->findChild<QGroupBox*>("fraReceipt")->isVisible());
    auto* panel = main_->DemoPanel();
    QCOMPARE(panel->findChild<QLabel*>("lblHding0")->text(), QString("Sale"));
    QCOMPARE(panel->Logic().ButtonCount(), int16_t{5});

    Click(panel, "btnFcns0");  // Sample receipt: Scripts\Receipt.txt on port 1
    QTRY_VERIFY2_WITH_TIMEOUT(Lines(main_, "lstStatus").contains("Receipt done"), qPrintable(Lines(main_, "lstStatus")), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(ReadAll(bench_.dir / "paper.txt").find("Thank you for your visit!") != std::string::npos, 5000);

    // A second demo replaces every heading and button of the first; a button whose script is
    // missing says so and sends nothing.
    const std::string second = bench_.dir.Write("home/Demo2.ini",
        "[RQTYPE]\r\nRQ=DEMO\r\n[Section]\r\nSName=S\r\n[S]\r\nNumHeadings=1,H\r\nH=Other,10,10,K\r\n"
        "K=1,B\r\nB=Nothing,10,40,Scripts\\Missing.txt\r\n");
    panel->Logic().Load(second);
    QCOMPARE(panel->findChild<QLabel*>("lblHding0")->text(), QString("Other"));
    QVERIFY(!panel->findChild<QLabel*>("lblHding1"));
    QVERIFY(!panel->findChild<QAbstractButton*>("btnFcns1"));
    Click(panel, "btnFcns0");
    QTRY_VERIFY(Lines(main_, "lstStatus").endsWith("Invalid Demo script file name"));
}

QTEST_MAIN(VKAndDemoTest)
#include "vk_and_demo_test.moc"
