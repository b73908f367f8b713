#pragma once
// The script panel (fraScript): drive list, folder list, file list filtered by the chosen
// sub-function's pattern, and the file-name box that Send reads.
#include <QGroupBox>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace posbench::gui {

class ScriptPanel : public QGroupBox {
public:
    explicit ScriptPanel(QWidget* parent = nullptr);

    // The three lists moved to a folder (native path) without telling anyone.
    void ShowFolder(const std::string& folder);
    void SetPattern(const std::string& pattern);
    // The drive list alone set to the drive that holds folder.
    void SetDriveOf(const std::string& folder);
    const std::string& Folder() const { return folder_; }

    std::string FileName() const;
    void SetFileName(const std::string& name);
    QLineEdit* FileBox() const { return txtFile_; }

    // The user moved in the drive or folder list.
    std::function<void(const std::string& folder)> onFolderChanged;
    // The user double-clicked a file.
    std::function<void()> onFileDoubleClicked;

private:
    void FillDrives();
    void FillLists();
    void UserMovedTo(const std::string& folder);
    void FileClicked(QListWidgetItem* item);

    QComboBox* drvSelect_;
    QListWidget* dirSelect_;
    QListWidget* filSelect_;
    QLineEdit* txtFile_;
    std::vector<std::string> drives_;
    std::string folder_;
    std::string pattern_ = "*.txt";
    bool filling_ = false;
};

}  // namespace posbench::gui
