// The port setup window on the offscreen platform, driven through its widgets and dialogs, with
// two serial printers on pseudo-terminals: a serial speed change, an insert that renumbers open
// ports, the port maximum, the address dialog, Remember and the close box.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <functional>

#include "app/PortSetup.h"
#include "base/Ini.h"
#include "base/Views.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "comm/devices/Dcb.h"
#include "gui/FrmSetup.h"
#include "script/StateMachine.h"
#include "GuiTest.h"

using posbench::gui::FrmSetup;
using posbench::test::Items;

namespace {

// Works in the modal dialog that the next action opens, once it is up.
void InDialog(std::function<void(QDialog*)> work) {
    QTimer::singleShot(0, [work] {
        QTRY_VERIFY(qobject_cast<QDialog*>(QApplication::activeModalWidget()) != nullptr);
        work(qobject_cast<QDialog*>(QApplication::activeModalWidget()));
    });
}

void ClickOk(QDialog* dialog) { QTest::mouseClick(dialog->findChild<QAbstractButton*>("btnOK"), Qt::LeftButton); }

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
    void initTestCase();
    void cleanupTestCase();
    void changingComSpeedUpdatesTheOneEntryAndTheOpenPort();
    void insertingRenumbersAndReopensTheLaterPorts();
    void refusalsAndTheAddressDialog();
    void rememberWritesStartupIniAndTheCloseBoxActsAsOk();

private:
    void DoubleClick(QListWidget* list, const QString& text) {
        posbench::test::ClickRow(list, list->findItems(text, Qt::MatchExactly).value(0), true);
    }
    QListWidget* List(const char* name) { return setup_->findChild<QListWidget*>(name); }
    void Click(const char* name) { posbench::test::ClickButton(setup_.get(), name); }

    std::unique_ptr<posbench::test::ScratchDir> dir_;
    std::unique_ptr<posbench::test::SimPrinter> com1_, com2_;
    std::unique_ptr<FrmSetup> setup_;
};

void SetupWindowTest::initTestCase() {
    posbench::test::ResetAllGlobals();
    dir_ = std::make_unique<posbench::test::ScratchDir>();
    com1_ = std::make_unique<posbench::test::SimPrinter>(std::vector<std::string>{"--pty", *dir_ / "com1", "--model", "Q310"});
    com2_ = std::make_unique<posbench::test::SimPrinter>(std::vector<std::string>{"--pty", *dir_ / "com2", "--model", "Q320"});
    dir_->Write("Startup.ini", "[Communication]\r\nCOM1=9600,XON,ON\r\nCOM2=115200,DTR,ON\r\nLPT1=OFF\r\n"
                               "[OTHER]\r\nMAXPORTS=6\r\n[Devices]\r\nCOM1=" + com1_->Path() +
                               "\r\nCOM2=" + com2_->Path() + "\r\n");
    posbench::gsProgramDir = dir_->path().string();
    QVERIFY(posbench::Startup());
    QVERIFY(posbench::ConfigureDevices());
    setup_ = std::make_unique<FrmSetup>(nullptr, nullptr);
    setup_->show();
    QCOMPARE(setup_->windowTitle(), QString("Setup"));
    QCOMPARE(List("lstComDevice")->count(), 13);
    QCOMPARE(Items(List("lstPortStatus")),
             (QStringList{"COM1, 9600, XON, ON", "COM2, 115200, DTR, ON", "LPT1, OFF"}));
}

void SetupWindowTest::cleanupTestCase() {
    setup_.reset();
    posbench::test::ResetAllGlobals();
    com1_.reset();
    com2_.reset();
    dir_.reset();
}

void SetupWindowTest::changingComSpeedUpdatesTheOneEntryAndTheOpenPort() {
    // A rate the line cannot take keeps the dialog open with the reason; a listed one is taken.
    InDialog([](QDialog* dialog) {
        QCOMPARE(dialog->findChild<QComboBox*>("cboBaud")->currentText(), QString("9600"));
        dialog->findChild<QComboBox*>("cboBaud")->setEditText("9600,ON");
        ClickOk(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->findChild<QLabel*>("lblError")->isVisible());
        dialog->findChild<QComboBox*>("cboBaud")->setEditText("57600");
        dialog->findChild<QComboBox*>("cboFlow")->setEditText("DTR");
        ClickOk(dialog);
    });
    DoubleClick(List("lstComDevice"), "COM1");
    QTRY_COMPARE(Items(List("lstPortStatus")).value(0), QString("COM1, 57600, DTR, ON"));
    QCOMPARE(List("lstPortStatus")->count(), 3);
    QCOMPARE(posbench::gComSettings(0).Baud, std::string("57600"));
    QCOMPARE(posbench::gcolDevices.Item(1).DCB()->BaudRate(), 57600);
    QVERIFY(Identify(1).find("Q310") != std::string::npos);
}

