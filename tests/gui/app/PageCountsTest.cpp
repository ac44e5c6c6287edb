#include "gui/app/PageCounts.h"
#include "gui/app/PdfFiles.h"
#include "gui/app/ViewHarness.h"

#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <fstream>

using namespace plait;
using test::ViewHarness;

namespace {

// Asks, waits for the worker, and lets its signals arrive.
QString answerFor(gui::PageCounts& counts, const std::string& path) {
    const QString p = QString::fromStdString(path);
    if (auto known = counts.describe(p)) {
        return *known;
    }
    counts.waitUntilIdle();
    QCoreApplication::processEvents();
    return counts.describe(p).value_or(QStringLiteral("(still counting)"));
}

} // namespace

TEST(PageCounts, SaysWhatEachKindOfInputIs) {
    test::testApp();
    test::TestPlatform scratch;
    gui::PageCounts counts;
    EXPECT_EQ(answerFor(counts, test::writePdf(scratch.root / "three.pdf", 3)), "3 pages");
    EXPECT_EQ(answerFor(counts, test::writePdf(scratch.root / "one.PDF", 1)), "1 page");
    EXPECT_EQ(answerFor(counts, test::writeFile(scratch.root / "photo.JPG", "x")), "image");
    EXPECT_EQ(answerFor(counts, test::writeFile(scratch.root / "song.mp3", "x")), "audio");
    EXPECT_EQ(answerFor(counts, test::writeFile(scratch.root / "clip.mov", "x")), "video");
    EXPECT_EQ(answerFor(counts, (scratch.root / "gone.pdf").string()),
              "cannot be read: there is no such file");
    const QString garbage =
        answerFor(counts, test::writeFile(scratch.root / "notes.pdf", "just some text\n"));
    EXPECT_TRUE(garbage.startsWith("cannot be read: ")) << garbage.toStdString();
    EXPECT_GT(garbage.size(), QString("cannot be read: ").size());
    const auto locked =
        test::encryptPdf(test::writePdf(scratch.root / "plain.pdf", 2), scratch.root / "locked.pdf", "pw");
    ASSERT_FALSE(locked.empty());
    EXPECT_EQ(answerFor(counts, locked), "protected by a password");
}

TEST(PageCounts, AnswersAreKeptUntilTheFileChanges) {
    test::testApp();
    test::TestPlatform scratch;
    gui::PageCounts counts;
    QSignalSpy spy(&counts, &gui::PageCounts::counted);
    const auto path = test::writePdf(scratch.root / "doc.pdf", 2);
    EXPECT_EQ(answerFor(counts, path), "2 pages");
    counts.request(QString::fromStdString(path)); // known: not counted again
    counts.waitUntilIdle();
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 1);
    test::writePdf(scratch.root / "doc.pdf", 5); // another length
    EXPECT_EQ(answerFor(counts, path), "5 pages");
    EXPECT_EQ(spy.count(), 2);
}

TEST(PageCounts, TheSelectedInputsCountIsInTheStatusBarAndItsTooltip) {
    ViewHarness h;
    const auto a = test::writePdf(h.platform.root / "a.pdf", 4);
    const auto b = test::writeFile(h.platform.root / "b.gif", "GIF89a");
    const auto bad = test::writeFile(h.platform.root / "bad.pdf", "not a pdf");
    h.window->form().setChecked("chkViewer", false);
    h.window->openFiles({a, b, bad});
    h.view.pageCounts()->waitUntilIdle();
    QCoreApplication::processEvents(); // the worker's answer for the selected file arrives
    auto* info = h.view.findChild<QLabel*>(QStringLiteral("selectedFileInfo"));
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->text().startsWith("cannot be read: ")) << info->text().toStdString();
    h.window->clickEntry(0);
    EXPECT_EQ(info->text(), "4 pages");
    h.window->clickEntry(1);
    EXPECT_EQ(info->text(), "image");

    // Hovering over an entry shows its whole path and what it is.
    auto* list = h.child<QListWidget>("TreeView1");
    const QPoint at = list->visualItemRect(list->item(0)).center();
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QString::fromStdString(a) + "\n4 pages");
    QToolTip::hideText();

    h.window->removeAll();
    EXPECT_EQ(info->text(), "");
}
