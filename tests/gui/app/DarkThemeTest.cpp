#include "core/support/Fakes.h"
#include "gui/app/DarkPalette.h"
#include "gui/app/MainWindowView.h"
#include "gui/app/ProgramHarness.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/ui/Contrast.h"
#include "gui/ui/TestApp.h"

#include <QImage>
#include <QLabel>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace plait;

namespace {

QColor backgroundOf(const QWidget* w) {
    for (const QWidget* p = w; p != nullptr; p = p->parentWidget()) {
        if (p->autoFillBackground() || p->isWindow()) {
            return p->palette().color(p->backgroundRole());
        }
    }
    return QApplication::palette().color(QPalette::Window);
}

// The strongest contrast any drawn pixel of the icon has against the button.
double iconContrast(const QToolButton* button) {
    const QImage image = button->icon().pixmap(button->iconSize()).toImage();
    const QColor behind = button->palette().color(QPalette::Button);
    double best = 1.0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 128) {
                best = std::max(best, gui::contrastRatio(c, behind));
            }
        }
    }
    return best;
}

// Readable text (WCAG AA, 4.5:1) on every label with text, and pictures that stand out (3:1)
// on every tool button with an icon.
QStringList lowContrast(QWidget* root) {
    QStringList found;
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(root) || label->text().isEmpty() || !label->pixmap().isNull()) {
            continue;
        }
        const QColor fg = label->palette().color(QPalette::Active, label->foregroundRole());
        const double ratio = gui::contrastRatio(fg, backgroundOf(label));
        if (ratio < 4.5) {
            found << QStringLiteral("label %1 '%2': %3").arg(label->objectName(), label->text()).arg(ratio);
        }
    }
    for (QToolButton* button : root->findChildren<QToolButton*>()) {
        if (!button->isVisibleTo(root) || button->icon().isNull()) {
            continue;
        }
        const double ratio = iconContrast(button);
        if (ratio < 3.0) {
            found << QStringLiteral("tool button %1: %2").arg(button->objectName()).arg(ratio);
        }
    }
    return found;
}

} // namespace

TEST(DarkTheme, LabelsAndButtonPicturesStayReadable) {
    test::testApp();
    test::DarkPalette dark;
    test::ProgramHarness harness;
    gui::Application& program = harness.program;
    QStringList found = lowContrast(&program.view());
    gui::SettingsDialog& settings = program.settingsDialog();
    settings.show();
    for (int tab = 0; tab < gui::SettingsDialog::kTabCount; ++tab) {
        settings.setCurrentTab(tab);
        for (const QString& f : lowContrast(settings.tabPage(tab))) {
            found << QStringLiteral("tab %1: %2").arg(tab).arg(f);
        }
    }
    settings.hide();
    EXPECT_TRUE(found.isEmpty()) << found.join(QLatin1Char('\n')).toStdString();
}

TEST(DarkTheme, ContrastRatioFollowsTheUsualScale) {
    EXPECT_NEAR(gui::contrastRatio(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_NEAR(gui::contrastRatio(QColor(0x77, 0x77, 0x77), QColor(0x77, 0x77, 0x77)), 1.0, 0.001);
    EXPECT_NEAR(gui::contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.02);
}
