#include "gui/FrmMain.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTime>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

#include "app/DownloadGuard.h"
#include "app/Engine.h"
#include "app/PortListText.h"
#include "base/Display.h"
#include "base/Ini.h"
#include "base/StringOps.h"
#include "comm/CommGlobals.h"
#include "gui/FrmConfigIn.h"
#include "gui/FrmSetup.h"
#include "gui/FrmVK.h"
#include "gui/MainMenu.h"
#include "gui/PortMenu.h"
#include "gui/ProgramEnd.h"
#include "gui/QtImagingViews.h"
#include "gui/ReceiptDemoPanel.h"
#include "gui/ScriptPanel.h"
#include "gui/StatusListWidget.h"
#include "posbench/Version.h"

namespace posbench::gui {

namespace {

QPushButton* NewButton(const QString& name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

constexpr int kSubIconSize = 40;

}  // namespace

FrmMain::FrmMain(LinkRecovery& recovery)
    : logic_(*this, recovery), catalogue_(*this), recovery_(recovery), unload_(EndEventLoop) {
    setObjectName("frmMain");
    setWindowTitle("posbench");

    auto* top = new QHBoxLayout(this);
    QMenuBar* menu = BuildMainMenu(this, MainMenuActions{
        [this] { logic_.Send(); }, [this] { close(); }, [this] { btnSetup_Click(); },
        [this] { btnReset_->click(); }, [this] { logic_.btnCancel_Click(); }});
    AddTraceItem(menu->findChild<QMenu*>("mnuPort"), this);
    top->setMenuBar(menu);
    top->addWidget(BuildMenuPanel());

    auto* right = new QVBoxLayout;
    auto* upper = new QHBoxLayout;
    auto* panels = new QVBoxLayout;
    fraScript_ = new ScriptPanel(this);
    fraReceipt_ = new QGroupBox(this);
    fraReceipt_->setObjectName("fraReceipt");
    demo_ = new ReceiptDemoPanel(
        [this](const std::string& file) {
            fraScript_->SetFileName(file);
            logic_.Send();
        },
        fraReceipt_);
    auto* demoScroll = new QScrollArea(fraReceipt_);
    demoScroll->setWidget(demo_);
    (new QVBoxLayout(fraReceipt_))->addWidget(demoScroll);
    panels->addWidget(fraScript_);
    panels->addWidget(BuildCommandPanel());
    panels->addWidget(fraReceipt_);
    upper->addLayout(panels, 3);
    upper->addWidget(BuildPortColumn(), 2);
    right->addLayout(upper, 3);
    right->addWidget(BuildOutput(), 2);
    top->addLayout(right, 1);

    catalogue_.SetSendAction([this] { logic_.Send(); });
    fraScript_->onFolderChanged = [this](const std::string& folder) {
        catalogue_.SetCurrentFolder(folder);
    };
    fraScript_->onFileDoubleClicked = [this] { FocusSend(); };

    resize(980, 680);
    RegisterViews();
    FormLoad();
}

FrmMain::~FrmMain() {
    // The engine must not reach a window that is gone.
    DetachViews();
}

QWidget* FrmMain::BuildMenuPanel() {
    picPrntrs_ = new QFrame(this);
    picPrntrs_->setObjectName("PicPrntrs");
    picPrntrs_->setFrameShape(QFrame::StyledPanel);
    picPrntrs_->setFocusPolicy(Qt::StrongFocus);
    picPrntrs_->setFixedWidth(140);
    menuLayout_ = new QVBoxLayout(picPrntrs_);
    menuLayout_->setSpacing(2);
    SetPrinterButton(0, "");
    NewSubButton(0);
    return picPrntrs_;
}

QWidget* FrmMain::BuildCommandPanel() {
    fraCommands_ = new QGroupBox(this);
    fraCommands_->setObjectName("fraCommands");
    cboCommand_ = new QComboBox(fraCommands_);
    cboCommand_->setObjectName("cboCommand");
    cboCommand_->setEditable(true);
    cboCommand_->setInsertPolicy(QComboBox::NoInsert);  // Send keeps the history
    cboCommand_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    txtInCount_ = new QLineEdit(fraCommands_);
    txtInCount_->setObjectName("txtInCount");
    txtInCount_->setMaximumWidth(70);
    lstCmds_ = new QListWidget(fraCommands_);
    lstCmds_->setObjectName("lstCmds");

    auto* grid = new QGridLayout(fraCommands_);
    grid->addWidget(new QLabel("Command:", fraCommands_), 0, 0);
    grid->addWidget(new QLabel("Input count:", fraCommands_), 0, 1);
    grid->addWidget(cboCommand_, 1, 0);
    grid->addWidget(txtInCount_, 1, 1);
    grid->addWidget(lstCmds_, 2, 0, 1, 2);
    cboCommand_->setToolTip("Bytes to send as hex pairs or quoted text; Enter sends them");
    txtInCount_->setToolTip("How many reply bytes to wait for after the command (empty: none)");
    lstCmds_->setToolTip("The model's command table: click copies a command, double-click sends it");

    cboCommand_->installEventFilter(this);
    cboCommand_->lineEdit()->installEventFilter(this);
    connect(cboCommand_, &QComboBox::activated, this,
            [this](int index) { logic_.cboCommand_Chosen(index); });
    connect(lstCmds_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { catalogue_.lstCmds_Click(lstCmds_->row(item)); });
    connect(lstCmds_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { catalogue_.lstCmds_DblClick(lstCmds_->row(item)); });
    return fraCommands_;
}

QWidget* FrmMain::BuildPortColumn() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel("Ports (double-click: on/off):", column));
    lstPorts_ = new QListWidget(column);
    lstPorts_->setObjectName("lstPorts");
    layout->addWidget(lstPorts_, 1);

