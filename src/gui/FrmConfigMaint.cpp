#include "gui/FrmConfigMaint.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "gui/StatusListWidget.h"

namespace posbench::gui {

namespace {
QPushButton* Button(const char* name, const char* text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}
}  // namespace

FrmConfigMaint::FrmConfigMaint(const std::string& tableFile, QWidget* parent)
    : QDialog(parent), logic_(*this) {
    setObjectName("frmConfigMaint");
    setWindowTitle("Configuration Commands Maintenance");
    setModal(true);
    lstCommands_ = new QListWidget(this);
    lstCommands_->setObjectName("lstCommands");
    lstStatus_ = new QListWidget(this);
    lstStatus_->setObjectName("lstStatus");

    auto* fraEdit = new QGroupBox("Edit", this);
    txtDescription_ = new QLineEdit(fraEdit);
    txtDescription_->setObjectName("txtDescription");
    txtCommand_ = new QLineEdit(fraEdit);
    txtCommand_->setObjectName("txtCommand");
    txtInput_ = new QLineEdit(fraEdit);
    txtInput_->setObjectName("txtInput");
    auto* form = new QFormLayout(fraEdit);
    form->addRow("Description:", txtDescription_);
    form->addRow("Command:", txtCommand_);
    form->addRow("Input:", txtInput_);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Commands", this), 0, 0);
    grid->addWidget(lstCommands_, 1, 0, 3, 1);
    grid->addWidget(fraEdit, 1, 1, 1, 2);
    const struct {
        const char* name;
        const char* text;
        void (ConfigMaint::*action)();
    } buttons[] = {{"btnAppend", "Add at end", &ConfigMaint::AppendKey},
                   {"btnInsert", "Insert in front of", &ConfigMaint::InsertKey},
                   {"btnReplace", "Replace current", &ConfigMaint::ReplaceKey},
                   {"btnDelete", "Delete current", &ConfigMaint::DeleteKey},
                   {"btnClear", "Clear", &ConfigMaint::btnClear_Click}};
    auto* row = new QGridLayout;
    int i = 0;
    for (const auto& b : buttons) {
        QPushButton* button = Button(b.name, b.text, this);
        connect(button, &QPushButton::clicked, this, [this, action = b.action] { (logic_.*action)(); });
        row->addWidget(button, i / 3, i % 3);
        ++i;
    }
    QPushButton* ok = Button("btnOK", "OK", this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(ok, i / 3, i % 3);
    grid->addLayout(row, 2, 1, 1, 2);
    grid->addWidget(new QLabel("Status", this), 4, 0);
    grid->addWidget(lstStatus_, 5, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    resize(760, 520);

    connect(lstCommands_, &QListWidget::currentRowChanged, this,
            [this](int index) { logic_.lstCommands_Click(index); });
    logic_.DisplayList(tableFile);
}

void FrmConfigMaint::ClearCommands() { lstCommands_->clear(); }

void FrmConfigMaint::AddCommand(const std::string& description) {
    lstCommands_->addItem(FromBytes(description));
}

void FrmConfigMaint::SelectCommand(long index) {
    lstCommands_->setCurrentRow(index >= 0 && index < lstCommands_->count() ? static_cast<int>(index) : -1);
}

long FrmConfigMaint::SelectedCommand() const { return lstCommands_->currentRow(); }

std::string FrmConfigMaint::Description() const { return ToBytes(txtDescription_->text()); }

std::string FrmConfigMaint::Command() const { return ToBytes(txtCommand_->text()); }

std::string FrmConfigMaint::Input() const { return ToBytes(txtInput_->text()); }

void FrmConfigMaint::SetFields(const std::string& description, const std::string& command,
                               const std::string& input) {
    txtDescription_->setText(FromBytes(description));
    txtCommand_->setText(FromBytes(command));
    txtInput_->setText(FromBytes(input));
}

void FrmConfigMaint::AddStatus(const std::string& line) {
    lstStatus_->addItem(FromBytes(line));
    lstStatus_->scrollToBottom();
}

}  // namespace posbench::gui