void SetupWindowTest::insertingRenumbersAndReopensTheLaterPorts() {
    List("lstPortStatus")->setCurrentRow(0);
    DoubleClick(List("lstComDevice"), "USB Native");
    QCOMPARE(Items(List("lstPortStatus")), (QStringList{"COM1, 57600, DTR, ON", "USB, NATIVE, OFF",
                                                        "COM2, 115200, DTR, ON", "LPT1, OFF"}));
    QCOMPARE(List("lstPortStatus")->currentRow(), 1);
    // COM2 is port 3 now, under its own key, open again and answering.
    QCOMPARE(posbench::gcolDevices.Count(), 4L);
    QCOMPARE(&posbench::gcolDevices.Item(3), &posbench::gcolDevices.Item("COM2"));
    QVERIFY(Identify(3).find("Q320") != std::string::npos);
    QVERIFY(Identify(1).find("Q310") != std::string::npos);

    // USB a second time, even in the other mode, is the same medium.
    DoubleClick(List("lstComDevice"), "USB Native");
    QVERIFY(Items(List("lstSetupStatus")).contains("Port or device already defined."));
    QCOMPARE(List("lstPortStatus")->count(), 4);
}

void SetupWindowTest::refusalsAndTheAddressDialog() {
    posbench::giMaxPorts = 4;
    List("lstSetupStatus")->clear();
    // An empty address keeps the dialog open with its message; Cancel adds nothing.
    InDialog([](QDialog* dialog) {
        dialog->findChild<QLineEdit*>("txtIPAddress")->clear();
        ClickOk(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(Items(dialog->findChild<QListWidget*>("lstStatus")), QStringList{"Missing IP Address"});
        dialog->findChild<QLineEdit*>("txtIPAddress")->setText("10.0.0.7, ON");
        ClickOk(dialog);
        QVERIFY(dialog->isVisible());
        QTest::mouseClick(dialog->findChild<QAbstractButton*>("btnCancel"), Qt::LeftButton);
    });
    DoubleClick(List("lstComDevice"), "Ethernet");
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(List("lstPortStatus")->count(), 4);

    DoubleClick(List("lstComDevice"), "LPT2");
    QCOMPARE(Items(List("lstSetupStatus")),
             (QStringList{"Exceeded number of ports permitted.", "Please remove a port before adding one."}));
    posbench::giMaxPorts = 6;

    // Remove with nothing selected leaves everything as it is.
    List("lstPortStatus")->setCurrentRow(-1);
    Click("btnRemoveConfiguration");
    QCOMPARE(List("lstPortStatus")->count(), 4);
}

void SetupWindowTest::rememberWritesStartupIniAndTheCloseBoxActsAsOk() {
    Click("btnRemember");
    QVERIFY(Items(List("lstSetupStatus")).contains("Configuration update complete"));
    QCOMPARE(posbench::giNumPorts, int16_t{4});
    const std::string ini = posbench::StartupFileName();
    QCOMPARE(posbench::GetPrivateProfileString("Communication", "COM1", "NONE", ini), std::string("57600, DTR, ON"));
    QCOMPARE(posbench::GetPrivateProfileString("Communication", "USB", "NONE", ini), std::string("NATIVE, OFF"));

    // Remove the USB entry, then leave by the close box: table and devices agree again.
    List("lstPortStatus")->setCurrentRow(1);
    Click("btnRemoveConfiguration");
    QCOMPARE(List("lstPortStatus")->count(), 3);
    setup_->close();
    QVERIFY(!setup_->isVisible());
    QCOMPARE(posbench::giNumPorts, int16_t{3});
    QCOMPARE(posbench::gsPortTable(2), std::string("COM2, 115200, DTR, ON"));
    QVERIFY(Identify(2).find("Q320") != std::string::npos);
    // Closing without Remember leaves the file as it was.
    QCOMPARE(posbench::GetPrivateProfileString("Communication", "USB", "NONE", ini), std::string("NATIVE, OFF"));
}

QTEST_MAIN(SetupWindowTest)
#include "setup_window_test.moc"
