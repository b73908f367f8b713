#pragma once
// The file-name window (frmFileName, "File Selection"): where a configuration report is saved.
// Drive, folder and file lists (*.txt) and the name box; "Exit" accepts a valid name (an
// existing file only when "Replace existing file?" is answered Yes). Closing the window any
// other way rejects it: nothing is saved.
#include <QDialog>
#include <string>

#include "config/SaveFileName.h"

namespace posbench::gui {

class ScriptPanel;

class FrmFileName : public QDialog {
public:
    explicit FrmFileName(QWidget* parent = nullptr);
    // The chosen file, once the dialog was accepted.
    const std::string& SaveFile() const { return logic_.SaveFile(); }
    void SetNameText(const std::string& name);

private:
    SaveFileName logic_;
    ScriptPanel* lists_;
};

}  // namespace posbench::gui