    btnSend_ = NewButton("btnSend", "Send", column);
    btnSend_->setDefault(true);
    btnCancel_ = NewButton("btnCancel", "Cancel", column);
    btnReset_ = NewButton("btnReset", "Reset Printer", column);
    btnPollDev_ = NewButton("btnPollDev", "Poll Device", column);
    auto* btnSetup = NewButton("btnSetup", "Setup", column);
    auto* btnTest = NewButton("btnTest", "Test", column);
    btnSend_->setToolTip("Send the chosen command or file to the selected port");
    btnCancel_->setToolTip("Stop every port now");
    btnReset_->setToolTip("Restart the printer on the selected port; the link reconnects by itself");
    btnSetup->setToolTip("Define ports, their speeds and addresses, and store them for the next start");
    btnTest->setToolTip("Open the VK printer utility for the selected port");
    lstPorts_->setToolTip("Port number, entry and live state; double-click switches a port on or off");
    auto* buttons = new QGridLayout;
    buttons->addWidget(btnSend_, 0, 0);
    buttons->addWidget(btnCancel_, 0, 1);
    buttons->addWidget(btnReset_, 1, 0);
    buttons->addWidget(btnPollDev_, 1, 1);
    buttons->addWidget(btnSetup, 2, 0);
    buttons->addWidget(btnTest, 2, 1);
    connect(btnSetup, &QPushButton::clicked, this, [this] { btnSetup_Click(); });
    connect(btnTest, &QPushButton::clicked, this, [this] { ShowVK(false); });
    layout->addLayout(buttons);
    layout->addWidget(BuildConfigButtons(column));

    prgDownload_ = new QProgressBar(column);
    prgDownload_->setObjectName("prgDownload");
    prgDownload_->setRange(0, 1000);
    prgDownload_->hide();
    layout->addWidget(prgDownload_);

