#include "gui/SetupDialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/StringOps.h"
#include "gui/StatusListWidget.h"

namespace posbench::gui {

namespace {

QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("btnOK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("btnCancel");
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QComboBox* EditableList(const char* name, const std::vector<std::string>& items,
                        const std::string& text, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& item : items) box->addItem(FromBytes(item));
    box->setEditText(FromBytes(text));
    return box;
}

}  // namespace

FrmRs232::FrmRs232(const std::string& device, const SerialSettings& current, QWidget* parent)
    : QDialog(parent) {
    setObjectName("frmRs232");
    setWindowTitle("Setup");
    cboBaud_ = EditableList("cboBaud", SetupBaudRates(), current.baud.empty() ? "115200" : current.baud, this);
    cboBaud_->setToolTip("Line speed in bits per second; pick one or type another rate the line supports");
    cboFlow_ = EditableList("cboFlow", SetupFlows(), current.flow.empty() ? "DTR" : current.flow, this);
    cboFlow_->setToolTip("DTR: hardware handshake on the DTR line; XON: software flow control");
    lblError_ = new QLabel(this);
    lblError_->setObjectName("lblError");
    lblError_->setWordWrap(true);
    lblError_->hide();

    auto* form = new QFormLayout;
    form->addRow(new QLabel(FromBytes(device), this));
    form->addRow("Baud Rate:", cboBaud_);
    form->addRow("Flow Control:", cboFlow_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblError_);
    QDialogButtonBox* buttons = OkCancel(this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { Ok(); });
}

void FrmRs232::Ok() {
    const std::string baud = Trim(ToBytes(cboBaud_->currentText()));
    const std::string flow = UCase(Trim(ToBytes(cboFlow_->currentText())));
    std::string problem = CheckBaud(baud);
    if (problem.empty()) problem = CheckFlow(flow);
    if (!problem.empty()) {
        lblError_->setText(FromBytes(problem));
        lblError_->show();
        return;
    }
    settings_ = SerialSettings{baud, flow};
    accept();
}

FrmETHSetup::FrmETHSetup(const std::string& current, QWidget* parent) : QDialog(parent) {
    setObjectName("frmETHSetup");
    setWindowTitle("Setup");
    txtIPAddress_ = new QLineEdit(FromBytes(current), this);
    txtIPAddress_->setObjectName("txtIPAddress");
    txtIPAddress_->setToolTip("The printer's address, optionally with :port (default 9001); "
                              "SERVER waits for the printer to connect");
    lstStatus_ = new QListWidget(this);
    lstStatus_->setObjectName("lstStatus");
    lstStatus_->setMaximumHeight(60);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("IP Address:", this));
    layout->addWidget(txtIPAddress_);
    layout->addWidget(new QLabel("(Format: W.X.Y.Z)", this));
    layout->addWidget(lstStatus_);
    QDialogButtonBox* buttons = OkCancel(this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { Ok(); });
}

void FrmETHSetup::Ok() {
    const std::string address = Trim(ToBytes(txtIPAddress_->text()));
    const std::string problem = CheckAddress(address);
    if (!problem.empty()) {
        lstStatus_->addItem(FromBytes(problem));
        lstStatus_->scrollToBottom();
        return;
    }
    address_ = address;
    accept();
}

}  // namespace posbench::gui
