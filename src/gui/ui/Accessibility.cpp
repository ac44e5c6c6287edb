#include "Accessibility.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QRegularExpression>
#include <QWidget>

namespace plait::gui {

namespace {

QString withoutMnemonic(QString text) {
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

// A button announced with a fixed role; it can still be pressed, and a page tab says whether
// it is the one showing.
class RoledButton : public QAccessibleWidget {
public:
    RoledButton(QAbstractButton* button, QAccessible::Role role) : QAccessibleWidget(button, role) {}

    QString text(QAccessible::Text t) const override {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty()) {
            s = withoutMnemonic(button()->text());
        }
        if (t == QAccessible::Description && s.isEmpty()) {
            s = button()->toolTip();
        }
        return s;
    }

    QAccessible::State state() const override {
        QAccessible::State st = QAccessibleWidget::state();
        if (button()->isCheckable() && role() != QAccessible::PushButton) {
            st.checkable = true;
            st.checked = button()->isChecked();
        }
        if (role() == QAccessible::PageTab) {
            st.selectable = true;
            st.selected = button()->isChecked();
        }
        return st;
    }

    QStringList actionNames() const override {
        return QStringList(pressAction()) << QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (name == pressAction()) {
            if (button()->isEnabled()) {
                button()->click();
            }
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

bool announced(const QWidget* w) {
    // What a screen reader lets the user operate: anything that takes the focus.
    return w->focusPolicy() != Qt::NoFocus || qobject_cast<const QAbstractButton*>(w) != nullptr;
}

} // namespace

void nameControlsFromToolTips(QWidget* root) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->accessibleName().isEmpty() || w->toolTip().isEmpty() || !announced(w)) {
            continue;
        }
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (a != nullptr && a->text(QAccessible::Name).trimmed().isEmpty()) {
            w->setAccessibleName(w->toolTip());
        }
    }
}

void setAccessibleRole(QAbstractButton* button, QAccessible::Role role) {
    // Registered interfaces are the ones every later query finds; Qt deletes this one with the
    // button.
    QAccessible::registerAccessibleInterface(new RoledButton(button, role));
}

} // namespace plait::gui
