#include "gui/ImageWindows.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace posbench::gui {
namespace {

// The screen's free area, less an allowance for the window frame the window system adds.
QRect AvailableArea(const QWidget* w) {
    const QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return area.adjusted(0, 0, -16, -48);
}

QPushButton* Button(const char* name, const char* text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

}  // namespace

FrmImage::FrmImage() {
    setObjectName("frmImage");
    setWindowTitle("Image Display");
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("picScroll");
    scroll_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll_->setFrameShape(QFrame::NoFrame);
    picture_ = new QLabel;
    picture_->setObjectName("Picture1");
    scroll_->setWidget(picture_);

    controls_ = new QWidget(this);
    auto* row = new QHBoxLayout(controls_);
    row->setContentsMargins(6, 4, 6, 6);
    auto* btnClose = Button("btnClose", "Close", controls_);
    lblMicr_ = new QLabel("MICR:", controls_);
    lblMicr_->setObjectName("lblMicr");
    txtMicr_ = new QLineEdit(controls_);
    txtMicr_->setObjectName("txtMicr");
    txtMicr_->setReadOnly(true);
    txtMicr_->setMinimumWidth(320);
    btnFit_ = Button("btnFit", "Fit", controls_);
    btnActual_ = Button("btnActual", "1:1", controls_);
    btnFit_->setToolTip("Show the whole image in the window");
    btnActual_->setToolTip("Show the image's own pixels; scroll to see the rest");
    row->addWidget(btnClose);
    row->addWidget(lblMicr_);
    row->addWidget(txtMicr_, 1);
    row->addWidget(btnFit_);
    row->addWidget(btnActual_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(scroll_, 1);
    layout->addWidget(controls_);

    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(btnFit_, &QPushButton::clicked, this, [this] { SetZoom(ImageZoom::Fit); });
    connect(btnActual_, &QPushButton::clicked, this, [this] { SetZoom(ImageZoom::Actual); });
}

bool FrmImage::ShowBitmap(const std::string& path) {
    const QImage image(QString::fromStdString(path));
    if (image.isNull()) return false;
    pixmap_ = QPixmap::fromImage(image);
    const QRect area = AvailableArea(this);
    const ImageWindowPlan plan = PlanImageWindow({pixmap_.width(), pixmap_.height()},
                                                 {area.width(), area.height()},
                                                 controls_->sizeHint().height());
    zoom_ = plan.zoom;
    resize(std::max(plan.window.width, controls_->sizeHint().width()), plan.window.height);
    if (!isVisible()) move(area.topLeft());
    ApplyZoom();
    show();
    raise();
    return true;
}

void FrmImage::ShowMicr(const std::string& text) {
    txtMicr_->setText(QString::fromLatin1(text.data(), static_cast<int>(text.size())));
    lblMicr_->show();
    txtMicr_->show();
    show();
}

void FrmImage::HideMicr() {
    lblMicr_->hide();
    txtMicr_->hide();
}

void FrmImage::SetZoom(ImageZoom zoom) {
    zoom_ = zoom;
    ApplyZoom();
}

void FrmImage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (zoom_ == ImageZoom::Fit) ApplyZoom();
}

void FrmImage::ApplyZoom() {
    btnFit_->setEnabled(zoom_ != ImageZoom::Fit);
    btnActual_->setEnabled(zoom_ != ImageZoom::Actual);
    if (pixmap_.isNull()) return;
    // The window's own size, not the viewport's: a window just resized has not laid out yet.
    const QSize room(width() - 2, height() - controls_->sizeHint().height() - 2);
    const double scale = PictureScale(zoom_, {pixmap_.width(), pixmap_.height()},
                                      {room.width(), room.height()});
    if (scale >= 1.0) {
        picture_->setPixmap(pixmap_);
    } else {
        picture_->setPixmap(pixmap_.scaled(pixmap_.size() * scale, Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation));
    }
    picture_->adjustSize();
}

FrmTags::FrmTags() {
    setObjectName("frmTags");
    setWindowTitle("Tag Display");
    lstTags_ = new QListWidget(this);
    lstTags_->setObjectName("lstTags");
    lstTags_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* btnClose = Button("btnClose", "Close", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstTags_, 1);
    layout->addWidget(btnClose, 0, Qt::AlignLeft);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
}

void FrmTags::ShowLines(const std::vector<std::string>& lines) {
    lstTags_->clear();
    int widest = 0;
    for (const auto& line : lines) {
        const QString text = QString::fromLatin1(line.data(), static_cast<int>(line.size()));
        lstTags_->addItem(text);
        widest = std::max(widest, lstTags_->fontMetrics().horizontalAdvance(text));
    }
    const int rows = static_cast<int>(lines.size()) + 1;
    resize(widest + 60, std::min(rows * lstTags_->fontMetrics().height() + 80, 700));
    move(AvailableArea(this).topLeft());
    show();
    raise();
}

}  // namespace posbench::gui
