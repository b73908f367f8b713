// The VK printer utility (opened by Test) and the receipt demo panel on the offscreen platform.
// Against the simulated printer as a serial printer on a pseudo-terminal: version queries, a
// firmware download, a USB mode switch over a COM port, Exit back to the main window, and demo
// buttons that print. Against a serial printer that falls silent (the test plays it on a pty of
// its own: the simulated printer has no fault that is silent once and then answers on time): an
// unanswered version query ends by itself with a status line saying so, a late answer does not
// pass for the next one, and Cancel ends a query at once.
#include "support/CliRun.h"  // before Qt: it names a member `signals`

#include <unistd.h>

#include "app/LinkRecovery.h"
#include "gui/FrmVK.h"
#include "gui/ReceiptDemoPanel.h"
#include "script/StateMachine.h"
#include "support/Pty.h"
#include "GuiTest.h"

using posbench::test::Click;
using posbench::test::Find;
using posbench::test::Lines;
using posbench::test::ReadAll;

namespace {

const std::string kModel = std::string("Q310") + std::string(12, ' ') + '\0';

// Plays the printer on the pty's master side: answers the model and version queries (1D 49 40 27,
// 1D 49 40 A3) only while `answer` is set; onQuery runs as each query arrives.
class QuietPrinter : public QObject {
public:
    QuietPrinter() {
        connect(&notifier_, &QSocketNotifier::activated, this, [this] {
            char bytes[256];
            for (ssize_t n; (n = ::read(pty.MasterFd(), bytes, sizeof bytes)) > 0;)
                received_.append(bytes, std::size_t(n));
            for (std::size_t at; (at = received_.find("\x1D\x49\x40")) != std::string::npos &&
                                 at + 3 < received_.size();) {
                const bool model = received_[at + 3] == '\x27';
                received_.erase(0, at + 4);
                if (onQuery) onQuery();
                if (answer) pty.Write(model ? kModel : std::string("\x02" "4.40\x03"));
            }
        });
    }
    posbench::test::Pty pty;
    bool answer = false;
    std::function<void()> onQuery;

private:
    QSocketNotifier notifier_{pty.MasterFd(), QSocketNotifier::Read};
    std::string received_;
};

QString Status(const QWidget* window) { return Lines(window, "lstStatus"); }

}  // namespace

class VKAndDemoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const auto& dir = bench_.dir;
        bench_.MakeHomeWithPrinter({"--model", "Q310", "--log", dir / "printer.log",
                                    "--paper", dir / "paper.txt", "--reset-ms", "300"});
    }
    void init() {  // a fresh window for each slot; the silent printer's slots have it as COM1
        const bool silent = QByteArray(QTest::currentTestFunction()).startsWith("silentPrinter");
        const std::string silentIni = "[Communication]\nCOM1=115200,DTR,ON\n[Devices]\nCOM1=";
        std::ofstream(bench_.home() / "Startup.ini", std::ios::trunc)
            << (silent ? silentIni + quiet_.pty.SlavePath() + "\n" : bench_.startupIni);
        bench_.OpenMain();
        main_ = bench_.main;
    }
    void cleanup() { bench_.CloseMain(); }

    void testOpensTheUtilityThatQueriesDownloadsAndSwitchesTheUsbMode() {
        OpenVK();

        Click(vk_, "cmdVKFirmwareVersion");
        QTRY_VERIFY2_WITH_TIMEOUT(Status(vk_).contains("Firmware  4.40"), qPrintable(Status(vk_)),
                                  5000);

        // Download Firmware sends the catalogue's sample image through the main window's Send; the
        // printer restarts after it and the link recovery brings the port back.
        Click(vk_, "cmdVKDload");
        QTRY_VERIFY2_WITH_TIMEOUT(Status(main_).contains("Reseting Port 1 Printer"),
                                  qPrintable(Status(main_)), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(PortBack(), 15000);

        // Native mode over a COM port: the mode command, then a reset that the recovery takes over
        // as it did above.
        Click(vk_, "cmdSetUSB");
        QTRY_VERIFY_WITH_TIMEOUT(Status(vk_).contains("Native Mode USB is Active"), 5000);
        QVERIFY(bench_.startup->Recovery().InProgress(1));

        // Exit in a utility opened by Test brings the main window back instead of ending.
        Click(vk_, "cmdExit");
        QTRY_VERIFY(!vk_->isVisible());
        QVERIFY(main_->pos().x() > -20000 && main_->isVisible());
    }

    void silentPrinterQueryEndsByItselfAndALateAnswerIsNotTaken() {
        OpenVK();
        QVERIFY2(QueryEndsByItself(), qPrintable(Said()));
        QVERIFY2(Said().contains("No answer from the printer within 5 s"), qPrintable(Said()));

        // The printer wakes up and answers the abandoned query; the next one reads its own answers.
        quiet_.pty.Write(std::string("OLD") + std::string(13, ' ') + '\0');
        QTRY_VERIFY(Find<QPlainTextEdit>(main_, "txtResponse")->toPlainText().contains("OLD"));
        quiet_.answer = true;
        QVERIFY2(QueryEndsByItself(), qPrintable(Said()));
        QVERIFY2(Said().contains("Model  Q310"), qPrintable(Said()));
        QVERIFY2(Said().contains("Firmware  4.40"), qPrintable(Said()));
    }

    void silentPrinterQueryEndsAtOnceOnCancel() {
        OpenVK();
        quiet_.answer = false;
        quiet_.onQuery = [this] {
            QTimer::singleShot(0, this, [this] { Click(vk_, "cmdCancel"); });
        };
        QVERIFY2(QueryEndsByItself(), qPrintable(Said()));
        // Ended by the cancel, not by the bound.
        QVERIFY2(!Said().contains("No answer from the printer"), qPrintable(Said()));
        quiet_.onQuery = nullptr;
        quiet_.answer = true;  // and the port still serves the next query
        QVERIFY2(QueryEndsByItself() && Said().contains("Firmware  4.40"), qPrintable(Said()));
    }

    void demoButtonsSendTheirScripts() {
        Click(main_, "btnMain5");  // the catalogue's last model carries the demo
        Click(main_, "btnSub26");  // Q360's sixth, after the 21 of the others
        QVERIFY(Find<QGroupBox>(main_, "fraReceipt")->isVisible());
        auto* panel = main_->DemoPanel();
        Click(panel, "btnFcns0");  // Sample receipt: Scripts\Receipt.txt on port 1
        QTRY_VERIFY2_WITH_TIMEOUT(Status(main_).contains("Receipt done"), qPrintable(Status(main_)),
                                  15000);
        const std::string paper = bench_.dir / "paper.txt";
        QTRY_VERIFY_WITH_TIMEOUT(
            ReadAll(paper).find("Thank you for your visit!") != std::string::npos, 5000);

        // A second demo leaves no button of the first; a button whose script is
        // missing says so and sends nothing.
        const std::string second = bench_.dir.Write("home/Demo2.ini",
            "[RQTYPE]\r\nRQ=DEMO\r\n[Section]\r\nSName=S\r\n[S]\r\nNumHeadings=1,H\r\n"
            "H=Other,10,10,K\r\nK=1,B\r\nB=Nothing,10,40,Scripts\\Missing.txt\r\n");
        panel->Logic().Load(second);
        QVERIFY(!panel->findChild<QAbstractButton*>("btnFcns1"));
        Click(panel, "btnFcns0");
        QTRY_VERIFY(Status(main_).endsWith("Invalid Demo script file name"));
    }

private:
    void OpenVK() {
        Click(main_, "btnTest");
        vk_ = main_->VKForm();
        QVERIFY(vk_ && vk_->isVisible());
    }
    bool PortBack() {
        return !bench_.startup->Recovery().InProgress(1) &&
               posbench::gsPortTable(1) == "COM1, 115200, DTR, ON";
    }
    // Clicks the version button (which returns when the query has ended) with both windows'
    // status lists cleared; false when the query had to be cancelled by the test after 20 s.
    bool QueryEndsByItself() {
        for (QWidget* window : {static_cast<QWidget*>(vk_), static_cast<QWidget*>(main_)})
            Find<QListWidget>(window, "lstStatus")->clear();
        bool rescued = false;
        QTimer rescue;
        rescue.callOnTimeout([&rescued] { rescued = true; posbench::Cancel(); });
        rescue.start(20000);
        Click(vk_, "cmdVKFirmwareVersion");
        return !rescued;
    }
    // Both windows' status lines: in a utility opened by Test the engine's own go to the main one.
    QString Said() const { return Status(vk_) + "\n" + Status(main_); }

    QuietPrinter quiet_;
    posbench::test::GuiBench bench_;
    posbench::gui::FrmMain* main_ = nullptr;
    posbench::gui::FrmVK* vk_ = nullptr;
};

QTEST_MAIN(VKAndDemoTest)
#include "vk_and_demo_test.moc"
