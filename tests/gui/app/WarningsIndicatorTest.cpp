#include "gui/build/WarningsIndicator.h"
#include "gui/ui/TestApp.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QScreen>

#include <gtest/gtest.h>

#include <memory>

TEST(WarningsIndicator, AppearsOnlyWhenTheLastBuildNotedSomething) {
    plait::test::testApp();
    QWidget parent;
    plait::gui::WarningsIndicator notes(&parent);
    parent.show();
    EXPECT_FALSE(notes.isVisible());
    notes.setWarnings({"a.pdf: repaired: file is damaged", "Stamps are not supported yet"});
    EXPECT_TRUE(notes.isVisible());
    EXPECT_EQ(notes.text(), "2 notes from the last build");
    EXPECT_EQ(notes.details(), "• a.pdf: repaired: file is damaged\n• Stamps are not supported yet");
    notes.setWarnings({});
    EXPECT_FALSE(notes.isVisible());
}

TEST(WarningsIndicator, NotesAreSaidInTheWordsOfTheSettingsAndWrapAtWords) {
    plait::test::testApp();
    QWidget parent;
    plait::gui::WarningsIndicator notes(&parent);
    notes.setWarnings({"setPageScale: a scale must be above 0 percent; ignored",
                       "setStamp: unknown modifier \"upside\"; ignored", "a.pdf: repaired: file is damaged"});
    EXPECT_EQ(notes.details().toStdString(),
              "• Page Size: scale: a scale must be above 0 percent. This was left out of the build.\n"
              "• Stamps: unknown modifier \"upside\". This was left out of the build.\n"
              "• a.pdf: repaired: file is damaged");
    std::unique_ptr<QDialog> dialog(notes.makeDetailsDialog());
    auto* text = dialog->findChild<QPlainTextEdit*>(QStringLiteral("buildNotesText"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->wordWrapMode(), QTextOption::WordWrap);
    EXPECT_GE(dialog->width(), 400); // room for a path on a line
    EXPECT_LE(dialog->width(), dialog->screen()->availableGeometry().width());
}
