#pragma once
// The port setup window (frmSetup), titled "Setup": binds the widgets to the setup logic of
// app/PortSetup. Its close box does what OK does, so the port table and the devices never
// disagree once the window is gone.
#include <QDialog>

#include "app/PortSetup.h"

class QListWidget;

namespace posbench {
class LinkRecovery;
}

namespace posbench::gui {

class FrmSetup : public QDialog, public IPortSetupView {
public:
    FrmSetup(const LinkRecovery* recovery, QWidget* parent);

    PortSetup& Logic() { return logic_; }

    // IPortSetupView
    long EntryCount() const override;
    std::string Entry(long index) const override;
    void SetEntries(const std::vector<std::string>& entries) override;
    long SelectedEntry() const override;
    void SelectEntry(long index) override;
    void AddStatusPiece(const std::string& piece) override;
    void ClearStatus() override;
    bool EditSerial(const std::string& device, SerialSettings& settings) override;
    bool EditAddress(std::string& address) override;
    void CloseWindow() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Escape: the same as the close box

private:
    PortSetup logic_;
    QListWidget* lstComDevice_ = nullptr;
    QListWidget* lstPortStatus_ = nullptr;
    QListWidget* lstSetupStatus_ = nullptr;
    bool closing_ = false;
};

}  // namespace posbench::gui
