// The preview draws PDFs in a renderer process of its own: what it draws, and what the pane
// makes of a renderer that dies, hangs or talks nonsense.

#include "gui/app/PageRenderer.h"
#include "gui/app/PreviewWidget.h"
#include "gui/ui/TestApp.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <string>

using plait::gui::PageRenderer;
using plait::gui::PreviewWidget;
using plait::test::waitUntil;

namespace {

// A PDF of one page per colour, each 200 x 300 points.
void writeColouredPdf(const QString& path, const QList<QColor>& colours) {
    QPdfWriter writer(path);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(QSizeF(200, 300), QPageSize::Point));
    writer.setPageMargins(QMarginsF());
    QPainter p(&writer);
    for (qsizetype i = 0; i < colours.size(); ++i) {
        if (i > 0) {
            writer.newPage();
        }
        p.fillRect(QRect(0, 0, 200, 300), colours[i]);
    }
}

// A stand-in renderer: a shell script.
QString fakeRenderer(const QTemporaryDir& dir, const QString& name, const QByteArray& script) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + script + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// Sets the renderer every pane starts, and puts the real one back.
struct RendererSwap {
    explicit RendererSwap(const QString& program) { PreviewWidget::useRenderer(program); }
    ~RendererSwap() { PreviewWidget::useRenderer(QStringLiteral(PLAIT_RENDER_PATH)); }
};

} // namespace

TEST(PageRenderer, DrawsEachPageAtTheWidthAskedInItsOwnProportions) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("colours.pdf");
    writeColouredPdf(pdf, {Qt::red, Qt::blue});
    PageRenderer renderer(QStringLiteral(PLAIT_RENDER_PATH), pdf, {});
    QSignalSpy opened(&renderer, &PageRenderer::opened);
    QSignalSpy rendered(&renderer, &PageRenderer::rendered);
    QSignalSpy stopped(&renderer, &PageRenderer::stoppedWith);
    renderer.start();
    ASSERT_TRUE(waitUntil([&] { return !opened.isEmpty() || !stopped.isEmpty(); })) << "no answer";
    ASSERT_EQ(opened.size(), 1) << stopped.value(0).value(0).toString().toStdString();
    EXPECT_EQ(opened[0][0].toInt(), 2);
    EXPECT_EQ(opened[0][1].toSizeF(), QSizeF(200, 300));

    for (const auto& [page, colour] : {std::pair{0, QColor(Qt::red)}, std::pair{1, QColor(Qt::blue)}}) {
        renderer.render(page, 240);
        ASSERT_TRUE(waitUntil([&] { return rendered.size() == page + 1 || !stopped.isEmpty(); }));
        ASSERT_EQ(rendered.size(), page + 1);
        EXPECT_EQ(rendered[page][0].toInt(), page);
        const QImage image = rendered[page][1].value<QImage>();
        EXPECT_EQ(image.size(), QSize(240, 360));
        // Drawn, not blank: the page's colour fills it.
        EXPECT_EQ(image.pixelColor(120, 180), colour) << image.pixelColor(120, 180).name().toStdString();
    }
    EXPECT_TRUE(stopped.isEmpty());
}

// The renderer is distrusted as the engine worker is: an answer out of turn, a picture past
// its bounds, or an end without a word stops it, with the reason.
TEST(PageRenderer, IsStoppedWhenItSaysWhatWasNotAskedOrEnds) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("a.pdf");
    writeColouredPdf(pdf, {Qt::red});
    const struct {
        QByteArray script;
        bool render;
        const char* reason;
    } cases[] = {
        {"echo 'pages 1 200 300'; echo 'pages 1 200 300'; exec sleep 3600", false, "nonsense"},
        {"echo 'pages 1 200 300'; read line; echo 'image 0 5000 5000'; exec sleep 3600", true, "nonsense"},
        {"echo 'pages 1 200 300'; read line; echo 'image 7 10 10'; exec sleep 3600", true, "nonsense"},
        {"head -c 100000 /dev/zero; exec sleep 3600", false, "nonsense"},
        {"echo 'pages 1 200 300'; read line; exit 0", true, "exit status 0"},
        {"kill -SEGV $$", false, "signal 11"},
    };
    int n = 0;
    for (const auto& c : cases) {
        PageRenderer renderer(fakeRenderer(dir, QString("fake%1").arg(n++), c.script), pdf, {});
        QSignalSpy opened(&renderer, &PageRenderer::opened);
        QSignalSpy stopped(&renderer, &PageRenderer::stoppedWith);
        renderer.start();
        if (c.render) {
            ASSERT_TRUE(waitUntil([&] { return !opened.isEmpty(); })) << c.script.toStdString();
            renderer.render(0, 100);
        }
        ASSERT_TRUE(waitUntil([&] { return !stopped.isEmpty(); })) << c.script.toStdString();
        EXPECT_TRUE(stopped[0][0].toString().contains(c.reason))
            << c.script.toStdString() << ": " << stopped[0][0].toString().toStdString();
        EXPECT_TRUE(renderer.stoppedForGood());
    }
}

