#include "FormBinder.h"

#include "CoreTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QStringList>
#include <QWidget>

namespace plait::gui {

namespace {

using ui::Control;
using ui::ControlKind;

// Marks the binder as writing into widgets for the lifetime of the object.
class PushGuard {
public:
    explicit PushGuard(int& depth) : depth_(depth) { ++depth_; }
    ~PushGuard() { --depth_; }
    PushGuard(const PushGuard&) = delete;
    PushGuard& operator=(const PushGuard&) = delete;

private:
    int& depth_;
};

// Multi-line boxes hold CR LF line breaks in the model, the line break of the settings files
// and of the engine's markup; the editor itself works with bare line feeds.
QString toEditorText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

std::string fromEditorText(const QString& text) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return s.toStdString();
}

void setBackground(QWidget* w, const QColor& color) {
    QPalette pal = w->palette();
    if (pal.color(QPalette::Window) == color && w->autoFillBackground()) {
        return;
    }
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// Only the active and inactive groups: a disabled label keeps the greyed look.
void setForeground(QWidget* w, const QColor& color) {
    QPalette pal = w->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::WindowText, color);
        pal.setColor(group, QPalette::Text, color);
    }
    w->setPalette(pal);
}

} // namespace

FormBinder::FormBinder(QWidget* root, ui::Form& form, QObject* parent)
    : QObject(parent), root_(root), form_(&form) {
    sliderClick_ = [](ui::Form& f, const Control& c, int position) {
        f.setValue(f.at(c.name, c.index), position);
    };
    bindAll();
}

FormBinder::~FormBinder() {
    unbindAll();
}

QString FormBinder::objectNameFor(const std::string& name, int index) {
    QString s = QString::fromStdString(name);
    if (index >= 0) {
        s += QLatin1Char('_') + QString::number(index);
    }
    return s;
}

void FormBinder::setPictureSource(PictureSource source) {
    pictures_ = std::move(source);
    refresh();
}

void FormBinder::rebind(ui::Form& form) {
    unbindAll();
    form_ = &form;
    bindAll();
}

void FormBinder::unbindAll() {
    // The old model may already be destroyed; the handle then has nothing to undo.
    listener_.reset();
    for (auto& c : connections_) {
        QObject::disconnect(c);
    }
    connections_.clear();
    bindings_.clear();
}

void FormBinder::bindAll() {
    if (!root_) {
        return;
    }
    QHash<QString, QObject*> byName;
    auto note = [&byName](QObject* o) {
        const QString n = o->objectName();
        if (!n.isEmpty() && !byName.contains(n)) {
            byName.insert(n, o);
        }
    };
    note(root_);
    for (QObject* o : root_->findChildren<QObject*>()) {
        if (qobject_cast<QWidget*>(o) || qobject_cast<QAction*>(o)) {
            note(o);
        }
    }

    for (const Control& c : form_->controls()) {
        const QString key = objectNameFor(c.name, c.index);
        std::vector<Binding> found;
        if (QObject* o = byName.value(key)) {
            found.push_back(Binding{c.name, c.index, 0, o});
        }
        if (c.kind == ControlKind::Toolbar) {
            for (std::size_t n = 1; n <= c.buttons.size(); ++n) {
                if (QObject* o = byName.value(objectNameFor(c.name, static_cast<int>(n)))) {
                    found.push_back(Binding{c.name, c.index, static_cast<int>(n), o});
                }
            }
        }
        for (const Binding& b : found) {
            connectWidget(b, c.kind);
            if (b.button == 0) {
                showCaption(b.target, c);
            }
        }
        if (!found.empty()) {
            bindings_.insert(key, std::move(found));
        }
    }

    listener_ = form_->subscribe([this](const Control& c, ui::Property p) { onModelChange(c, p); });
    refresh();
}

void FormBinder::showCaption(QObject* target, const Control& c) {
    // The forms give controls their place and name; the caption is the model's. "&" marks the
    // access key, as Qt's mnemonic does.
    if (c.caption.empty() || target == nullptr) {
        return;
    }
    const QString caption = coreText(c.caption);
    if (auto* action = qobject_cast<QAction*>(target)) {
        action->setText(caption);
    } else if (auto* menu = qobject_cast<QMenu*>(target)) {
        menu->setTitle(caption);
    } else if (auto* label = qobject_cast<QLabel*>(target)) {
        label->setText(caption);
    } else if (auto* button = qobject_cast<QAbstractButton*>(target)) {
        button->setText(caption);
    } else if (auto* box = qobject_cast<QGroupBox*>(target)) {
        box->setTitle(caption);
    } else if (auto* window = qobject_cast<QWidget*>(target); window != nullptr && window->isWindow()) {
        window->setWindowTitle(caption);
    }
}

