#include "gui/ui/QtServices.h"
#include "gui/ui/TestApp.h"

#include <QDialog>
#include <QTest>

#include <gtest/gtest.h>

using plait::gui::QtFileDialog;

TEST(QtFileDialog, FilterListsBecomeQtNameFilters) {
    EXPECT_EQ(QtFileDialog::nameFilters("PDF Plait Settings (*.plt)|*.plt|All Files (*.*)|*.*"),
              (QStringList{"PDF Plait Settings (*.plt *.PLT)", "All Files (*)"}));
    // Several patterns, no pattern list in the description, a trailing separator.
    EXPECT_EQ(QtFileDialog::nameFilters("Images|*.jpg;*.Png|"),
              (QStringList{"Images (*.jpg *.JPG *.Png *.png *.PNG)"}));
    EXPECT_TRUE(QtFileDialog::nameFilters("").isEmpty());
    EXPECT_EQ(QtFileDialog::nameFilters("Anything|"), (QStringList{"Anything (*)"}));
}

TEST(QtServices, BoxesBelongToTheWindowTheUserIsWorkingIn) {
    plait::test::testApp();
    QWidget main;
    QDialog about(&main);
    main.show();
    about.show();
    QApplication::setActiveWindow(&about);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    EXPECT_EQ(plait::gui::dialogOwner(&main), &about);
    about.hide();
    QApplication::setActiveWindow(nullptr);
    QApplication::processEvents();
    EXPECT_EQ(plait::gui::dialogOwner(&main), &main);
}

TEST(QtTestPrinting, AFailingQStringComparisonShowsTheText) {
    EXPECT_EQ(::testing::PrintToString(QStringLiteral("Gr\u00FC\u00DFe \"x\"")), "\"Gr\u00FC\u00DFe \"x\"\"");
    EXPECT_EQ(::testing::PrintToString(QString()), "\"\"");
}
