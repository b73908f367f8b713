// The port setup window on the offscreen platform, driven through its widgets and dialogs, with
// two serial printers on pseudo-terminals: a serial speed change, an insert that renumbers open
// ports, the port maximum, the address dialog, Remember and the close box, one edit after the
// other on the same port table.
#include "base/Ini.h"
#include "base/Views.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "comm/devices/Dcb.h"
#include "gui/FrmSetup.h"
#include "script/StateMachine.h"
#include "GuiTest.h"

using posbench::test::ClickRow;
using posbench::test::Find;
using posbench::test::Items;

namespace {

// Works in the modal dialog that the next action opens, once it is up.
void InDialog(std::function<void(QDialog*)> work) {
    QTimer::singleShot(0, [work] {
        QTRY_VERIFY(qobject_cast<QDialog*>(QApplication::activeModalWidget()) != nullptr);
        work(qobject_cast<QDialog*>(QApplication::activeModalWidget()));
    });
}

// The identification reply of the printer on a port, asked through the port's device.
std::string Identify(int16_t port) {
    posbench::test::RecordingResponseBox box;
    posbench::SetResponseBox(&box);
    const bool ok = posbench::WriteReadOk(std::string("\x1D\x49\x40\x27", 4), 17, false, port);
    posbench::SetResponseBox(nullptr);
    return ok ? box.text : "(no answer)";
}

}  // namespace

class SetupWindowTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { posbench::test::ResetAllGlobals(); }
    void editsThePortTableAndTheOpenPorts();

private:
    QListWidget* List(const char* name) { return Find<QListWidget>(setup_, name); }
    void DoubleClick(const QString& device) {
        QListWidget* devices = List("lstComDevice");
        ClickRow(devices, devices->findItems(device, Qt::MatchExactly).value(0), true);
    }

    posbench::gui::FrmSetup* setup_ = nullptr;
};

void SetupWindowTest::editsThePortTableAndTheOpenPorts() {
    using posbench::test::SimPrinter;
    posbench::test::ResetAllGlobals();
    posbench::test::ScratchDir dir;
    SimPrinter com1({"--pty", dir / "com1", "--model", "Q310"});
    SimPrinter com2({"--pty", dir / "com2", "--model", "Q320"});
    dir.Write("Startup.ini", "[Communication]\r\nCOM1=9600,XON,ON\r\nCOM2=115200,DTR,ON\r\n"
                             "LPT1=OFF\r\n[OTHER]\r\nMAXPORTS=6\r\n[Devices]\r\n"
                             "COM1=" + com1.Path() + "\r\nCOM2=" + com2.Path() + "\r\n");
    posbench::gsProgramDir = dir.path().string();
    QVERIFY(posbench::Startup() && posbench::ConfigureDevices());
    posbench::gui::FrmSetup setup(nullptr, nullptr);
    setup_ = &setup;
    setup.show();
    QCOMPARE(Items(List("lstPortStatus")),
             (QStringList{"COM1, 9600, XON, ON", "COM2, 115200, DTR, ON", "LPT1, OFF"}));

    // A COM speed change: a rate the line cannot take keeps the dialog open with the reason; a
    // listed one is taken, by the one entry and by the open port.
    InDialog([](QDialog* dialog) {
        auto* baud = Find<QComboBox>(dialog, "cboBaud");
        QCOMPARE(baud->currentText(), QString("9600"));
        baud->setEditText("9600,ON");
        posbench::test::Click(dialog, "btnOK");
        QVERIFY(dialog->isVisible() && Find<QLabel>(dialog, "lblError")->isVisible());
        baud->setEditText("57600");
        Find<QComboBox>(dialog, "cboFlow")->setEditText("DTR");
        posbench::test::Click(dialog, "btnOK");
    });
    DoubleClick("COM1");
    QTRY_COMPARE(Items(List("lstPortStatus")).value(0), QString("COM1, 57600, DTR, ON"));
    QCOMPARE(posbench::gcolDevices.Item(1).DCB()->BaudRate(), 57600);
    QVERIFY(Identify(1).find("Q310") != std::string::npos);

    // An insert after the current row renumbers the later ports: COM2 is port 3 now, under its
    // own key, open again and answering.
    List("lstPortStatus")->setCurrentRow(0);
    DoubleClick("USB Native");
    QCOMPARE(Items(List("lstPortStatus")), (QStringList{"COM1, 57600, DTR, ON", "USB, NATIVE, OFF",
                                                        "COM2, 115200, DTR, ON", "LPT1, OFF"}));
    QCOMPARE(List("lstPortStatus")->currentRow(), 1);
    QCOMPARE(posbench::gcolDevices.Count(), 4L);
    QCOMPARE(&posbench::gcolDevices.Item(3), &posbench::gcolDevices.Item("COM2"));
    QVERIFY(Identify(3).find("Q320") != std::string::npos);
    QVERIFY(Identify(1).find("Q310") != std::string::npos);
    // USB a second time, even in the other mode, is the same medium.
    DoubleClick("USB Native");
    QVERIFY(Items(List("lstSetupStatus")).contains("Port or device already defined."));
    QCOMPARE(List("lstPortStatus")->count(), 4);

    // An empty address keeps the dialog open; Cancel adds nothing.
    posbench::giMaxPorts = 4;
    List("lstSetupStatus")->clear();
    InDialog([](QDialog* dialog) {
        Find<QLineEdit>(dialog, "txtIPAddress")->clear();
        posbench::test::Click(dialog, "btnOK");
        QVERIFY(dialog->isVisible());
        posbench::test::Click(dialog, "btnCancel");
    });
    DoubleClick("Ethernet");
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(List("lstPortStatus")->count(), 4);
    // The port maximum refuses one more.
    DoubleClick("LPT2");
    QCOMPARE(Items(List("lstSetupStatus")),
             (QStringList{"Exceeded number of ports permitted.", "Please remove a port before adding one."}));
    posbench::giMaxPorts = 6;
    // Remove with nothing selected leaves everything as it is.
    List("lstPortStatus")->setCurrentRow(-1);
    posbench::test::Click(setup_, "btnRemoveConfiguration");
    QCOMPARE(List("lstPortStatus")->count(), 4);

    posbench::test::Click(setup_, "btnRemember");
    QVERIFY(Items(List("lstSetupStatus")).contains("Configuration update complete"));
    QCOMPARE(posbench::giNumPorts, int16_t{4});
    const std::string ini = posbench::StartupFileName();
    QCOMPARE(posbench::GetPrivateProfileString("Communication", "COM1", "NONE", ini), std::string("57600, DTR, ON"));
    QCOMPARE(posbench::GetPrivateProfileString("Communication", "USB", "NONE", ini), std::string("NATIVE, OFF"));

    // Remove the USB entry, then leave by the close box: table and devices agree again.
    List("lstPortStatus")->setCurrentRow(1);
    posbench::test::Click(setup_, "btnRemoveConfiguration");
    QCOMPARE(List("lstPortStatus")->count(), 3);
    setup.close();
    QVERIFY(!setup.isVisible());
    QCOMPARE(posbench::giNumPorts, int16_t{3});
    QCOMPARE(posbench::gsPortTable(2), std::string("COM2, 115200, DTR, ON"));
    QVERIFY(Identify(2).find("Q320") != std::string::npos);
    // Closing without Remember leaves the file as it was.
    QCOMPARE(posbench::GetPrivateProfileString("Communication", "USB", "NONE", ini), std::string("NATIVE, OFF"));
}

QTEST_MAIN(SetupWindowTest)
#include "setup_window_test.moc"
