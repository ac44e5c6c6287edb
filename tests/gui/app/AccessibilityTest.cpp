#include "core/support/Fakes.h"
#include "gui/app/MainWindowView.h"
#include "gui/app/ProgramHarness.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/ui/TestApp.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QAction>
#include <QMap>
#include <QWidget>

#include <gtest/gtest.h>

using namespace plait;

namespace {

// What a screen reader lets the user operate.
bool interactive(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::PageTab:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
        return true;
    default:
        return false;
    }
}

QString describe(QAccessibleInterface* a) {
    QObject* o = a->object();
    return QStringLiteral("%1 '%2' (role %3)")
        .arg(o != nullptr ? QString::fromLatin1(o->metaObject()->className()) : QStringLiteral("?"),
             o != nullptr ? o->objectName() : QString())
        .arg(a->role());
}

// Walks the visible accessible tree under `root`; every control a user can operate must have a
// name, and no two controls of one group may share one.
QStringList problems(QWidget* root) {
    QStringList found;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* parent) {
        QMap<QString, QString> names; // name -> first control with it, among this group
        for (int i = 0; i < parent->childCount(); ++i) {
            QAccessibleInterface* child = parent->child(i);
            if (child == nullptr || child->state().invisible) {
                continue;
            }
            if (interactive(child->role())) {
                const QString name = child->text(QAccessible::Name).trimmed();
                if (name.isEmpty()) {
                    found << QStringLiteral("no name: ") + describe(child);
                } else if (names.contains(name)) {
                    found << QStringLiteral("same name '%1': %2 and %3")
                                 .arg(name, names[name], describe(child));
                } else {
                    names.insert(name, describe(child));
                }
            }
            // A list's or tree's rows are its own business.
            if (child->role() != QAccessible::List && child->role() != QAccessible::Tree &&
                child->role() != QAccessible::ComboBox) {
                walk(child);
            }
        }
    };
    walk(QAccessible::queryAccessibleInterface(root));
    return found;
}

} // namespace

TEST(Accessibility, EveryControlOfTheMainWindowHasAName) {
    test::ProgramHarness p;
    const QStringList found = problems(&p.program.view());
    EXPECT_TRUE(found.isEmpty()) << found.join(QLatin1Char('\n')).toStdString();
}

TEST(Accessibility, EveryControlOfEverySettingsTabHasAName) {
    test::ProgramHarness p;
    gui::SettingsDialog& dialog = p.program.settingsDialog();
    dialog.show();
    for (int tab = 0; tab < gui::SettingsDialog::kTabCount; ++tab) {
        dialog.setCurrentTab(tab);
        const QStringList found = problems(&dialog);
        EXPECT_TRUE(found.isEmpty()) << "tab " << tab << ":\n" << found.join(QLatin1Char('\n')).toStdString();
    }
}

TEST(Accessibility, ButtonsAndTabsAreAnnouncedForWhatTheyAre) {
    test::ProgramHarness p;
    auto role = [](QObject* o) { return QAccessible::queryAccessibleInterface(o)->role(); };
    auto* view = &p.program.view();
    for (const char* name : {"Toolbar1_1", "Toolbar1_2", "Toolbar1_4", "Toolbar1_10"}) {
        QAction* action = view->findChild<QAction*>(QLatin1String(name));
        ASSERT_NE(action, nullptr);
        QWidget* button = nullptr;
        for (QObject* w : action->associatedObjects()) {
            if (auto* widget = qobject_cast<QWidget*>(w); widget != nullptr && !widget->inherits("QMenu")) {
                button = widget;
            }
        }
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(role(button), QAccessible::PushButton) << name;
    }
    gui::SettingsDialog& dialog = p.program.settingsDialog();
    EXPECT_EQ(role(dialog.tabButton(0)), QAccessible::PageTab);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog.tabButton(0))->text(QAccessible::Name),
              dialog.tabButton(0)->text());
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(dialog.tabButton(0))->state().selected);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(dialog.tabButton(1))->state().selected);
    auto* mode = view->findChild<QAction*>(QStringLiteral("Toolbar1_6"));
    QAccessibleInterface* merge = nullptr;
    for (QObject* w : mode->associatedObjects()) {
        if (qobject_cast<QAbstractButton*>(w) != nullptr) {
            merge = QAccessible::queryAccessibleInterface(w);
        }
    }
    ASSERT_NE(merge, nullptr);
    EXPECT_EQ(merge->role(), QAccessible::RadioButton);
    EXPECT_TRUE(merge->state().checked);
    EXPECT_EQ(merge->text(QAccessible::Name), "Merge");
}
