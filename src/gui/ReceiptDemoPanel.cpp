#include "gui/ReceiptDemoPanel.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "gui/StatusListWidget.h"

namespace posbench::gui {

namespace {

// Keeps a control on the panel whatever the file says, so none is out of reach.
QPoint OnPanel(int left, int top, const QSize& size) {
    return {std::clamp(left, 0, std::max(0, kDemoPanelWidth - size.width())),
            std::clamp(top, 0, std::max(0, kDemoPanelHeight - size.height()))};
}

}  // namespace

ReceiptDemoPanel::ReceiptDemoPanel(std::function<void(const std::string& file)> send, QWidget* parent)
    : QWidget(parent), logic_(*this, std::move(send)) {
    setObjectName("picDemo");
    resize(kDemoPanelWidth, kDemoPanelHeight);
}

// The panel as large as its controls need (at most its full size), so it scrolls only when the
// demo truly is wider or taller than the window shows.
void ReceiptDemoPanel::FitToControls() {
    const QRect used = childrenRect();
    resize(std::min(kDemoPanelWidth, used.right() + 12), std::min(kDemoPanelHeight, used.bottom() + 12));
}

void ReceiptDemoPanel::ClearDemo() {
    for (QLabel* label : headings_) delete label;
    for (QPushButton* button : buttons_) delete button;
    headings_.clear();
    buttons_.clear();
    resize(0, 0);
}

void ReceiptDemoPanel::AddHeading(int16_t index, const std::string& caption, int left, int top) {
    auto* label = new QLabel(FromBytes(caption), this);
    label->setObjectName(QString("lblHding%1").arg(index));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->adjustSize();
    label->move(OnPanel(left, top, label->size()));
    label->show();
    headings_.push_back(label);
    FitToControls();
}

void ReceiptDemoPanel::AddButton(int16_t index, const std::string& caption, int left, int top) {
    auto* button = new QPushButton(FromBytes(caption), this);
    button->setObjectName(QString("btnFcns%1").arg(index));
    button->setAutoDefault(false);
    button->adjustSize();
    button->resize(std::max(button->width(), 96), button->height());
    button->move(OnPanel(left, top, button->size()));
    button->show();
    connect(button, &QPushButton::clicked, this, [this, index] { logic_.btnFcns_Click(index); });
    buttons_.push_back(button);
    FitToControls();
}

}  // namespace posbench::gui
