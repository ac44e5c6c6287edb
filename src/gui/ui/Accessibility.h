#pragma once

#include <QAccessible>

class QAbstractButton;
class QWidget;

namespace plait::gui {

// Gives every control under `root` that a screen reader would announce without a name (an
// icon-only button, say) its tooltip as its name. Controls named by their caption, a buddy
// label or an explicit accessible name keep that.
void nameControlsFromToolTips(QWidget* root);

// Announces `button` with `role` instead of the role Qt derives from its checkable state: a
// toolbar command that the toolbar made checkable is a push button, a tab button a page tab.
// Must be called before anything has asked for the button's accessible interface.
void setAccessibleRole(QAbstractButton* button, QAccessible::Role role);

} // namespace plait::gui
