#pragma once
// The imaging commands' windows in the desktop program: the image and tag windows (created when
// first shown) and the main window's picture, whose double-click shows the image again.
#include <QObject>
#include <functional>
#include <memory>

#include "imaging/ImagingViews.h"

class QLabel;

namespace posbench::gui {

class FrmImage;
class FrmTags;

class QtImagingViews : public QObject, public IImagingViews {
public:
    // picture: the main window's Image1; selectedPort: the port its double-click acts for.
    QtImagingViews(QLabel* picture, std::function<int16_t()> selectedPort);
    ~QtImagingViews() override;

    bool ShowImageWindow(const std::string& bitmapPath) override;
    void ShowMicrText(const std::string& text) override;
    void HideMicrText() override;
    bool ShowPicture(const std::string& bitmapPath) override;
    void ShowTagList(const std::vector<std::string>& lines) override;

    FrmImage* ImageWindow();
    FrmTags* TagWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* picture_;
    std::function<int16_t()> selectedPort_;
    std::unique_ptr<FrmImage> image_;
    std::unique_ptr<FrmTags> tags_;
};

}  // namespace posbench::gui
