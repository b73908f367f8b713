#pragma once
// The image window and the tag window. The image window (frmImage, "Image Display"): the picture in a scrolled area, the
// "MICR:" label with its text box, zoom buttons (Fit, 1:1) and Close. The sizing and the zoom
// are the logic of app/ImageWindowLogic; this class only binds it to widgets.
#include <QPixmap>
#include <QWidget>
#include <string>
#include <vector>

#include "app/ImageWindowLogic.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;

namespace posbench::gui {

class FrmImage : public QWidget {
public:
    FrmImage();

    // Loads the bitmap file, sizes the window to it within the screen and shows the window.
    // False when the file is not a picture Qt can read.
    bool ShowBitmap(const std::string& path);
    void ShowMicr(const std::string& text);
    void HideMicr();

    ImageZoom Zoom() const { return zoom_; }
    void SetZoom(ImageZoom zoom);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyZoom();

    QScrollArea* scroll_ = nullptr;
    QLabel* picture_ = nullptr;
    QWidget* controls_ = nullptr;
    QPushButton* btnFit_ = nullptr;
    QPushButton* btnActual_ = nullptr;
    QLabel* lblMicr_ = nullptr;
    QLineEdit* txtMicr_ = nullptr;
    QPixmap pixmap_;
    ImageZoom zoom_ = ImageZoom::Actual;
};

// The tag window (frmTags, "Tag Display"): the tag lines in a fixed-pitch list, and Close.
class FrmTags : public QWidget {
public:
    FrmTags();
    // Fills the list and shows the window at the top left corner of the screen.
    void ShowLines(const std::vector<std::string>& lines);

private:
    QListWidget* lstTags_ = nullptr;
};

}  // namespace posbench::gui
