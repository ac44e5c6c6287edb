#pragma once

#include "core/settings/SettingsModel.h"
#include "core/ui/Interfaces.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QAbstractButton;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTreeWidget;

namespace plait::gui {

class FormBinder;
class PreviewWidget;

// What the settings dialog needs from the rest of the program.
struct SettingsDialogServices {
    ui::MessageBox& messages;
    ui::ColorDialog& colors;
    ui::FileDialog& files;
    ui::ShellOpen& shell;
    // The program-wide flag: the first file dialog of the run starts in the current directory.
    bool& firstOpenDialog;
    // "Reset All" answered Yes: the owner replaces the model and calls rebind().
    std::function<void()> resetSettings;
    // The grey blank page of the preview panes.
    std::function<std::string()> blankPreviewHtml;
    // The input to preview when the dialog becomes active: "" unless "View" is checked in the
    // main window and an input is selected there.
    std::function<std::string()> previewTarget;
    // Lets window events run and ends the program (the preview pane's wait); may be null.
    ui::EventPump* events = nullptr;
};

// The "Build Settings" dialog: fifteen tabs of option fields bound by name to the settings
// model, the OK and Reset All buttons and a status bar. The model holds every value and rule;
// the dialog adds what only a screen has: the look of the fields, focus moves, and layout.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTabCount = core::settings::kTabCount;

    SettingsDialog(core::settings::SettingsModel& model, SettingsDialogServices services,
                   QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // Shows a replacement model as a freshly created dialog would: first tab, empty outline.
    void rebind(core::settings::SettingsModel& model);
    core::settings::SettingsModel& model() const { return *model_; }
    FormBinder& binder() const { return *binder_; }

    int currentTab() const;
    void setCurrentTab(int tab);
    QWidget* tabPage(int tab) const;
    QAbstractButton* tabButton(int tab) const;
    QWidget* tabControl() const { return tabControl_; }
    // Height of one row of tabs.
    int tabHeight() const;

    PreviewWidget* preview() const;
    QTreeWidget* outlineTree() const;

    // Lays out the Bookmarks tab: the outline takes the height left over, the preview fills the
    // rest of the tab to its right.
    void setBookmarkPositions();
    // Whether the Bookmarks tab is the one showing.
    bool bookmarksShowing() const;

    // Twips (1/1440 inch) to pixels at the screen's logical resolution.
    int twipsX(int twips) const;
    int twipsY(int twips) const;
    static int twipsToPixels(int twips, int dpi);

    // Re-reads the preview as the dialog does each time it becomes the active window.
    void activate();

signals:
    void tabChanged(int tab);

protected:
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildTabs();
    void buildFrame();
    void decorate();
    void bindModel();
    void watchMasking();
    void applyMasking();
    // Sizes and lays out the window as it first opens (SettingsDialogLayout.cpp, with the rest
    // of the window's geometry).
    void openAtDesignedSize();
    void layoutWindow();
    QSize minimumDialogSize() const;
    void fitTabCaptions(int tabWidth);
    void placeBookmarkControls();
    void onClicked(const QString& name, int index);
    void userChangedTab(int tab);
    void confirmReset();
    void checkConfirmation(const QString& box);
    void browserwait();

    core::settings::SettingsModel* model_;
    SettingsDialogServices s_;
    std::unique_ptr<FormBinder> binder_;
    ui::Subscription masking_;

    QWidget* tabControl_ = nullptr;
    QWidget* tabRows_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    std::array<QAbstractButton*, kTabCount> tabButtons_{};
    std::array<QWidget*, kTabCount> pages_{};
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnReset_ = nullptr;
    QStatusBar* status_ = nullptr;
    bool activatedSinceShow_ = false;
};

} // namespace plait::gui
