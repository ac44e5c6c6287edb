#include "gui/app/PreviewWidget.h"
#include "gui/ui/TestApp.h"
#include "worker/ProcessLimits.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>

#include <cstdio>
#include <fstream>
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

// Flate-compressed `bytes`, `times` over.
QByteArray deflated(const QByteArray& bytes, int times = 1) {
    Pl_Buffer buffer("deflated");
    Pl_Flate flate("deflate", &buffer, Pl_Flate::a_deflate);
    for (int i = 0; i < times; ++i) {
        flate.write(reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size()));
    }
    flate.finish();
    auto data = buffer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
}

// A page whose content is `megabytes` of blanks compressed twice: a few kilobytes on disk
// that a viewer inflates to all of it.
void writeFlateBomb(const QString& path, int megabytes) {
    const QByteArray twice = deflated(deflated(QByteArray(1 << 20, ' '), megabytes));
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
        "<< /Length " + QByteArray::number(twice.size()) +
            " /Filter [/FlateDecode /FlateDecode] >>\nstream\n" + twice + "\nendstream",
    };
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets) {
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pdf);
}

// The resident memory of this process, in kilobytes.
long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long kilobytes = 0;
            status >> kilobytes;
            return kilobytes;
        }
    }
    return -1;
}

bool settled(const plait::gui::PreviewWidget& pane) {
    return plait::test::waitUntil([&] { return pane.mode() != "loading"; });
}

// The first page as the pane shows it, once its drawing has arrived.
bool firstPageShown(const plait::gui::PreviewWidget& pane) {
    return plait::test::waitUntil([&] { return !pane.pdfPageImage(0).isNull(); });
}

} // namespace

// A PDF that would cost a viewer gigabytes costs the renderer its life, not the program: the
// pane shows a card, the program stays small, and the next file is shown as usual. A page
// whose image claims 30000 x 30000 pixels is drawn within the renderer's bounds.
TEST(PreviewWidget, APdfTooCostlyToDrawIsACardNotTheProgramsEnd) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString bomb = dir.filePath("bomb.pdf");
    writeFlateBomb(bomb, 1024);
    ASSERT_LT(QFileInfo(bomb).size(), 64 << 10);
    const QString huge = dir.filePath("huge.pdf");
    writeHugeImagePdf(huge);
    const QString red = dir.filePath("red.pdf");
    writeFilledPdf(red, Qt::red);
    plait::gui::PreviewWidget pane;
    pane.resize(300, 300);
    pane.show();
    const long before = residentKilobytes();
    // The sanitizers reserve more address space than the renderer's ceiling, so it has none there.
    if (!plait::worker::sanitized()) {
        pane.navigate(bomb.toStdString());
        ASSERT_TRUE(plait::test::waitUntil([&] { return pane.mode() == "card"; }))
            << pane.mode().toStdString();
        EXPECT_TRUE(pane.cardText().contains("This PDF cannot be previewed"))
            << pane.cardText().toStdString();
    }
    pane.navigate(huge.toStdString());
    ASSERT_TRUE(firstPageShown(pane)) << pane.cardText().toStdString();
    const long after = residentKilobytes();
    EXPECT_LT(after - before, 100 * 1024)
        << "the program grew from " << before << " kB to " << after << " kB";

    pane.navigate(red.toStdString());
    ASSERT_TRUE(settled(pane));
    EXPECT_EQ(pane.mode(), "pdf");
    ASSERT_TRUE(firstPageShown(pane));
    const QImage page = pane.pdfPageImage(0);
    EXPECT_EQ(page.pixelColor(page.width() / 2, page.height() / 2), QColor(Qt::red));
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
    ASSERT_TRUE(settled(pane));
    ASSERT_TRUE(firstPageShown(pane));
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
    ASSERT_TRUE(settled(pane));
    EXPECT_TRUE(pane.pdfScrolls());
    pane.navigate(longPdf.toStdString());
    ASSERT_TRUE(settled(pane));
    ASSERT_EQ(pane.pdfPageCount(), plait::gui::PreviewWidget::kScrollingPageLimit + 1);
    EXPECT_FALSE(pane.pdfScrolls());

    auto* view = pane.findChild<QScrollArea*>("pdfPages");
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