// Pages are drawn as they come into view, at the pane's width, and again when it changes.
TEST(RenderedPreview, DrawsThePagesInViewAtThePanesWidth) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("pages.pdf");
    writeColouredPdf(pdf, {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta});
    PreviewWidget pane;
    pane.resize(300, 250);
    pane.show();
    QSignalSpy shown(&pane, &PreviewWidget::pageShown);
    pane.navigate(pdf.toStdString());
    ASSERT_TRUE(waitUntil([&] { return pane.mode() == "pdf"; }));
    EXPECT_EQ(pane.pdfPageCount(), 6);
    ASSERT_TRUE(waitUntil([&] { return !pane.pdfPageImage(1).isNull(); }));
    // The first page fills the pane; the one below it is drawn ahead, and no other.
    EXPECT_FALSE(pane.pdfPageImage(0).isNull());
    EXPECT_TRUE(pane.pdfPageImage(5).isNull());
    const int width = pane.pdfPageImage(0).width();
    EXPECT_GT(width, 200);
    EXPECT_LE(width, 300);

    auto* area = pane.findChild<QScrollArea*>("pdfPages");
    ASSERT_NE(area, nullptr);
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    ASSERT_TRUE(waitUntil([&] { return !pane.pdfPageImage(5).isNull(); }));
    EXPECT_EQ(pane.pdfCurrentPage(), 5);
    const QImage last = pane.pdfPageImage(5);
    EXPECT_EQ(last.pixelColor(last.width() / 2, last.height() / 2), QColor(Qt::magenta));

    // Wider: the page in view stays in view and is drawn again, as wide as the pane now is.
    pane.resize(500, 250);
    EXPECT_EQ(pane.pdfCurrentPage(), 5);
    ASSERT_TRUE(waitUntil([&] { return pane.pdfPageImage(5).width() > width + 150; }));
    EXPECT_LE(pane.pdfPageImage(5).width(), 500);
}

// Scrolling through a long document keeps only the drawings near the view.
TEST(RenderedPreview, KeepsOnlyTheDrawingsNearTheView) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("long.pdf");
    writeColouredPdf(pdf, QList<QColor>(40, Qt::gray));
    PreviewWidget pane;
    pane.resize(300, 250);
    pane.show();
    pane.navigate(pdf.toStdString());
    ASSERT_TRUE(waitUntil([&] { return pane.mode() == "pdf"; }));
    QScrollBar* bar = pane.findChild<QScrollArea*>("pdfPages")->verticalScrollBar();
    while (bar->value() < bar->maximum()) {
        bar->setValue(bar->value() + bar->pageStep());
        const int page = pane.pdfCurrentPage();
        ASSERT_TRUE(waitUntil([&] { return !pane.pdfPageImage(page).isNull(); })) << page;
    }
    ASSERT_TRUE(waitUntil([&] { return !pane.pdfPageImage(39).isNull(); }));
    int kept = 0;
    for (int page = 0; page < 40; ++page) {
        kept += pane.pdfPageImage(page).isNull() ? 0 : 1;
    }
    EXPECT_LE(kept, 16);
    EXPECT_TRUE(pane.pdfPageImage(0).isNull()) << "the first page, far out of view, was let go";
}

// A renderer that stops answering is ended when its answer is overdue, and the pane says so.
TEST(RenderedPreview, ARendererThatHangsIsStoppedAndThePaneSaysSo) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("a.pdf");
    writeColouredPdf(pdf, {Qt::red});
    const QString pidFile = dir.filePath("pid");
    const RendererSwap swap(fakeRenderer(dir, "hangs",
                                         "echo $$ > '" + pidFile.toUtf8() +
                                             "'; echo 'pages 1 200 300'; read line; exec sleep 3600"));
    PreviewWidget pane;
    pane.rendererLimits.answerMilliseconds = 300;
    pane.resize(300, 300);
    pane.show();
    pane.navigate(pdf.toStdString());
    ASSERT_TRUE(waitUntil([&] { return pane.mode() == "card"; })) << pane.mode().toStdString();
    EXPECT_TRUE(pane.cardText().contains("This PDF cannot be previewed: the page renderer did not answer"))
        << pane.cardText().toStdString();
    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t pid = file.readAll().trimmed().toInt();
    ASSERT_GT(pid, 0);
    EXPECT_NE(::kill(pid, 0), 0) << "the renderer still runs";
}

// Without a renderer, a PDF is not opened in the program: the pane says it cannot be previewed.
TEST(RenderedPreview, WithoutARendererAPdfIsNotPreviewed) {
    plait::test::testApp();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("a.pdf");
    writeColouredPdf(pdf, {Qt::red});
    const RendererSwap swap(QString{});
    PreviewWidget pane;
    pane.navigate(pdf.toStdString());
    EXPECT_EQ(pane.mode(), "card");
    EXPECT_TRUE(pane.cardText().contains("not installed")) << pane.cardText().toStdString();
}
