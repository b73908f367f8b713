// The main window's two ways into printer configuration: the configuration window and the
// command table editor.
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>

#include "app/PrntConfig.h"
#include "gui/FrmConfigIn.h"
#include "gui/FrmConfigMaint.h"
#include "gui/FrmMain.h"

namespace posbench::gui {

QWidget* FrmMain::BuildConfigButtons(QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    // The caption is the one users of the family's tools know, spelling included.
    auto* input = new QPushButton("Input Configuraton", box);
    input->setObjectName("btnPrntConfig");
    auto* maintenance = new QPushButton("Table Maintenance", box);
    maintenance->setObjectName("btnTableMaint");
    input->setToolTip("Read the configuration of the printer on the selected port and show, save or print it");
    maintenance->setToolTip("Edit the command table of the chosen sub-function");
    row->addWidget(input);
    row->addWidget(maintenance);
    connect(input, &QPushButton::clicked, this, [this] { btnPrntConfig("", ""); });
    connect(maintenance, &QPushButton::clicked, this, [this] { btnTableMaint_Click(); });
    return box;
}

void FrmMain::btnPrntConfig(const std::string& definitionFile, const std::string& dataFile) {
    const auto values = PrntConfigHandOver(logic_.SelectedPort(), catalogue_.SelectedPrinter(),
                                           definitionFile, dataFile);
    if (!values) return;
    if (!frmConfigIn_) frmConfigIn_ = std::make_unique<FrmConfigIn>(this);
    frmConfigIn_->Open(*values, frameGeometry().topLeft());
}

void FrmMain::btnTableMaint_Click() {
    const std::string table = gsCurrentConfigFile;
    FrmConfigMaint editor(table, this);
    editor.exec();
    lstCmds_->clear();
    catalogue_.DisplayConfigurationList(table);
}

}  // namespace posbench::gui