void FormBinder::connectWidget(const Binding& b, ControlKind kind) {
    QObject* o = b.target;
    auto edited = [this, b] {
        if (pushing_ == 0) {
            userEdited(b);
        }
    };
    auto keep = [this](QMetaObject::Connection c) { connections_.push_back(std::move(c)); };

    if (b.button > 0) {
        if (auto* button = qobject_cast<QAbstractButton*>(o)) {
            keep(connect(button, &QAbstractButton::clicked, this, edited));
        } else if (auto* action = qobject_cast<QAction*>(o)) {
            keep(connect(action, &QAction::triggered, this, edited));
        }
        return;
    }

    switch (kind) {
    case ControlKind::TextBox:
        if (auto* line = qobject_cast<QLineEdit*>(o)) {
            keep(connect(line, &QLineEdit::textChanged, this, edited));
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(o)) {
            keep(connect(plain, &QPlainTextEdit::textChanged, this, edited));
        }
        break;
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
        if (auto* button = qobject_cast<QAbstractButton*>(o)) {
            keep(connect(button, &QAbstractButton::toggled, this, edited));
        } else if (auto* action = qobject_cast<QAction*>(o)) {
            keep(connect(action, &QAction::toggled, this, edited));
        }
        break;
    case ControlKind::ComboBox:
        if (auto* combo = qobject_cast<QComboBox*>(o)) {
            keep(connect(combo, &QComboBox::currentIndexChanged, this, edited));
        }
        break;
    case ControlKind::Slider:
        if (auto* slider = qobject_cast<QSlider*>(o)) {
            // A drag reports once, on release; clicks on the groove and keys report at once.
            keep(connect(slider, &QSlider::sliderReleased, this, edited));
            keep(connect(slider, &QSlider::valueChanged, this, [slider, edited] {
                if (!slider->isSliderDown()) {
                    edited();
                }
            }));
        }
        break;
    case ControlKind::CommandButton:
    case ControlKind::MenuItem: {
        const QString name = QString::fromStdString(b.name);
        const int index = b.index;
        auto fire = [this, name, index] { emit clicked(name, index); };
        if (auto* button = qobject_cast<QAbstractButton*>(o)) {
            keep(connect(button, &QAbstractButton::clicked, this, fire));
        } else if (auto* action = qobject_cast<QAction*>(o)) {
            keep(connect(action, &QAction::triggered, this, fire));
        }
        if (kind == ControlKind::MenuItem) {
            if (auto* action = qobject_cast<QAction*>(o)) {
                keep(connect(action, &QAction::toggled, this, edited));
            }
        }
        break;
    }
    default:
        break;
    }
}

void FormBinder::userEdited(const Binding& b) {
    ui::Control* c = form_->find(b.name, b.index);
    QObject* o = b.target;
    if (c == nullptr || o == nullptr) {
        return;
    }
    if (b.button > 0) {
        form_->clickButton(c->name, b.button);
    } else {
        switch (c->kind) {
        case ControlKind::TextBox:
            if (auto* line = qobject_cast<QLineEdit*>(o)) {
                form_->setText(*c, line->text().toStdString());
            } else if (auto* plain = qobject_cast<QPlainTextEdit*>(o)) {
                form_->setText(*c, fromEditorText(plain->toPlainText()));
            }
            break;
        case ControlKind::CheckBox: {
            bool on = false;
            if (auto* check = qobject_cast<QCheckBox*>(o)) {
                on = check->checkState() != Qt::Unchecked;
            } else if (auto* button = qobject_cast<QAbstractButton*>(o)) {
                on = button->isChecked();
            } else if (auto* action = qobject_cast<QAction*>(o)) {
                on = action->isChecked();
            }
            form_->setValue(*c, on ? 1 : 0);
            break;
        }
        case ControlKind::OptionButton: {
            auto* button = qobject_cast<QAbstractButton*>(o);
            auto* action = qobject_cast<QAction*>(o);
            const bool on = button ? button->isChecked() : (action && action->isChecked());
            // An option is only ever picked; the release of the others comes from the model.
            if (on) {
                form_->pickOption(c->name, c->index);
            }
            break;
        }
        case ControlKind::ComboBox:
            if (auto* combo = qobject_cast<QComboBox*>(o)) {
                form_->setValue(*c, combo->currentIndex());
            }
            break;
        case ControlKind::Slider:
            if (auto* slider = qobject_cast<QSlider*>(o)) {
                sliderClick_(*form_, *c, slider->value());
            }
            break;
        case ControlKind::MenuItem:
            if (auto* action = qobject_cast<QAction*>(o); action && action->isCheckable()) {
                form_->setValue(*c, action->isChecked() ? 1 : 0);
            }
            break;
        default:
            break;
        }
    }
    // Show what the model made of the edit (an option that may not be released, a toolbar that
    // keeps one button pressed).
    if (const ui::Control* now = form_->find(b.name, b.index)) {
        push(*now);
    }
}

void FormBinder::onModelChange(const Control& c, ui::Property) {
    push(c);
}

void FormBinder::refresh() {
    for (const Control& c : form_->controls()) {
        push(c);
    }
}

void FormBinder::push(const Control& c) {
    auto it = bindings_.constFind(objectNameFor(c.name, c.index));
    if (it == bindings_.constEnd()) {
        return;
    }
    PushGuard guard(pushing_);
    for (const Binding& b : *it) {
        if (b.target) {
            pushTo(c, b);
        }
    }
}

