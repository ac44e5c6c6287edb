#include "core/support/Fakes.h"
#include "gui/app/MainWindowView.h"
#include "gui/app/ProgramHarness.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/ui/TestApp.h"

#include <QAction>
#include <QToolBar>
#include <QWidget>

#include <gtest/gtest.h>

using namespace plait;

namespace {

// The controls of `page` that Tab stops at, in the order Tab visits them from `start`.
QList<QWidget*> tabChain(QWidget* page, QWidget* start) {
    QList<QWidget*> chain;
    QWidget* w = start->nextInFocusChain();
    for (int guard = 0; w != start && guard < 2000; ++guard, w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && w->isVisibleTo(page) && w->isEnabled() &&
            (w->focusPolicy() & Qt::TabFocus)) {
            chain << w;
        }
    }
    return chain;
}

// Pairs of neighbours in the chain where the second lies clearly above the first, or on the
// same row clearly to its left.
QStringList outOfReadingOrder(QWidget* page, QWidget* start) {
    QStringList found;
    const QList<QWidget*> chain = tabChain(page, start);
    for (qsizetype i = 0; i + 1 < chain.size(); ++i) {
        const QRect a(chain[i]->mapTo(page, QPoint(0, 0)), chain[i]->size());
        const QRect b(chain[i + 1]->mapTo(page, QPoint(0, 0)), chain[i + 1]->size());
        const bool sameRow = b.top() < a.bottom() && a.top() < b.bottom();
        if ((!sameRow && b.bottom() <= a.top()) || (sameRow && b.right() <= a.left())) {
            found << chain[i]->objectName() + QStringLiteral(" -> ") + chain[i + 1]->objectName();
        }
    }
    return found;
}

} // namespace

TEST(TabOrder, TheMainWindowIsReadTopToBottomLeftToRight) {
    test::testApp();
    test::TestPlatform scratch;
    test::ProgramHarness harness({QString::fromStdString(test::writeFile(scratch.root / "a.pdf"))});
    gui::Application& program = harness.program;
    QWidget* area = program.view().centralWidget();
    // The toolbar comes first; Tab from its last button goes on into the window.
    auto* bar = program.view().findChild<QToolBar*>();
    ASSERT_NE(bar, nullptr);
    QWidget* settings =
        bar->widgetForAction(program.view().findChild<QAction*>(QStringLiteral("Toolbar1_10")));
    ASSERT_NE(settings, nullptr);
    QStringList names;
    for (QWidget* w : tabChain(area, settings)) {
        names << w->objectName();
    }
    EXPECT_EQ(names.join(' ').toStdString(),
              "btnUp btnDown btnRemove TreeView1 txtOutfile cmdOutput chkViewer chkPreview go");
    EXPECT_TRUE(outOfReadingOrder(area, settings).isEmpty())
        << outOfReadingOrder(area, settings).join('\n').toStdString();
}
