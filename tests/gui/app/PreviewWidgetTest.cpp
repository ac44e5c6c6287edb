#include "gui/app/PreviewWidget.h"
#include "gui/app/PageCounts.h"
#include "gui/ui/TestApp.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfView>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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

// A one-page PDF whose page draws an image that claims 30000 x 30000 pixels (3.6 GB once a
// viewer makes a picture of it) from a few bytes.
void writeHugeImagePdf(const QString& path) {
    const std::string image = "<< /Type /XObject /Subtype /Image /Width 30000 /Height 30000 /ColorSpace "
                              "/DeviceRGB /BitsPerComponent 8 /Length 3 >>\nstream\nabc\nendstream";
    const std::string content = "q 600 0 0 600 0 0 cm /Im1 Do Q";
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 600 600] /Contents 4 0 R "
        "/Resources << /XObject << /Im1 5 0 R >> >> >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        image,
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pdf.data(), static_cast<qint64>(pdf.size()));
}

} // namespace

// With the engine worker at hand, a PDF is measured there before Qt's viewer draws it in the
// program: one that would cost the viewer gigabytes is shown as a card, and the next file is
// shown as usual.
TEST(PreviewWidget, APdfTooCostlyToDrawIsACardNotTheProgramsEnd) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString huge = dir.filePath("huge.pdf");
    writeHugeImagePdf(huge);
    const QString red = dir.filePath("red.pdf");
    writeFilledPdf(red, Qt::red);
    plait::gui::PageCounts::useWorker(PLAIT_WORKER_PATH);
    plait::gui::PreviewWidget pane;
    pane.resize(300, 300);
    pane.navigate(huge.toStdString());
    EXPECT_EQ(pane.mode(), "card");
    pane.navigate(red.toStdString());
    EXPECT_EQ(pane.mode(), "pdf");
    plait::gui::PageCounts::useWorker({});
}

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
