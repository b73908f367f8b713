// The image window, the tag window and the main window's picture on the offscreen platform,
// for the simulated printer's check image: a page wider than the screen opens fitted and
// scrolls at 1:1, the MICR text and the tag list show, the picture's double-click shows the
// image again.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include "CheckImage.h"
#include "gui/ImageWindows.h"
#include "gui/QtImagingViews.h"
#include "imaging/Tiff.h"
#include "script/ScriptState.h"
#include "support/TestSupport.h"

class ImageWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void checkImageInTheWindowsAndThePicture();
};

void ImageWindowsTest::checkImageInTheWindowsAndThePicture() {
    using namespace posbench;
    test::ResetAllGlobals();
    test::ScratchDir dir;
    dir.Write("check.tif", sim::CheckImageTiff());
    gPortState(1).ScriptFile = dir / "s.txt";
    QLabel picture;
    gui::QtImagingViews views(&picture, [] { return int16_t{1}; });

    QVERIFY2(ProcessTiffFile(1, "IMAGE SHOW check.tif"), gsTiffErr.c_str());
    gui::FrmImage* image = views.ImageWindow();
    QVERIFY(image->isVisible());
    QCOMPARE(image->windowTitle(), QString("Image Display"));
    auto* shown = image->findChild<QLabel*>("Picture1");
    auto* scroll = image->findChild<QScrollArea*>("picScroll");
    QCOMPARE(image->Zoom(), ImageZoom::Fit);  // 1728 pixels fit no offscreen screen
    QVERIFY(shown->pixmap().width() < 1728);
    QTest::mouseClick(image->findChild<QPushButton*>("btnActual"), Qt::LeftButton);
    QCOMPARE(shown->pixmap().width(), 1728);
    QVERIFY(scroll->horizontalScrollBar()->maximum() > 0);

    QVERIFY(ProcessTiffFile(1, "MICR SHOW check.tif"));
    QCOMPARE(image->findChild<QLineEdit*>("txtMicr")->text(), QString(sim::kCheckMicr));
    QVERIFY(image->findChild<QLineEdit*>("txtMicr")->isVisible());

    QVERIFY(ProcessTiffFile(1, "TAG SHOW check.tif"));
    gui::FrmTags* tags = views.TagWindow();
    QVERIFY(tags->isVisible());
    QCOMPARE(tags->windowTitle(), QString("Tag Display"));
    auto* list = tags->findChild<QListWidget*>("lstTags");
    QCOMPARE(list->count(), 18);
    QVERIFY(QFontInfo(list->font()).fixedPitch());

    image->close();
    QVERIFY(ProcessTiffFile(1, "IMAGE VIEW check.tif"));
    QVERIFY(!picture.isHidden());
    QCOMPARE(picture.pixmap().height(), 96);
    QVERIFY(!image->isVisible());
    QTest::mouseDClick(&picture, Qt::LeftButton);
    QVERIFY(image->isVisible());
}

QTEST_MAIN(ImageWindowsTest)
#include "image_windows_test.moc"
