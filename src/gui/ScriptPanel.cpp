#include "gui/ScriptPanel.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>

#include "app/Drives.h"
#include "base/Display.h"

namespace posbench::gui {

namespace {
constexpr int kPathRole = Qt::UserRole;

QString Native(const std::string& path) { return QString::fromStdString(path); }
}  // namespace

ScriptPanel::ScriptPanel(QWidget* parent) : QGroupBox(parent) {
    setObjectName("fraScript");
    drvSelect_ = new QComboBox(this);
    drvSelect_->setObjectName("drvSelect");
    dirSelect_ = new QListWidget(this);
    dirSelect_->setObjectName("DirSelect");
    filSelect_ = new QListWidget(this);
    filSelect_->setObjectName("filSelect");
    txtFile_ = new QLineEdit(this);
    txtFile_->setObjectName("txtFile");
    drvSelect_->setToolTip("Where to start looking: the root, your home folder or a mounted volume");
    dirSelect_->setToolTip("Folders; double-click (or Enter) opens one");
    filSelect_->setToolTip("Files of the chosen type; click picks one for Send");
    txtFile_->setToolTip("The file Send will send; a name may be typed in");

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Drive:", this), 0, 0);
    grid->addWidget(drvSelect_, 0, 1);
    grid->addWidget(new QLabel("Folders:", this), 1, 0, 1, 2);
    grid->addWidget(dirSelect_, 2, 0, 1, 2);
    grid->addWidget(new QLabel("Files:", this), 0, 2);
    grid->addWidget(filSelect_, 1, 2, 2, 1);
    grid->addWidget(new QLabel("File:", this), 3, 0);
    grid->addWidget(txtFile_, 3, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    FillDrives();

    connect(drvSelect_, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && static_cast<std::size_t>(index) < drives_.size())
            UserMovedTo(drives_[static_cast<std::size_t>(index)]);
    });
    connect(dirSelect_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item) UserMovedTo(item->data(kPathRole).toString().toStdString());
    });
    connect(filSelect_, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* item, QListWidgetItem*) { FileClicked(item); });
    connect(filSelect_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { FileClicked(item); });
    connect(filSelect_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) {
        if (onFileDoubleClicked) onFileDoubleClicked();
    });
}

void ScriptPanel::FillDrives() {
    const QSignalBlocker block(drvSelect_);
    drives_ = DriveRoots();
    drvSelect_->clear();
    for (const std::string& drive : drives_) drvSelect_->addItem(Native(drive));
}

void ScriptPanel::SetDriveOf(const std::string& folder) {
    std::string drive = DriveOf(folder, drives_);
    auto it = std::find(drives_.begin(), drives_.end(), drive);
    if (it == drives_.end()) {  // media mounted since the list was made
        FillDrives();
        drive = DriveOf(folder, drives_);
        it = std::find(drives_.begin(), drives_.end(), drive);
    }
    const QSignalBlocker block(drvSelect_);
    if (it != drives_.end()) drvSelect_->setCurrentIndex(static_cast<int>(it - drives_.begin()));
}

void ScriptPanel::ShowFolder(const std::string& folder) {
    folder_ = folder;
    SetDriveOf(folder);
    FillLists();
}

void ScriptPanel::SetPattern(const std::string& pattern) {
    pattern_ = pattern;
    FillLists();
}

void ScriptPanel::FillLists() {
    filling_ = true;
    dirSelect_->clear();
    filSelect_->clear();
    if (!folder_.empty()) {
        const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
        const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
        const FolderListing listing = ListFolder(folder_);
        int depth = 0;
        for (const std::string& path : listing.ancestors) {
            const QString name = path == "/" ? QString("/") : QDir(Native(path)).dirName();
            auto* item = new QListWidgetItem(openIcon, QString(depth * 2, ' ') + name, dirSelect_);
            item->setData(kPathRole, Native(path));
            ++depth;
        }
        if (dirSelect_->count() > 0) dirSelect_->setCurrentRow(dirSelect_->count() - 1);
        for (const std::string& path : listing.children) {
            auto* item = new QListWidgetItem(folderIcon,
                                             QString(depth * 2, ' ') + QDir(Native(path)).dirName(),
                                             dirSelect_);
            item->setData(kPathRole, Native(path));
        }
        for (const std::string& name : ListFiles(folder_, pattern_))
            filSelect_->addItem(Native(name));
    }
    filling_ = false;
}

void ScriptPanel::UserMovedTo(const std::string& folder) {
    ShowFolder(folder);
    if (onFolderChanged) onFolderChanged(folder);
}

void ScriptPanel::FileClicked(QListWidgetItem* item) {
    if (filling_ || !item) return;
    const std::string name = item->text().toStdString();
    if (name.empty()) {
        Display("Invalid File Selection");
        return;
    }
    txtFile_->setText(Native(JoinFileSelection(folder_, name)));
}

std::string ScriptPanel::FileName() const { return txtFile_->text().toStdString(); }

void ScriptPanel::SetFileName(const std::string& name) { txtFile_->setText(Native(name)); }

}  // namespace posbench::gui