    connect(lstPorts_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { logic_.lstPorts_DblClick(); });
    connect(btnSend_, &QPushButton::clicked, this, [this] { logic_.Send(); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { logic_.btnCancel_Click(); });
    connect(btnReset_, &QPushButton::clicked, this, [this] {
        if (ConfirmStopDownload("reset the printer")) logic_.btnReset_Click();
    });
    connect(btnPollDev_, &QPushButton::clicked, this, [this] { logic_.btnPollDev_Click(); });
    return column;
}

QWidget* FrmMain::BuildOutput() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);

    lstStatus_ = new StatusListWidget(box);
    lstStatus_->setObjectName("lstStatus");
    auto* btnClearStatus = NewButton("btnClearStatus", "Clear Status", box);
    txtResponse_ = new QPlainTextEdit(box);
    txtResponse_->setObjectName("txtResponse");
    txtResponse_->setReadOnly(true);
    auto* btnClearResponse = NewButton("btnClearResponse", "Clear", box);

    lblInput_ = new QLabel("Input:", box);
    lblInput_->setObjectName("lblInput");
    txtInput_ = new QLineEdit(box);
    txtInput_->setObjectName("txtInput");
    btnClearInput_ = NewButton("btnClearInput", "Clear", box);
    btnSendCmd_ = NewButton("btnSendCmd", "Send", box);

    image1_ = new QLabel(box);
    image1_->setObjectName("Image1");
    image1_->hide();

    btnExit_ = NewButton("btnExit", "Exit", box);
    lblTimeIs_ = new QLabel(box);
    lblTimeIs_->setObjectName("lblTimeIs");
    lblVersion_ = new QLabel(box);
    lblVersion_->setObjectName("lblVersion");

    grid->addWidget(new QLabel("Status:", box), 0, 0);
    grid->addWidget(btnClearStatus, 0, 1, Qt::AlignRight);
    grid->addWidget(new QLabel("Response:", box), 0, 2);
    grid->addWidget(btnClearResponse, 0, 3, Qt::AlignRight);
    grid->addWidget(lstStatus_, 1, 0, 1, 2);
    grid->addWidget(txtResponse_, 1, 2, 1, 2);
    grid->addWidget(lblInput_, 2, 0);
    grid->addWidget(txtInput_, 2, 1, 1, 2);
    auto* inputButtons = new QHBoxLayout;
    inputButtons->addWidget(btnClearInput_);
    inputButtons->addWidget(btnSendCmd_);
    grid->addLayout(inputButtons, 2, 3);
    auto* footer = new QHBoxLayout;
    footer->addWidget(image1_);
    footer->addWidget(lblTimeIs_);
    footer->addStretch(1);
    footer->addWidget(lblVersion_);
    footer->addWidget(btnExit_);
    grid->addLayout(footer, 3, 0, 1, 4);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(2, 2);
    lstStatus_->setToolTip("What each port did, newest last");
    txtResponse_->setToolTip("The printer's replies");
    image1_->setToolTip("The last check image; double-click opens it full size");
    btnExit_->setToolTip("Close posbench");

    connect(btnClearStatus, &QPushButton::clicked, this, [this] { logic_.btnClearStatus_Click(); });
    connect(btnClearResponse, &QPushButton::clicked, this,
            [this] { logic_.btnClearResponse_Click(); });
    connect(btnClearInput_, &QPushButton::clicked, this, [this] { logic_.btnClearInput_Click(); });
    connect(btnSendCmd_, &QPushButton::clicked, this, [this] { logic_.btnSendCmd_Click(); });
    connect(btnExit_, &QPushButton::clicked, this, [this] { close(); });
    return box;
}

void FrmMain::RegisterViews() {
    imaging_ = std::make_unique<QtImagingViews>(image1_, [this] { return logic_.SelectedPort(); });
    AttachViews({lstStatus_, this, this, &logic_, &logic_, imaging_.get()});
    logic_.SetIniHandler([this](const std::string& file) { catalogue_.CommonINI(file); });
    SetDemoLoader([this](const std::string& file) { demo_->Logic().Load(file); });
    SetConfigOpener([this](const std::string& definitionFile, const std::string& dataFile) {
        btnPrntConfig(definitionFile, dataFile);
    });
}

void FrmMain::FormLoad() {
    catalogue_.LoadPrinters("\\SUPrinters.ini");
    fraScript_->hide();
    fraCommands_->show();
    fraReceipt_->hide();
    catalogue_.ProcessMain(0);
    logic_.UpdatePortDisp();
    if (lstPorts_->count() > 0) lstPorts_->setCurrentRow(0);
    fraScript_->SetDriveOf(gsProgramDir);
    // The direct input and Poll Device stay out of sight for the life of the window.
    lblInput_->hide();
    txtInput_->hide();
    btnClearInput_->hide();
    btnSendCmd_->hide();
    btnPollDev_->hide();
    lblVersion_->setText("Version  " POSBENCH_VERSION);
    UpdateClock();
}

