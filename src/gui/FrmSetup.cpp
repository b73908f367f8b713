#include "gui/FrmSetup.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/SetupDialogs.h"
#include "gui/NamedButton.h"
#include "gui/StatusListWidget.h"

namespace posbench::gui {

FrmSetup::FrmSetup(const LinkRecovery* recovery, QWidget* parent)
    : QDialog(parent), logic_(*this, recovery) {
    setObjectName("frmSetup");
    setWindowTitle("Setup");

    auto* frame = new QGroupBox("Communications Setup", this);
    lstComDevice_ = new QListWidget(frame);
    lstComDevice_->setObjectName("lstComDevice");
    lstComDevice_->setToolTip("Double-click a device to add it as a new port (or to change the "
                              "settings of the port that already uses it)");
    for (const std::string& choice : SetupDeviceChoices()) lstComDevice_->addItem(FromBytes(choice));
    lstPortStatus_ = new QListWidget(frame);
    lstPortStatus_->setObjectName("lstPortStatus");
    lstPortStatus_->setToolTip("The ports in port-number order; a new device goes after the "
                               "selected one. Double-click a COM or TCP port to change it");
    lstSetupStatus_ = new QListWidget(frame);
    lstSetupStatus_->setObjectName("lstSetupStatus");

    QPushButton* btnOn = NamedButton("btnOn", "On", "Open the selected port", frame);
    QPushButton* btnOff = NamedButton("btnOff", "Off", "Close the selected port", frame);
    QPushButton* btnRemove = NamedButton("btnRemoveConfiguration", "Remove",
                                    "Close and delete the selected port; later ports move up", frame);
    QPushButton* btnRemember = NamedButton("btnRemember", "Remember Configuration",
                                      "Use these ports now and write them to Startup.ini for the next start", frame);
    QPushButton* btnClear = NamedButton("btnClearStatus", "Clear", "Empty the status list", frame);
    QPushButton* btnExit = NamedButton("btnExit", "OK", "Use these ports until the program ends and close", this);
    btnExit->setDefault(true);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(new QLabel("Select From:", frame), 0, 0);
    grid->addWidget(new QLabel("Defined Device(s):", frame), 0, 1);
    grid->addWidget(lstComDevice_, 1, 0, 5, 1);
    grid->addWidget(lstPortStatus_, 1, 1, 4, 1);
    grid->addWidget(new QLabel("Double Click to Edit", frame), 5, 1);
    grid->addWidget(btnOn, 1, 2);
    grid->addWidget(btnOff, 2, 2);
    grid->addWidget(btnRemove, 3, 2);
    grid->addWidget(btnRemember, 4, 2);
    grid->addWidget(new QLabel("Status:", frame), 6, 0);
    grid->addWidget(btnClear, 6, 2);
    grid->addWidget(lstSetupStatus_, 7, 0, 1, 3);
    lstComDevice_->setMaximumWidth(150);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    footer->addWidget(btnExit);
    layout->addLayout(footer);
    resize(620, 420);

    connect(lstComDevice_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { logic_.lstComDevice_DblClick(lstComDevice_->row(item)); });
    connect(lstPortStatus_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { logic_.lstPortStatus_DblClick(); });
    connect(btnOn, &QPushButton::clicked, this, [this] { logic_.btnOn_Click(); });
    connect(btnOff, &QPushButton::clicked, this, [this] { logic_.btnOff_Click(); });
    connect(btnRemove, &QPushButton::clicked, this, [this] { logic_.btnRemoveConfiguration_Click(); });
    connect(btnRemember, &QPushButton::clicked, this, [this] { logic_.btnRemember_Click(); });
    connect(btnClear, &QPushButton::clicked, this, [this] { logic_.btnClearStatus_Click(); });
    connect(btnExit, &QPushButton::clicked, this, [this] { logic_.btnExit_Click(); });

    logic_.Form_Load();
}

long FrmSetup::EntryCount() const { return lstPortStatus_->count(); }

std::string FrmSetup::Entry(long index) const {
    if (index < 0 || index >= lstPortStatus_->count()) return "";
    return ToBytes(lstPortStatus_->item(static_cast<int>(index))->text());
}

void FrmSetup::SetEntries(const std::vector<std::string>& entries) {
    lstPortStatus_->clear();
    for (const std::string& entry : entries) lstPortStatus_->addItem(FromBytes(entry));
}

long FrmSetup::SelectedEntry() const { return lstPortStatus_->currentRow(); }

void FrmSetup::SelectEntry(long index) {
    lstPortStatus_->setCurrentRow(index >= 0 && index < lstPortStatus_->count() ? static_cast<int>(index) : -1);
}

void FrmSetup::AddStatusPiece(const std::string& piece) {
    lstSetupStatus_->addItem(FromBytes(piece));
    lstSetupStatus_->scrollToBottom();
}

void FrmSetup::ClearStatus() { lstSetupStatus_->clear(); }

bool FrmSetup::EditSerial(const std::string& device, SerialSettings& settings) {
    FrmRs232 dialog(device, settings, this);
    if (dialog.exec() != QDialog::Accepted) return false;
    settings = dialog.Settings();
    return true;
}

bool FrmSetup::EditAddress(std::string& address) {
    FrmETHSetup dialog(address, this);
    if (dialog.exec() != QDialog::Accepted) return false;
    address = dialog.Address();
    return true;
}

void FrmSetup::CloseWindow() {
    closing_ = true;
    accept();
}

void FrmSetup::closeEvent(QCloseEvent* event) {
    if (!closing_) logic_.btnExit_Click();  // closes through CloseWindow
    QDialog::closeEvent(event);
}

void FrmSetup::reject() {
    if (!closing_) logic_.btnExit_Click();
}

}  // namespace posbench::gui