namespace {

// A text box's text and background.
void pushText(QWidget* w, const Control& c) {
    // A text box's background is part of its look (the grey of an unusable password box).
    if (c.color != 0) {
        const QColor base = FormBinder::toQColor(c.color, QApplication::palette(w));
        if (w->palette().color(QPalette::Active, QPalette::Base) != base) {
            QPalette pal = w->palette();
            pal.setColor(QPalette::Active, QPalette::Base, base);
            pal.setColor(QPalette::Inactive, QPalette::Base, base);
            w->setPalette(pal);
        }
    }
    if (auto* line = qobject_cast<QLineEdit*>(w)) {
        const QString text = QString::fromStdString(c.text);
        if (line->text() != text) {
            line->setText(text);
        }
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        const QString text = toEditorText(c.text);
        if (plain->toPlainText() != text) {
            plain->setPlainText(text);
        }
    }
}

// A combo box's entries (from the table, through the model) and its selection.
void pushList(QWidget* w, const Control& c) {
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        QStringList items;
        for (const std::string& item : c.items) {
            items << QString::fromStdString(item);
        }
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i) {
            shown << combo->itemText(i);
        }
        if (!c.items.empty() && shown != items) {
            combo->clear();
            combo->addItems(items);
        }
        const int index = c.value >= 0 && c.value < combo->count() ? c.value : -1;
        if (combo->currentIndex() != index) {
            combo->setCurrentIndex(index);
        }
    }
}

// The value of a control that is not a toolbar button, in the way its kind shows it.
void pushValue(QWidget* w, const Control& c) {
    switch (c.kind) {
    case ControlKind::TextBox:
        pushText(w, c);
        break;
    case ControlKind::CheckBox:
        if (auto* check = qobject_cast<QCheckBox*>(w)) {
            const Qt::CheckState state =
                c.value == 1 ? Qt::Checked : (c.value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
            if (state == Qt::PartiallyChecked) {
                check->setTristate(true);
            }
            check->setCheckState(state);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            button->setChecked(c.value != 0);
        }
        break;
    case ControlKind::OptionButton:
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (button->isChecked() != (c.value != 0)) {
                // Releasing one member of an exclusive group is refused by Qt, so the group's
                // exclusivity is lifted while the model's state is written.
                const bool exclusive = button->autoExclusive();
                button->setAutoExclusive(false);
                button->setChecked(c.value != 0);
                button->setAutoExclusive(exclusive);
            }
        }
        break;
    case ControlKind::ComboBox:
        pushList(w, c);
        break;
    // System colours resolve through the application's palette for the widget's class, not the
    // widget's own palette, which holds whatever colour was set before.
    case ControlKind::PictureBox:
        setBackground(w, FormBinder::toQColor(c.color, QApplication::palette(w)));
        break;
    case ControlKind::Label:
        setForeground(w, FormBinder::toQColor(c.color, QApplication::palette(w)));
        break;
    case ControlKind::Slider:
        if (auto* slider = qobject_cast<QSlider*>(w)) {
            if (slider->value() != c.value && !slider->isSliderDown()) {
                slider->setValue(c.value);
            }
        }
        break;
    case ControlKind::StatusBar:
        // The fixed steps of a build are translated; a text put together from parts (a file
        // name, a page count) has no translation and shows as it is.
        if (auto* bar = qobject_cast<QStatusBar*>(w)) {
            bar->showMessage(coreText(c.text));
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            label->setText(coreText(c.text));
        }
        break;
    default:
        break;
    }
}

} // namespace

void FormBinder::pushTo(const Control& c, const Binding& b) {
    QObject* o = b.target;
    if (auto* action = qobject_cast<QAction*>(o)) {
        action->setEnabled(c.enabled);
        action->setVisible(c.visible);
        if (b.button > 0) {
            const bool on = c.buttons[static_cast<std::size_t>(b.button - 1)] != 0;
            action->setCheckable(true);
            action->setChecked(on);
        } else if (action->isCheckable()) {
            action->setChecked(c.value != 0);
        }
        return;
    }
    auto* w = qobject_cast<QWidget*>(o);
    if (w == nullptr) {
        return;
    }
    w->setEnabled(c.enabled);
    // A window is shown and hidden by its owner, never by the model.
    if (!w->isWindow() && w->isHidden() == c.visible) {
        w->setVisible(c.visible);
    }

    if (pictures_) {
        if (auto* label = qobject_cast<QLabel*>(w)) {
            const QPixmap picture = pictures_(c, label->contentsRect().size());
            if (!picture.isNull()) {
                label->setPixmap(picture);
            }
        }
    }

    if (b.button > 0) {
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            button->setCheckable(true);
            button->setChecked(c.buttons[static_cast<std::size_t>(b.button - 1)] != 0);
        }
        return;
    }

    pushValue(w, c);
}

QWidget* FormBinder::widget(const std::string& name, int index) const {
    auto it = bindings_.constFind(objectNameFor(name, index));
    if (it == bindings_.constEnd()) {
        return nullptr;
    }
    for (const Binding& b : *it) {
        if (b.button == 0) {
            return qobject_cast<QWidget*>(b.target.data());
        }
    }
    return nullptr;
}

} // namespace plait::gui
