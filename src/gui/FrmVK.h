#pragma once
// The VK printer utility window (frmVK, "VK Print Utility"): binds the widgets to the utility
// logic of app/VKUtility. While it is the program's working window, the engine's status lines
// come here. A Cancel button stops the port (the main window, with its own Cancel, may be off
// screen), and every exchange is bounded by a timer.
#include <QTimer>
#include <QWidget>
#include <functional>

#include "app/VKUtility.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace posbench::gui {

class StatusListWidget;

class FrmVK : public QWidget, public IVKView {
public:
    FrmVK(IVKHost& host, QWidget* parent = nullptr);

    VKUtility& Logic() { return logic_; }
    // What closing the window does once the user agreed (by default the program ends).
    void SetExitAction(std::function<void()> action) { exit_ = std::move(action); }
    // The download bar (the main window's own may be off screen): permille done, or hidden
    // with a negative value.
    void ShowProgress(int permille, const QString& text);

    // IVKDisplay / IVKView
    void DisplayVKLine(const std::string& text) override;
    void ClearStatus() override;
    void SetVersionLabel(const std::string& text) override;
    void ClearCommands() override;
    void AddCommand(const std::string& description) override;
    long SelectedCommand() const override;
    void ChoosePrinterClass(bool printerClass) override;
    bool PrinterClassChosen() const override;
    void HideUsbFrame() override;
    void ShowLogo(const std::string& file, int height, int width) override;
    void EnableCommands(bool enable) override;
    void BoundExchange(int16_t port, long ms) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    VKUtility logic_;
    std::function<void()> exit_;
    QTimer tmrVKtxt_;
    QTimer exchangeBound_;
    int16_t boundPort_ = 0;
    StatusListWidget* lstStatus_ = nullptr;
    QListWidget* lstCommands_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* picLogo_ = nullptr;
    QProgressBar* prgDownload_ = nullptr;
    QGroupBox* fraUsbPrinter_ = nullptr;
    QRadioButton* optNative_ = nullptr;
    QRadioButton* optPrinterClass_ = nullptr;
    std::vector<QPushButton*> commandButtons_;
};

}  // namespace posbench::gui
