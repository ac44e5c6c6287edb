#pragma once

#include "core/ui/Form.h"

#include <QColor>
#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPalette;

namespace plait::gui {

// Binds a tree of Qt widgets to a plait::ui::Form by name, both ways.
//
// A widget (or QAction) belongs to a control when its objectName is the control's name, or for a
// member of a control array `name_N` (txtMediaBox_2). Toolbar buttons are `toolbar_B` with B the
// button number from 1; a widget named after the toolbar itself gets its enabled/visible state.
//
// Captions come from the model too: a form gives the widgets their place and name only.
//
// The model is the truth. Changes made by the program (loading, reset, rules) are pushed into the
// widgets while a guard makes the widgets' own change signals fall silent, so nothing echoes back
// as a user edit. After each user edit the edited widget is re-read from the model, so whatever the
// model made of the edit is what the user sees.
class FormBinder : public QObject {
    Q_OBJECT
public:
    // Called when the user clicks or releases a bound slider; the default stores the position.
    using SliderClick = std::function<void(ui::Form&, const ui::Control&, int position)>;
    // The picture a QLabel bound to a control shows (a null pixmap leaves the label alone).
    using PictureSource = std::function<QPixmap(const ui::Control&, QSize size)>;

    FormBinder(QWidget* root, ui::Form& form, QObject* parent = nullptr);
    ~FormBinder() override;

    // Binds the same widgets to another model (the old one may already be gone) and shows it.
    void rebind(ui::Form& form);
    ui::Form& form() const { return *form_; }
    QWidget* root() const { return root_; }

    // Re-reads every bound widget from the model.
    void refresh();

    // The widget bound to a control, or nullptr.
    QWidget* widget(const std::string& name, int index = -1) const;
    // The objectName a control's widget must carry.
    static QString objectNameFor(const std::string& name, int index);

    void setSliderClick(SliderClick click) { sliderClick_ = std::move(click); }
    // Takes effect at once for every bound label.
    void setPictureSource(PictureSource source);

    // True while the binder itself writes into widgets.
    bool pushing() const { return pushing_ > 0; }

    // Shows a control's caption on its widget, menu or action (nothing when it has none). The
    // binder does so for every control it binds.
    static void showCaption(QObject* target, const ui::Control& c);

    // Colour values: 0x00BBGGRR, or 0x800000nn for a system colour resolved through a palette.
    static QColor toQColor(ui::ColorValue value, const QPalette& palette);
    static ui::ColorValue fromQColor(const QColor& color);

signals:
    // A bound command button was clicked or a bound menu action triggered.
    void clicked(const QString& name, int index);

private:
    struct Binding {
        std::string name;
        int index = -1;
        int button = 0; // toolbar button number, 0 otherwise
        QPointer<QObject> target;
    };

    void bindAll();
    void unbindAll();
    void connectWidget(const Binding& b, ui::ControlKind kind);
    void onModelChange(const ui::Control& c, ui::Property p);
    void push(const ui::Control& c);
    void pushTo(const ui::Control& c, const Binding& b);
    void userEdited(const Binding& b);

    QPointer<QWidget> root_;
    ui::Form* form_;
    ui::Subscription listener_;
    int pushing_ = 0;
    SliderClick sliderClick_;
    PictureSource pictures_;
    // Control key (name + index, or name for a toolbar) -> its bound widgets.
    QHash<QString, std::vector<Binding>> bindings_;
    std::vector<QMetaObject::Connection> connections_;
};

} // namespace plait::gui
