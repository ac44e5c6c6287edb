#pragma once

#include "core/app/MainWindow.h"

#include <QMainWindow>

class QLabel;

#include <memory>

namespace Ui {
class MainWindowView;
}

namespace plait::gui {

class FormBinder;
class PageCounts;
class PreviewWidget;

// The main window: mirrors core::app::MainWindow's controls by name and forwards every user
// action to it. It lays itself out by the window's layout rules on every resize.
class MainWindowView : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindowView(QWidget* parent = nullptr);
    ~MainWindowView() override;

    // Connects the view to the logic (the logic needs the preview pane first, so the two are
    // made separately).
    void attach(core::app::MainWindow& window);
    core::app::MainWindow* window() const { return window_; }

    PreviewWidget* preview() const;
    FormBinder* binder() const { return binder_; }
    PageCounts* pageCounts() const { return pageCounts_; }
    // Says in the status bar that the desktop could not open a file (no application for it).
    void showCannotOpen(const QString& target);
    // What the status bar says of the selected input (its page count, or what it is), or of
    // the output when the preview shows that instead.
    QString selectedFileInfo() const;
    // Shows it, cut short in the middle when long (the whole text is in the tooltip), so that
    // no text ever widens the window.
    void showSelectedFileInfo();
    // The widest the status bar's file information may become.
    int fileInfoWidthLimit() const;
    // Gives the keyboard focus back to `widget` after a dialog, or to the input list when it
    // is gone or cannot take it.
    void restoreFocus(QWidget* widget);

    // Lays out the controls for the current size.
    void layoutControls();

    // When set, closing asks nothing and ends at once (the program is being told to end).
    bool closeWithoutAsking = false;

    // Asked when the user closes the window while a build runs.
    std::function<void()> onCloseWhileBuilding;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onInputsChanged(core::app::MainWindow::ListChange change, std::size_t index, std::size_t other);
    void rebuildList();
    void onCommand(const QString& name);
    int twips(int value, bool horizontal) const;
    void setIcons();
    void setUpKeyboard();
    void updateEmptyListHint();
    QString entryToolTip(const QString& path) const;

    std::unique_ptr<Ui::MainWindowView> ui_;
    core::app::MainWindow* window_ = nullptr;
    FormBinder* binder_ = nullptr;
    PageCounts* pageCounts_ = nullptr;
    QLabel* fileInfo_ = nullptr;  // the selected input's page count, in the status bar
    QLabel* emptyHint_ = nullptr; // over the empty list: how to start
    bool syncingList_ = false;
    int rowAtPress_ = -1; // the list's current row when the mouse went down on it
};

} // namespace plait::gui
