#include "gui/QtImagingViews.h"

#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "app/ImageWindowLogic.h"
#include "gui/ImageWindows.h"

namespace posbench::gui {
namespace {
constexpr int kThumbnailHeight = 96;
}  // namespace

QtImagingViews::QtImagingViews(QLabel* picture, std::function<int16_t()> selectedPort)
    : picture_(picture), selectedPort_(std::move(selectedPort)) {
    picture_->installEventFilter(this);
    picture_->setToolTip("Double-click to see the image in full");
    SetImagingViews(this);
}

QtImagingViews::~QtImagingViews() {
    if (ImagingViews() == this) SetImagingViews(nullptr);
}

FrmImage* QtImagingViews::ImageWindow() {
    if (!image_) image_ = std::make_unique<FrmImage>();
    return image_.get();
}

FrmTags* QtImagingViews::TagWindow() {
    if (!tags_) tags_ = std::make_unique<FrmTags>();
    return tags_.get();
}

bool QtImagingViews::ShowImageWindow(const std::string& bitmapPath) {
    return ImageWindow()->ShowBitmap(bitmapPath);
}

void QtImagingViews::ShowMicrText(const std::string& text) { ImageWindow()->ShowMicr(text); }

void QtImagingViews::HideMicrText() { ImageWindow()->HideMicr(); }

bool QtImagingViews::ShowPicture(const std::string& bitmapPath) {
    const QImage image(QString::fromStdString(bitmapPath));
    if (image.isNull()) return false;
    const PixelSize size = ThumbnailSize({image.width(), image.height()}, kThumbnailHeight);
    picture_->setPixmap(QPixmap::fromImage(image.scaled(size.width, size.height, Qt::KeepAspectRatio,
                                                        Qt::SmoothTransformation)));
    picture_->show();
    return true;
}

void QtImagingViews::ShowTagList(const std::vector<std::string>& lines) {
    TagWindow()->ShowLines(lines);
}

bool QtImagingViews::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picture_ && event->type() == QEvent::MouseButtonDblClick) {
        Image1_DblClick(selectedPort_());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace posbench::gui
