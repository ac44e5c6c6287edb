#include "gui/ui/QtServices.h"

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
