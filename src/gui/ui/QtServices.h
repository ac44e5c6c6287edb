#pragma once

#include "core/ui/Interfaces.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

class QMessageBox;

#include <functional>

// The desktop's own dialogs and launcher behind the small interfaces that the program's logic
// talks to. Windows take them by interface, so tests hand in fakes instead.
namespace plait::gui {

// The window that a box or dialog opened now belongs to: the active modal dialog, else the
// active window, else the given one.
QWidget* dialogOwner(QWidget* fallback);

class QtMessageBox : public ui::MessageBox {
public:
    explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    ui::Answer show(const std::string& text, const std::string& caption, ui::Icon icon,
                    ui::Buttons buttons) override;
    ui::Answer showDetailed(const std::string& text, const std::string& details, const std::string& caption,
                            ui::Icon icon, ui::Buttons buttons) override;
    // Gives a box its text, details, caption, icon and buttons (what show() opens).
    static void fill(QMessageBox& box, const std::string& text, const std::string& details,
                     const std::string& caption, ui::Icon icon, ui::Buttons buttons);

private:
    QPointer<QWidget> parent_;
};

class QtFileDialog : public ui::FileDialog {
public:
    explicit QtFileDialog(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void showOpen(ui::FileDialogState& state) override;
    void showSave(ui::FileDialogState& state) override;

    // "Description|*.a;*.b|All Files (*.*)|*.*" as Qt's name filters: "Description (*.a *.b)",
    // "All Files (*)". File names here are case-sensitive, so each extension is offered in lower
    // and upper case as well, and "*.*" (every file, a dot or not) becomes "*".
    static QStringList nameFilters(const std::string& filter);

private:
    void run(ui::FileDialogState& state, bool save);
    QPointer<QWidget> parent_;
};

class QtColorDialog : public ui::ColorDialog {
public:
    explicit QtColorDialog(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    std::optional<ui::ColorValue> pickColor() override;

private:
    QPointer<QWidget> parent_;
};

class QtShellOpen : public ui::ShellOpen {
public:
    // Hands the path to the desktop's handler for its type; what happens then is the desktop's.
    // When the desktop has no handler or cannot start it, onFailure hears of it.
    void open(const std::string& path) override;

    // What hands a URL to the desktop (QDesktopServices by default; tests replace it).
    std::function<bool(const QUrl&)> opener;
    // Told the file (or address) that could not be opened.
    std::function<void(const QString&)> onFailure;
};

} // namespace plait::gui
