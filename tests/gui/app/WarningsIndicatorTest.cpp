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

// A garbage file gives several repair notes; the list names the file once with each repair.
TEST(WarningsIndicator, EachDamagedFileIsListedOnceWithItsRepairs) {
    plait::test::testApp();
    QWidget parent;
    plait::gui::WarningsIndicator notes(&parent);
    notes.setWarnings({"/in/a.pdf is damaged and was repaired: xref rebuilt",
                       "/in/b.pdf is damaged and was repaired: trailer rebuilt",
                       "/in/a.pdf is damaged and was repaired: page tree rebuilt",
                       "/in/a.pdf is damaged and was repaired: xref rebuilt",
                       "Error parsing input file /in/a.pdf: no"});
    EXPECT_EQ(notes.text(), "3 notes from the last build");
    EXPECT_EQ(notes.warnings(),
              QStringList({"/in/a.pdf is damaged and was repaired: xref rebuilt; page tree rebuilt",
                           "/in/b.pdf is damaged and was repaired: trailer rebuilt",
                           "Error parsing input file /in/a.pdf: no"}));
}