void FrmMain::FormActivate() {
    gbVKDisplay = false;
    const std::string vk = GetPrivateProfileString("VKTYPE", "VK", "NONE", gsProgramDir + "/SUPrinters.ini");
    if (UCase(vk) == "VKLOAD") {
        ShowVK(true);
    } else if (!gsCommandLineFile.empty() && !fileNoteShown_) {
        fileNoteShown_ = true;
        Display("The file " + gsCommandLineFile + " is sent at start only by the VK printer utility");
    }
}

void FrmMain::ShowVK(bool takeOver) {
    if (!vk_) {
        vk_ = std::make_unique<FrmVK>(*this);
        SetVKDisplay(vk_.get());
    }
    if (takeOver) {
        vk_->SetExitAction(unload_);
    } else {
        // "Test": Exit in the utility brings the main window back instead of ending the program.
        vk_->SetExitAction([this] { Raise(); });
    }
    if (pos().x() > -20000) shownAt_ = pos();
    move(-20000, pos().y());
    vk_->show();
    vk_->raise();
    vk_->activateWindow();
    if (takeOver) gbVKDisplay = true;
}

void FrmMain::Raise() {
    if (vk_ && vk_->isVisible()) {
        vk_->raise();
        vk_->activateWindow();
        return;
    }
    if (pos().x() <= -20000) move(shownAt_);
    showNormal();
    raise();
    activateWindow();
}

void FrmMain::btnSetup_Click() {
    {
        FrmSetup setup(&recovery_, this);
        setup.exec();
    }
    logic_.UpdatePortDisp();
    if (lstPorts_->currentRow() < 0 && lstPorts_->count() > 0) lstPorts_->setCurrentRow(0);
}

void FrmMain::SendFile(const std::string& fileName) {
    fraCommands_->hide();
    fraScript_->SetFileName(fileName);
    logic_.AccessToSendCmd();
}

void FrmMain::SendCommand(const std::string& command, const std::string& inputCount) {
    fraScript_->hide();
    fraReceipt_->hide();
    fraCommands_->show();
    SetCommand(command, inputCount);
    logic_.AccessToSendCmd();
}

void FrmMain::UpdateClock() {
    lblTimeIs_->setText(QTime::currentTime().toString(Qt::TextDate));
    for (int row = 0; row < lstPorts_->count(); ++row) {
        QListWidgetItem* item = lstPorts_->item(row);
        const auto port = static_cast<int16_t>(row + 1);
        const std::string entry = ToBytes(item->data(Qt::UserRole).toString());
        const QString text = FromBytes(PortListLine(port, entry, PortLiveState(port, &recovery_)));
        if (item->text() != text) item->setText(text);
    }
}

void FrmMain::closeEvent(QCloseEvent* event) { CloseProgramWindow(event, unload_); }

void FrmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
    QWidget::changeEvent(event);
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cboCommand_ || watched == cboCommand_->lineEdit()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                logic_.Send();
                return true;
            }
        }
        if (type == QEvent::FocusIn || type == QEvent::MouseButtonPress ||
            type == QEvent::MouseButtonDblClick)
            logic_.cboCommand_Chosen(-1);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- IMainWindowView ----

long FrmMain::PortListIndex() const { return lstPorts_->currentRow(); }

void FrmMain::SetPortListIndex(long index) {
    lstPorts_->setCurrentRow(index >= 0 && index < lstPorts_->count() ? static_cast<int>(index) : -1);
}

long FrmMain::PortListCount() const { return lstPorts_->count(); }

// The list shows the port number and live state beside the entry; the entry itself rides along.
std::string FrmMain::PortListItem(long index) const {
    if (index < 0 || index >= lstPorts_->count()) return "";
    return ToBytes(lstPorts_->item(static_cast<int>(index))->data(Qt::UserRole).toString());
}

void FrmMain::ClearPortList() { lstPorts_->clear(); }

