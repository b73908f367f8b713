#pragma once
// The command table editor (frmConfigMaint, "Configuration Commands Maintenance"): the command
// list, the status list, the edit frame (Description, Command, Input) and the buttons Add at
// end, Insert in front of, Replace current, Delete current, Clear and OK. The logic is
// config/CommandTable's ConfigMaint.
#include <QDialog>
#include <string>

#include "config/CommandTable.h"

class QLineEdit;
class QListWidget;

namespace posbench::gui {

class FrmConfigMaint : public QDialog, public ICommandTableView {
public:
    // Loads the table at once.
    explicit FrmConfigMaint(const std::string& tableFile, QWidget* parent = nullptr);

    void ClearCommands() override;
    void AddCommand(const std::string& description) override;
    void SelectCommand(long index) override;
    long SelectedCommand() const override;
    std::string Description() const override;
    std::string Command() const override;
    std::string Input() const override;
    void SetFields(const std::string& description, const std::string& command,
                   const std::string& input) override;
    void AddStatus(const std::string& line) override;

private:
    ConfigMaint logic_;
    QListWidget* lstCommands_;
    QListWidget* lstStatus_;
    QLineEdit* txtDescription_;
    QLineEdit* txtCommand_;
    QLineEdit* txtInput_;
};

}  // namespace posbench::gui
