#pragma once
// The receipt panel's demonstration keyboard: headings (lblHding) and function buttons
// (btnFcns) placed where the demo file says, each button sending its script through the main
// window's Send.
#include <QWidget>
#include <functional>
#include <vector>

#include "app/ReceiptDemo.h"

class QLabel;
class QPushButton;

namespace posbench::gui {

class ReceiptDemoPanel : public QWidget, public IReceiptDemoView {
public:
    ReceiptDemoPanel(std::function<void(const std::string& file)> send, QWidget* parent);

    ReceiptDemo& Logic() { return logic_; }

    void ClearDemo() override;
    void AddHeading(int16_t index, const std::string& caption, int left, int top) override;
    void AddButton(int16_t index, const std::string& caption, int left, int top) override;

private:
    void FitToControls();

    ReceiptDemo logic_;
    std::vector<QLabel*> headings_;
    std::vector<QPushButton*> buttons_;
};

}  // namespace posbench::gui