void FrmMain::AddPortListItem(const std::string& text) {
    const auto port = static_cast<int16_t>(lstPorts_->count() + 1);
    auto* item = new QListWidgetItem(FromBytes(PortListLine(port, text, PortLiveState(port, &recovery_))));
    item->setData(Qt::UserRole, FromBytes(text));
    item->setToolTip(FromBytes("Port " + std::to_string(port) + " uses " + PortDevicePath(text)));
    lstPorts_->addItem(item);
}

bool FrmMain::ScriptPanelShown() const { return !fraScript_->isHidden(); }

bool FrmMain::CommandPanelShown() const { return !fraCommands_->isHidden(); }

std::string FrmMain::FileName() const { return fraScript_->FileName(); }

std::string FrmMain::CommandText() const { return ToBytes(cboCommand_->currentText()); }

long FrmMain::CommandItemCount() const { return cboCommand_->count(); }

std::string FrmMain::CommandItem(long index) const {
    if (index < 0 || index >= cboCommand_->count()) return "";
    return ToBytes(cboCommand_->itemText(static_cast<int>(index)));
}

void FrmMain::AddCommandItem(const std::string& text) {
    const QString current = cboCommand_->currentText();
    cboCommand_->addItem(FromBytes(text));
    cboCommand_->setEditText(current);  // adding an item must not change what the box shows
}

std::string FrmMain::InCountText() const { return ToBytes(txtInCount_->text()); }

void FrmMain::SetInCountText(const std::string& text) { txtInCount_->setText(FromBytes(text)); }

std::string FrmMain::InputText() const { return ToBytes(txtInput_->text()); }

void FrmMain::SetInputText(const std::string& text) { txtInput_->setText(FromBytes(text)); }

void FrmMain::SetResponseText(const std::string& text) { SetText(text); }

void FrmMain::HideThumbnail() { image1_->hide(); }

// ---- IResponseBox ----

void FrmMain::SetText(const std::string& text) {
    txtResponse_->setPlainText(FromBytes(text));
    txtResponse_->verticalScrollBar()->setValue(txtResponse_->verticalScrollBar()->maximum());
}

std::string FrmMain::Text() const { return ToBytes(txtResponse_->toPlainText()); }

// ---- ICatalogueView ----

void FrmMain::ClearMenu() {
    for (std::size_t i = 1; i < btnMain_.size(); ++i) delete btnMain_[i];
    btnMain_.resize(1);
    for (std::size_t i = 1; i < btnSub_.size(); ++i) {
        delete btnSub_[i];
        delete lblSub_[i];
    }
    btnSub_.resize(1);
    lblSub_.resize(1);
    btnSub_[0]->hide();
    lblSub_[0]->hide();
}

void FrmMain::SetPrinterButton(int16_t index, const std::string& caption) {
    if (index < 0) return;
    while (btnMain_.size() <= static_cast<std::size_t>(index)) {
        const int16_t n = static_cast<int16_t>(btnMain_.size());
        QPushButton* button = NewButton(QString("btnMain%1").arg(n), "", picPrntrs_);
        connect(button, &QPushButton::clicked, this, [this, n] {
            catalogue_.ProcessMain(n);
            picPrntrs_->setFocus();
        });
        menuLayout_->addWidget(button);
        btnMain_.push_back(button);
    }
    btnMain_[static_cast<std::size_t>(index)]->setText(Utf8(caption));
    btnMain_[static_cast<std::size_t>(index)]->show();
}

QToolButton* FrmMain::NewSubButton(int16_t index) {
    auto* button = new QToolButton(picPrntrs_);
    button->setObjectName(QString("btnSub%1").arg(index));
    button->setIconSize(QSize(kSubIconSize, kSubIconSize));
    button->setAutoRaise(false);
    button->hide();
    auto* label = new QLabel(picPrntrs_);
    label->setObjectName(QString("lblSub%1").arg(index));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->hide();
    connect(button, &QToolButton::clicked, this, [this, index] { catalogue_.ProcessSubFcn(index); });
    btnSub_.push_back(button);
    lblSub_.push_back(label);
    return button;
}

