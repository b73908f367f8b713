#pragma once
// The two small dialogs of the port setup window, both titled "Setup": frmRs232 (baud and flow
// of a serial port) and frmETHSetup (the TCP address). OK checks what was typed and, when it
// would not work or would corrupt Startup.ini, says why in the dialog and stays open.
#include <QDialog>
#include <string>

#include "app/PortSetup.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace posbench::gui {

class FrmRs232 : public QDialog {
public:
    FrmRs232(const std::string& device, const SerialSettings& current, QWidget* parent);
    SerialSettings Settings() const { return settings_; }

private:
    void Ok();

    QComboBox* cboBaud_ = nullptr;
    QComboBox* cboFlow_ = nullptr;
    QLabel* lblError_ = nullptr;
    SerialSettings settings_;
};

class FrmETHSetup : public QDialog {
public:
    FrmETHSetup(const std::string& current, QWidget* parent);
    std::string Address() const { return address_; }

private:
    void Ok();

    QLineEdit* txtIPAddress_ = nullptr;
    QListWidget* lstStatus_ = nullptr;
    std::string address_;
};

}  // namespace posbench::gui
