#include "gui/app/PreviewWidget.h"
#include "gui/ui/TestApp.h"

#include <QImage>
#include <QPainter>
#include <QPdfView>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void writeFilledPdf(const QString& path, const QColor& colour, int pages = 1) {
    QPdfWriter writer(path);
    writer.setResolution(72);
    QPainter p(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i > 0) {
            writer.newPage();
        }
        p.fillRect(QRect(0, 0, 2000, 2000), colour);
    }
}

QColor centre(QWidget& w) {
    const QImage img = w.grab().toImage();
    return img.pixelColor(img.width() / 2, img.height() / 3);
}

} // namespace

TEST(PreviewWidget, ShowsTheDocumentLastNavigatedToEvenWhenSwitchedQuickly) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString red = dir.filePath("red.pdf");
    const QString blue = dir.filePath("blue.pdf");
    writeFilledPdf(red, Qt::red);
    writeFilledPdf(blue, Qt::blue, 2);
    plait::gui::PreviewWidget pane;
    pane.resize(700, 450);
    pane.show();
    const QString green = dir.filePath("green.pdf");
    writeFilledPdf(green, Qt::green, 3);
    // Pages already drawn, or still being drawn, for one file must not stand in for another's.
    for (const QString& file : {red, blue, green}) {
        pane.navigate(file.toStdString());
        QApplication::processEvents();
    }
    pane.navigate(blue.toStdString());
    QTest::qWait(500);
    EXPECT_EQ(pane.mode(), "pdf");
    EXPECT_EQ(pane.pdfPageCount(), 2);
    const QColor c = centre(pane);
    EXPECT_GT(c.blue(), 200) << c.name().toStdString();
    EXPECT_LT(c.red(), 60) << c.name().toStdString();
}

TEST(PreviewWidget, ImagesCardsAndTheBlankPage) {
    plait::test::testApp();
    QTemporaryDir dir;
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::green);
    const QString png = dir.filePath("photo.png");
    img.save(png);
    const QString song = dir.filePath("song.mp3");
    QFile f(song);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("ID3\x03\x00\x00\x00\x00\x00\x00", 10);
    f.close();

    plait::gui::PreviewWidget pane;
    pane.resize(200, 200);
    pane.navigate(png.toStdString());
    EXPECT_EQ(pane.mode(), "image");
    pane.navigate(song.toStdString());
    EXPECT_EQ(pane.mode(), "card");
    pane.navigate(dir.filePath("gone.pdf").toStdString());
    EXPECT_EQ(pane.mode(), "card");
    // The start-up order: grey page first, then the white document colour beneath it.
    pane.navigate("about:blank");
    pane.setBodyHtml("<html>");
    pane.setBackgroundColor("#FFFFFF");
    EXPECT_EQ(pane.mode(), "blank");
    EXPECT_EQ(centre(pane), QColor(0x78, 0x78, 0x78));
    EXPECT_EQ(pane.readyState(), 4);
}

TEST(PreviewWidget, LargePicturesFillThePaneAndFollowItsSize) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("doc.pdf");
    writeFilledPdf(pdf, Qt::red);
    QImage img(800, 600, QImage::Format_RGB32);
    img.fill(Qt::green);
    const QString png = dir.filePath("photo.png");
    img.save(png);

    plait::gui::PreviewWidget pane;
    pane.resize(400, 330);
    pane.show();
    // The picture area has never been on screen when the first picture arrives.
    pane.navigate(pdf.toStdString());
    QApplication::processEvents();
    pane.navigate(png.toStdString());
    QSize shown = pane.shownPictureSize();
    EXPECT_LE(shown.width(), 400);
    EXPECT_GE(shown.width(), 380) << "scaled to the pane, not to a stale viewport";
    EXPECT_NEAR(shown.width() * 3, shown.height() * 4, 8) << "proportions kept";

    pane.resize(200, 400);
    QApplication::processEvents();
    shown = pane.shownPictureSize();
    EXPECT_LE(shown.width(), 200);
    EXPECT_GE(shown.width(), 190);
}

TEST(PreviewWidget, VeryLongDocumentsShowOnePageAtATimeInsteadOfFreezingTheWindow) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString shortPdf = dir.filePath("short.pdf");
    const QString longPdf = dir.filePath("long.pdf");
    writeFilledPdf(shortPdf, Qt::red, 3);
    writeFilledPdf(longPdf, Qt::blue, plait::gui::PreviewWidget::kScrollingPageLimit + 1);

    plait::gui::PreviewWidget pane;
    pane.resize(400, 300);
    pane.show();
    pane.navigate(shortPdf.toStdString());
    EXPECT_TRUE(pane.pdfScrolls());
    pane.navigate(longPdf.toStdString());
    ASSERT_EQ(pane.pdfPageCount(), plait::gui::PreviewWidget::kScrollingPageLimit + 1);
    EXPECT_FALSE(pane.pdfScrolls());

    QWidget* view = nullptr;
    for (auto* candidate : pane.findChildren<QPdfView*>()) {
        if (candidate->isVisible()) {
            view = candidate; // the views of earlier files are on their way out
        }
    }
    ASSERT_NE(view, nullptr);
    QTest::keyClick(view, Qt::Key_PageDown);
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_EQ(pane.pdfCurrentPage(), 2);
    QTest::keyClick(view, Qt::Key_PageUp);
    EXPECT_EQ(pane.pdfCurrentPage(), 1);
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(view, Qt::Key_PageUp);
    }
    EXPECT_EQ(pane.pdfCurrentPage(), 0) << "no page before the first";
}