void FrmMain::SetSubFunction(int16_t index, const std::string& label, const std::string& picture) {
    if (index < 0) return;
    while (btnSub_.size() <= static_cast<std::size_t>(index))
        NewSubButton(static_cast<int16_t>(btnSub_.size()));
    const auto i = static_cast<std::size_t>(index);
    btnSub_[i]->setIcon(QIcon(Utf8(picture)));
    btnSub_[i]->setToolTip(Utf8(label));
    btnSub_[i]->hide();
    lblSub_[i]->setText(Utf8(label));
    lblSub_[i]->hide();
}

void FrmMain::ShowMenu(int16_t printers, int16_t open, int16_t firstSub, int16_t subCount) {
    while (QLayoutItem* item = menuLayout_->takeAt(0)) delete item;  // the widgets stay
    for (QToolButton* button : btnSub_) button->hide();
    for (QLabel* label : lblSub_) label->hide();
    const auto buttons = std::min<std::size_t>(static_cast<std::size_t>(std::max<int16_t>(printers, 0)),
                                               btnMain_.size());
    for (std::size_t i = 0; i < buttons && i <= static_cast<std::size_t>(open); ++i)
        menuLayout_->addWidget(btnMain_[i]);
    menuLayout_->addSpacing(6);
    for (int16_t s = firstSub; s < firstSub + subCount; ++s) {
        if (s < 0 || static_cast<std::size_t>(s) >= btnSub_.size()) break;
        const auto i = static_cast<std::size_t>(s);
        menuLayout_->addWidget(btnSub_[i], 0, Qt::AlignHCenter);
        menuLayout_->addWidget(lblSub_[i], 0, Qt::AlignHCenter);
        btnSub_[i]->show();
        lblSub_[i]->show();
    }
    menuLayout_->addStretch(1);
    for (std::size_t i = static_cast<std::size_t>(open) + 1; i < buttons; ++i)
        menuLayout_->addWidget(btnMain_[i]);
    for (std::size_t i = 0; i < btnMain_.size(); ++i) btnMain_[i]->setVisible(i < buttons);
}

void FrmMain::HidePanels() {
    fraScript_->hide();
    fraCommands_->hide();
    fraReceipt_->hide();
    fraScript_->SetFileName("");
}

void FrmMain::ShowPanel(Panel panel, const std::string& caption) {
    QGroupBox* box = panel == Panel::Script    ? static_cast<QGroupBox*>(fraScript_)
                     : panel == Panel::Command ? fraCommands_
                                               : fraReceipt_;
    box->setTitle(Utf8(caption));
    box->show();
}

void FrmMain::ShowFolder(const std::string& folder) { fraScript_->ShowFolder(folder); }

void FrmMain::SetFilePattern(const std::string& pattern) { fraScript_->SetPattern(pattern); }

void FrmMain::ClearCommands() { lstCmds_->clear(); }

void FrmMain::AddCommand(const std::string& description) { lstCmds_->addItem(Utf8(description)); }

void FrmMain::SetCommand(const std::string& command, const std::string& inputCount) {
    cboCommand_->setEditText(FromBytes(command));
    txtInCount_->setText(FromBytes(inputCount));
}

void FrmMain::FocusSend() { btnSend_->setFocus(); }

// ---- IProgress ----

void FrmMain::DownloadProgress(int16_t port, const std::string& what, int64_t bytesDone,
                               int64_t bytesTotal, int64_t blocksDone, int64_t blocksTotal) {
    int64_t permille = 0;
    if (bytesTotal > 0) permille = bytesDone * 1000 / bytesTotal;
    else if (blocksTotal > 0) permille = blocksDone * 1000 / blocksTotal;
    permille = std::clamp<int64_t>(permille, 0, 1000);
    prgDownload_->setValue(static_cast<int>(permille));
    prgDownload_->setFormat(QString("Port %1 %2: %p%").arg(port).arg(Utf8(what)));
    prgDownload_->show();
    progressPort_ = port;
    if (vk_) vk_->ShowProgress(static_cast<int>(permille), prgDownload_->format());
}

// The bar follows the port that reported last; another port's end leaves it alone.
void FrmMain::DownloadEnded(int16_t port, bool) {
    if (port != progressPort_) return;
    prgDownload_->hide();
    progressPort_ = 0;
    if (vk_) vk_->ShowProgress(-1, {});
}

}  // namespace posbench::gui
