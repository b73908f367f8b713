#pragma once
// The main window (frmMain): the printer menu on the left, the script, command and receipt
// panels, the port list, the status list and the response box. The widgets only bind the
// window logic of app/ (MainWindow: the send dispatcher and the port list; Catalogue: the
// menu and the command lists); they hold no engine state and own no device.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Catalogue.h"
#include "app/MainWindowView.h"
#include "app/MainWindow.h"
#include "app/VKUtility.h"
#include "base/Views.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace posbench {
class LinkRecovery;
}

namespace posbench::gui {

class FrmConfigIn;
class FrmVK;
class ReceiptDemoPanel;
class QtImagingViews;
class ScriptPanel;
class StatusListWidget;

class FrmMain : public QWidget,
                public IMainWindowView,
                public ICatalogueView,
                public IResponseBox,
                public IProgress,
                public IVKHost {
public:
    // Registers the window's views with the engine and runs the window's start-up
    // (catalogue, port list, startup configuration).
    explicit FrmMain(LinkRecovery& recovery);
    ~FrmMain() override;

    MainWindow& Logic() { return logic_; }
    Catalogue& Menu() { return catalogue_; }

    // The 500 ms tick: the clock label and the ports' live states.
    void UpdateClock();

    // "Setup": the port setup window, modal; the port list is refilled when it closes.
    void btnSetup_Click();
    // The VK utility window takes over (VKLOAD, status lines go there) or, for "Test", is shown
    // beside a main window that its Exit brings back.
    void ShowVK(bool takeOver);
    FrmVK* VKForm() const { return vk_.get(); }
    ReceiptDemoPanel* DemoPanel() const { return demo_; }
    // Back on screen and in front (a second copy of the program asked for it).
    void Raise();
    // The configuration window opened with the selected port and printer ("Input Configuraton"
    // with no files; an NVRAM or NVRDIR INI file sent from the script panel with its files).
    void btnPrntConfig(const std::string& definitionFile, const std::string& dataFile);
    // "Table Maintenance": the command table editor, then the command list read again.
    void btnTableMaint_Click();

    // What closing the window does. By default the event loop ends with status 0, and the
    // program's end closes the ports (Engine::Shutdown); tests replace it.
    void SetUnloadAction(std::function<void()> action) { unload_ = std::move(action); }

    // IMainWindowView
    long PortListIndex() const override;
    void SetPortListIndex(long index) override;
    long PortListCount() const override;
    std::string PortListItem(long index) const override;
    void ClearPortList() override;
    void AddPortListItem(const std::string& text) override;
    bool ScriptPanelShown() const override;
    bool CommandPanelShown() const override;
    std::string FileName() const override;
    std::string CommandText() const override;
    long CommandItemCount() const override;
    std::string CommandItem(long index) const override;
    void AddCommandItem(const std::string& text) override;
    std::string InCountText() const override;
    void SetInCountText(const std::string& text) override;
    std::string InputText() const override;
    void SetInputText(const std::string& text) override;
    void SetResponseText(const std::string& text) override;
    void HideThumbnail() override;

    // ICatalogueView
    void ClearMenu() override;
    void SetPrinterButton(int16_t index, const std::string& caption) override;
    void SetSubFunction(int16_t index, const std::string& label, const std::string& picture) override;
    void ShowMenu(int16_t printers, int16_t open, int16_t firstSub, int16_t subCount) override;
    void HidePanels() override;
    void ShowPanel(Panel panel, const std::string& caption) override;
    void ShowFolder(const std::string& folder) override;
    void SetFilePattern(const std::string& pattern) override;
    void ClearCommands() override;
    void AddCommand(const std::string& description) override;
    void SetCommand(const std::string& command, const std::string& inputCount) override;
    void FocusSend() override;

    // IResponseBox (the engine's received text)
    void SetText(const std::string& text) override;
    std::string Text() const override;

    // IProgress
    void DownloadProgress(int16_t port, const std::string& what, int64_t bytesDone,
                          int64_t bytesTotal, int64_t blocksDone, int64_t blocksTotal) override;
    void DownloadEnded(int16_t port, bool ok) override;

    // IVKHost
    int16_t SelectedPort() const override { return logic_.SelectedPort(); }
    void SendFile(const std::string& fileName) override;
    void SendCommand(const std::string& command, const std::string& inputCount) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildMenuPanel();
    QWidget* BuildCommandPanel();
    QWidget* BuildPortColumn();
    QWidget* BuildOutput();
    void RegisterViews();
    void FormLoad();
    void FormActivate();
    QToolButton* NewSubButton(int16_t index);
    QWidget* BuildConfigButtons(QWidget* parent);  // FrmMainConfig.cpp

    MainWindow logic_;
    Catalogue catalogue_;
    LinkRecovery& recovery_;
    std::unique_ptr<FrmVK> vk_;
    ReceiptDemoPanel* demo_ = nullptr;
    QPoint shownAt_;  // where the window stood before the VK window moved it off screen
    std::function<void()> unload_;
    bool fileNoteShown_ = false;
    int16_t progressPort_ = 0;  // the port whose download the bar shows

    QFrame* picPrntrs_ = nullptr;
    QVBoxLayout* menuLayout_ = nullptr;
    std::vector<QPushButton*> btnMain_;
    std::vector<QToolButton*> btnSub_;
    std::vector<QLabel*> lblSub_;

    ScriptPanel* fraScript_ = nullptr;
    QGroupBox* fraCommands_ = nullptr;
    QGroupBox* fraReceipt_ = nullptr;
    QComboBox* cboCommand_ = nullptr;
    QLineEdit* txtInCount_ = nullptr;
    QListWidget* lstCmds_ = nullptr;

    QListWidget* lstPorts_ = nullptr;
    QPushButton* btnSend_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QPushButton* btnReset_ = nullptr;
    QPushButton* btnPollDev_ = nullptr;
    QPushButton* btnExit_ = nullptr;
    QProgressBar* prgDownload_ = nullptr;

    StatusListWidget* lstStatus_ = nullptr;
    QPlainTextEdit* txtResponse_ = nullptr;
    QLabel* lblInput_ = nullptr;
    QLineEdit* txtInput_ = nullptr;
    QPushButton* btnClearInput_ = nullptr;
    QPushButton* btnSendCmd_ = nullptr;
    QLabel* image1_ = nullptr;
    QLabel* lblTimeIs_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    std::unique_ptr<QtImagingViews> imaging_;  // the image and tag windows, the picture
    std::unique_ptr<FrmConfigIn> frmConfigIn_;
};

}  // namespace posbench::gui
