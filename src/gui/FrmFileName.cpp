#include "gui/FrmFileName.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "comm/CommGlobals.h"
#include "gui/ScriptPanel.h"

namespace posbench::gui {

FrmFileName::FrmFileName(QWidget* parent) : QDialog(parent) {
    setObjectName("frmFileName");
    setWindowTitle("File Selection");
    setModal(true);
    lists_ = new ScriptPanel(this);
    lists_->setObjectName("fraFileName");
    lists_->FileBox()->setObjectName("txtFileName");
    lists_->SetPattern("*.txt");
    lists_->SetDriveOf(gsProgramDir);
    lists_->ShowFolder(gsProgramDir);
    lists_->onFolderChanged = [this](const std::string& folder) { lists_->SetFileName(folder); };
    auto* btnExit = new QPushButton("Exit", this);
    btnExit->setObjectName("btnExit");
    btnExit->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("FileName Selection/Entry:", this));
    layout->addWidget(lists_);
    layout->addWidget(btnExit, 0, Qt::AlignRight);
    resize(560, 380);

    connect(btnExit, &QPushButton::clicked, this, [this] {
        if (logic_.btnExit_Click(lists_->FileName())) accept();
    });
}

void FrmFileName::SetNameText(const std::string& name) { lists_->SetFileName(name); }

}  // namespace posbench::gui
