// The VK printer utility (opened by Test) and the receipt demo panel on the offscreen platform,
// against the simulated printer as a serial printer on a pseudo-terminal: version queries, a
// firmware download, a USB mode switch over a COM port, Exit back to the main window, and demo
// buttons that print.
#include "support/CliRun.h"  // before Qt: it names a member `signals`

#include "app/LinkRecovery.h"
#include "gui/FrmVK.h"
#include "gui/ReceiptDemoPanel.h"
#include "GuiTest.h"

using posbench::test::Click;
using posbench::test::Find;
using posbench::test::Lines;
using posbench::test::ReadAll;

class VKAndDemoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const auto& dir = bench_.dir;
        bench_.MakeHomeWithPrinter({"--model", "Q310", "--log", dir / "printer.log", "--paper", dir / "paper.txt",
                                    "--reset-ms", "300"});
    }
    void init() {  // a fresh window for each slot
        bench_.OpenMain();
        main_ = bench_.main;
    }
    void cleanup() { bench_.CloseMain(); }
    void testOpensTheUtilityThatQueriesDownloadsAndSwitchesTheUsbMode();
    void demoButtonsSendTheirScripts();

private:
    bool PortBack() { return !bench_.startup->Recovery().InProgress(1) && posbench::gsPortTable(1) == "COM1, 115200, DTR, ON"; }
    bool LogAfterModeCommand(const char* text) {
        const std::string log = ReadAll(bench_.dir / "printer.log");
        return log.find(text, log.find("USB interface: native")) != std::string::npos;
    }

    posbench::test::GuiBench bench_;
    posbench::gui::FrmMain* main_ = nullptr;
};

void VKAndDemoTest::testOpensTheUtilityThatQueriesDownloadsAndSwitchesTheUsbMode() {
    Click(main_, "btnTest");
    posbench::gui::FrmVK* vk = main_->VKForm();
    QVERIFY(vk && vk->isVisible());
    QVERIFY(main_->pos().x() <= -20000);
    QCOMPARE(Find<QListWidget>(vk, "lstCommands")->count(), 12);
    QVERIFY(!Find<QLabel>(vk, "picLogo")->pixmap().isNull());

    Click(vk, "cmdVKFirmwareVersion");
    QTRY_VERIFY2_WITH_TIMEOUT(Lines(vk, "lstStatus").contains("Firmware  4.40"), qPrintable(Lines(vk, "lstStatus")), 5000);
    QVERIFY2(Lines(vk, "lstStatus").contains("Model  Q310"), qPrintable(Lines(vk, "lstStatus")));

    // Download Firmware sends the catalogue's sample image through the main window's Send; the
    // printer restarts after it and the link recovery brings the port back.
    Click(vk, "cmdVKDload");
    QTRY_VERIFY2_WITH_TIMEOUT(Lines(main_, "lstStatus").contains("Reseting Port 1 Printer"), qPrintable(Lines(main_, "lstStatus")), 15000);
    QVERIFY(Lines(main_, "lstStatus").contains("File Size is: 8192"));
    QTRY_VERIFY_WITH_TIMEOUT(PortBack(), 15000);

    // Native mode over a COM port: the mode command, then a reset that the recovery takes over
    // as it did above; the port table stays.
    QVERIFY(Find<QRadioButton>(vk, "optNative")->isChecked());
    Click(vk, "cmdSetUSB");
    QTRY_VERIFY_WITH_TIMEOUT(Lines(vk, "lstStatus").contains("Native Mode USB is Active"), 5000);
    QVERIFY(bench_.startup->Recovery().InProgress(1));
    // The printer takes the mode command, then restarts into that mode and is back.
    QTRY_VERIFY_WITH_TIMEOUT(LogAfterModeCommand("USB interface after restart: native") && LogAfterModeCommand("# ready again"), 5000);
    QCOMPARE(posbench::giNumPorts, int16_t{1});
    QVERIFY(posbench::gsPortTable(1).rfind("COM1, 115200, DTR, ", 0) == 0);

    // Exit in a utility opened by Test brings the main window back instead of ending.
    Click(vk, "cmdExit");
    QTRY_VERIFY(!vk->isVisible());
    QVERIFY(main_->pos().x() > -20000 && main_->isVisible());
}

void VKAndDemoTest::demoButtonsSendTheirScripts() {
    // The catalogue's last model carries the demo.
    Click(main_, "btnMain5");
    QLabel* label = nullptr;
    for (QLabel* l : main_->findChildren<QLabel*>())
        if (l->objectName().startsWith("lblSub") && l->text() == "Demo" && l->isVisible()) label = l;
    QVERIFY(label);
    Click(main_, qPrintable(QString(label->objectName()).replace("lblSub", "btnSub")));
    QVERIFY(Find<QGroupBox>(main_, "fraReceipt")->isVisible());
    auto* panel = main_->DemoPanel();
    QCOMPARE(Find<QLabel>(panel, "lblHding0")->text(), QString("Sale"));
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
    QCOMPARE(Find<QLabel>(panel, "lblHding0")->text(), QString("Other"));
    QVERIFY(!panel->findChild<QLabel*>("lblHding1") && !panel->findChild<QAbstractButton*>("btnFcns1"));
    Click(panel, "btnFcns0");
    QTRY_VERIFY(Lines(main_, "lstStatus").endsWith("Invalid Demo script file name"));
}

QTEST_MAIN(VKAndDemoTest)
#include "vk_and_demo_test.moc"
