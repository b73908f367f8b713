#include "gui/FrmVK.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdio>

#include "app/DownloadGuard.h"
#include "comm/PortRequests.h"
#include "script/StateMachine.h"
#include "gui/NamedButton.h"
#include "gui/ProgramEnd.h"
#include "gui/StatusListWidget.h"
#include "posbench/Version.h"


namespace posbench::gui {

FrmVK::FrmVK(IVKHost& host, QWidget* parent)
    : QWidget(parent), logic_(*this, host), exit_(EndEventLoop) {
    setObjectName("frmVK");
    setWindowTitle("VK Print Utility");

    auto* heading = new QLabel("VK Printer Utility", this);
    QFont big = heading->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    heading->setFont(big);
    picLogo_ = new QLabel(this);
    picLogo_->setObjectName("picLogo");
    lblVersion_ = new QLabel(this);
    lblVersion_->setObjectName("lblVersion");

    QPushButton* dload = NamedButton("cmdVKDload", "Download Firmware", "Send the firmware file the catalogue names to the printer", this);
    QPushButton* version = NamedButton("cmdVKFirmwareVersion", "Display Firmware Version", "Ask the printer for its firmware and version details", this);
    QPushButton* reset = NamedButton("cmdVKReset", "Reset Printer", "Restart the printer; the port reconnects by itself", this);
    QPushButton* send = NamedButton("cmdConfiguration", "Send", "Send the configuration command chosen in the list", this);
    QPushButton* cancel = NamedButton("cmdCancel", "Cancel", "Stop what the port is doing now", this);
    QPushButton* clear = NamedButton("cmdClearStatus", "Clear Status", "Empty the status list", this);
    QPushButton* exitButton = NamedButton("cmdExit", "Exit", "End the program", this);

    fraUsbPrinter_ = new QGroupBox("USB Printer Control", this);
    fraUsbPrinter_->setObjectName("fraUsbPrinter");
    optNative_ = new QRadioButton("VK Native", fraUsbPrinter_);
    optNative_->setObjectName("optNative");
    optNative_->setChecked(true);
    optPrinterClass_ = new QRadioButton("Printer Class", fraUsbPrinter_);
    optPrinterClass_->setObjectName("optPrinterClass");
    QPushButton* setUsb = NamedButton("cmdSetUSB", "Set USB In Printer", "Tell the printer to use the chosen USB mode (it restarts)", fraUsbPrinter_);
    auto* printerBox = new QVBoxLayout(fraUsbPrinter_);
    printerBox->addWidget(new QLabel("Use to configure printer", fraUsbPrinter_));
    printerBox->addWidget(optNative_);
    printerBox->addWidget(optPrinterClass_);
    printerBox->addWidget(setUsb);

    auto* fraUsbProgram = new QGroupBox("USB Program Control", this);
    QPushButton* progNative = NamedButton("cmdProgramNative", "VK Native", "Make the program open the USB port in native mode from the next start", fraUsbProgram);
    QPushButton* progClass = NamedButton("cmdProgramPrinterClass", "Printer Class", "Make the program open the USB port as a printer-class device from the next start", fraUsbProgram);
    auto* programBox = new QVBoxLayout(fraUsbProgram);
    programBox->addWidget(new QLabel("Use to configure program", fraUsbProgram));
    programBox->addWidget(progNative);
    programBox->addWidget(progClass);

    lstStatus_ = new StatusListWidget(this);
    lstStatus_->setObjectName("lstStatus");
    lstStatus_->setWordWrap(true);
    lstCommands_ = new QListWidget(this);
    lstCommands_->setObjectName("lstCommands");
    lstCommands_->setToolTip("Configuration commands of this printer; double-click sends one");

    auto* grid = new QGridLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(picLogo_);
    top->addWidget(heading, 1);
    top->addWidget(lblVersion_);
    grid->addLayout(top, 0, 0, 1, 3);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {dload, version, reset, send, cancel, clear, exitButton}) buttons->addWidget(b);
    buttons->addStretch(1);
    grid->addLayout(buttons, 1, 0, 2, 1);
    grid->addWidget(new QLabel("Status:", this), 1, 1);
    grid->addWidget(lstStatus_, 2, 1);
    prgDownload_ = new QProgressBar(this);
    prgDownload_->setObjectName("prgDownload");
    prgDownload_->setRange(0, 1000);
    prgDownload_->hide();
    grid->addWidget(prgDownload_, 5, 0, 1, 3);
    auto* usb = new QVBoxLayout;
    usb->addWidget(fraUsbPrinter_);
    usb->addWidget(fraUsbProgram);
    usb->addStretch(1);
    grid->addLayout(usb, 1, 2, 2, 1);
    grid->addWidget(new QLabel("Configuration commands:", this), 3, 0, 1, 3);
    grid->addWidget(lstCommands_, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    resize(720, 520);
    commandButtons_ = {dload, version, reset, send, setUsb};

    connect(dload, &QPushButton::clicked, this, [this] { logic_.cmdVKDload_Click(); });
    connect(version, &QPushButton::clicked, this, [this] { logic_.cmdVKFirmwareVersion_Click(); });
    connect(reset, &QPushButton::clicked, this, [this] {
        if (ConfirmStopDownload("reset the printer")) logic_.cmdVKReset_Click();
    });
    connect(send, &QPushButton::clicked, this, [this] { logic_.cmdConfiguration_Click(); });
    connect(lstCommands_, &QListWidget::itemDoubleClicked, this, [this] { logic_.cmdConfiguration_Click(); });
    connect(cancel, &QPushButton::clicked, this, [] { Cancel(); });
    connect(clear, &QPushButton::clicked, this, [this] { logic_.cmdClearStatus_Click(); });
    connect(exitButton, &QPushButton::clicked, this, [this] { close(); });
    connect(setUsb, &QPushButton::clicked, this, [this] { logic_.cmdSetUSB_Click(); });
    connect(progNative, &QPushButton::clicked, this, [this] { logic_.cmdProgramNative_Click(); });
    connect(progClass, &QPushButton::clicked, this, [this] { logic_.cmdProgramPrinterClass_Click(); });

    exchangeBound_.setSingleShot(true);
    connect(&exchangeBound_, &QTimer::timeout, this, [this] {
        if (boundPort_ < 1 || boundPort_ > 6) return;
        DisplayVKLine("No answer from the printer within " + std::to_string(kVKExchangeMs / 1000) +
                      " s: check the cable and the port, then try again");
        gbStop(boundPort_) = true;
    });

    logic_.Form_Load(POSBENCH_VERSION);
    tmrVKtxt_.setObjectName("tmrVKtxt");
    tmrVKtxt_.setSingleShot(true);  // the first tick disables the timer
    tmrVKtxt_.setInterval(1000);
    connect(&tmrVKtxt_, &QTimer::timeout, this, [this] { logic_.tmrVKtxt_Timer(); });
    tmrVKtxt_.start();
}

void FrmVK::DisplayVKLine(const std::string& text) {
    lstStatus_->AddItem(text);
    lstStatus_->SetListIndex(lstStatus_->ListCount() - 1);
}

void FrmVK::ShowProgress(int permille, const QString& text) {
    if (permille < 0) {
        prgDownload_->hide();
        return;
    }
    prgDownload_->setValue(permille);
    prgDownload_->setFormat(text);
    prgDownload_->show();
}

void FrmVK::ClearStatus() { lstStatus_->Clear(); }

void FrmVK::SetVersionLabel(const std::string& text) { lblVersion_->setText(FromBytes(text)); }

void FrmVK::ClearCommands() { lstCommands_->clear(); }

void FrmVK::AddCommand(const std::string& description) { lstCommands_->addItem(FromBytes(description)); }

long FrmVK::SelectedCommand() const { return lstCommands_->currentRow(); }

void FrmVK::ChoosePrinterClass(bool printerClass) {
    (printerClass ? optPrinterClass_ : optNative_)->setChecked(true);
}

bool FrmVK::PrinterClassChosen() const { return optPrinterClass_->isChecked(); }

void FrmVK::HideUsbFrame() { fraUsbPrinter_->hide(); }

void FrmVK::ShowLogo(const std::string& file, int height, int width) {
    QPixmap logo(QString::fromStdString(file));
    if (logo.isNull()) {
        DisplayVKLine("Cannot read the logo " + file);
        return;
    }
    if (height > 0 && width > 0) logo = logo.scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picLogo_->setPixmap(logo);
}

void FrmVK::EnableCommands(bool enable) {
    for (QPushButton* button : commandButtons_) button->setEnabled(enable);
}

void FrmVK::BoundExchange(int16_t port, long ms) {
    boundPort_ = port;
    if (ms <= 0) exchangeBound_.stop();
    else exchangeBound_.start(static_cast<int>(ms));
}

void FrmVK::closeEvent(QCloseEvent* event) { CloseProgramWindow(event, exit_); }

}  // namespace posbench::gui
