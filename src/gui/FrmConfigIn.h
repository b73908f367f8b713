#pragma once
// The configuration window (frmConfigIn, "Configuration"): the report in a fixed-pitch status
// list under "Current Configuration", the "Display and" frame with Save and Print, and the
// buttons Get Configuration, Clear and Exit. The logic is config/ConfigWindow's ConfigIn.
#include <QWidget>
#include <functional>
#include <string>

#include "config/ConfigWindow.h"

class QCheckBox;
class QPushButton;

namespace posbench::gui {

class StatusListWidget;

class FrmConfigIn : public QWidget, public IConfigView {
public:
    explicit FrmConfigIn(QWidget* parent = nullptr);

    // btnPrntConfig: the values handed over, the main window's top-left corner, shown.
    void Open(const ConfigHandOver& values, const QPoint& at);
    ConfigIn& Logic() { return logic_; }

    // IConfigView
    void AddLine(const std::string& line) override;
    void ClearLines() override;
    bool SaveChecked() const override;
    bool PrintChecked() const override;
    bool ChooseSaveFile(std::string& saveFile) override;

private:
    ConfigIn logic_;
    StatusListWidget* lstStatus_;
    QCheckBox* chkSave_;
    QCheckBox* chkPrint_;
    QPushButton* btnConfiguration_;
};

}  // namespace posbench::gui
