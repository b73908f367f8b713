#include "gui/FrmConfigIn.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/FrmFileName.h"
#include "gui/StatusListWidget.h"

namespace posbench::gui {

FrmConfigIn::FrmConfigIn(QWidget* parent) : QWidget(parent, Qt::Window), logic_(*this) {
    setObjectName("frmConfigIn");
    setWindowTitle("Configuration");
    lstStatus_ = new StatusListWidget(this);
    lstStatus_->setObjectName("lstStatus");
    lstStatus_->setMinimumWidth(lstStatus_->fontMetrics().horizontalAdvance(QString(kConfigListWidth + 4, 'M')));

    auto* fraDisplay = new QGroupBox("Display and", this);
    fraDisplay->setObjectName("fraDisplay");
    chkSave_ = new QCheckBox("Save", fraDisplay);
    chkSave_->setObjectName("chkSave");
    chkPrint_ = new QCheckBox("Print", fraDisplay);
    chkPrint_->setObjectName("chkPrint");
    auto* checks = new QVBoxLayout(fraDisplay);
    checks->addWidget(chkSave_);
    checks->addWidget(chkPrint_);

    btnConfiguration_ = new QPushButton("Get Configuration", this);
    btnConfiguration_->setObjectName("btnConfiguration");
    btnConfiguration_->setDefault(true);
    auto* btnClear = new QPushButton("Clear", this);
    btnClear->setObjectName("btnClear");
    auto* btnExit = new QPushButton("Exit", this);
    btnExit->setObjectName("btnExit");

    auto* side = new QVBoxLayout;
    side->addWidget(fraDisplay);
    side->addWidget(btnConfiguration_);
    side->addWidget(btnClear);
    side->addStretch(1);
    side->addWidget(btnExit);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel("Current Configuration", this));
    left->addWidget(lstStatus_, 1);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(side);
    resize(640, 520);

    connect(btnConfiguration_, &QPushButton::clicked, this, [this] { logic_.btnConfiguration_Click(); });
    connect(btnClear, &QPushButton::clicked, this, [this] { lstStatus_->Clear(); });
    connect(btnExit, &QPushButton::clicked, this, [this] { close(); });
}

void FrmConfigIn::Open(const ConfigHandOver& values, const QPoint& at) {
    logic_.HandOver(values);
    move(at);
    show();
    raise();
    activateWindow();
    btnConfiguration_->setFocus();
}

void FrmConfigIn::AddLine(const std::string& line) { AddConfigListLine(*lstStatus_, line); }

void FrmConfigIn::ClearLines() { lstStatus_->Clear(); }

bool FrmConfigIn::SaveChecked() const { return chkSave_->isChecked(); }

bool FrmConfigIn::PrintChecked() const { return chkPrint_->isChecked(); }

bool FrmConfigIn::ChooseSaveFile(std::string& saveFile) {
    FrmFileName dialog(this);
    if (dialog.exec() != QDialog::Accepted) return false;
    saveFile = dialog.SaveFile();
    return true;
}

}  // namespace posbench::gui
