#pragma once

#include "core/app/InputList.h"
#include "core/build/BuildDriver.h"
#include "core/build/ProgressWindow.h"
#include "core/outline/OutlineEditor.h"
#include "core/settings/SettingsModel.h"
#include "core/ui/Form.h"
#include "core/ui/Interfaces.h"
#include "core/ui/Platform.h"
#include "core/ui/PreviewWait.h"
#include "core/ui/Titles.h"
#include "engine/EngineRegistry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace plait::core::app {

using ui::kAppTitle;
using ui::kPathSeparator;
using ui::kShortTitle;
using ui::Platform;
using ui::ProgramTerminated;

// What the main window asks of the desktop beyond the small dialog interfaces and a build's
// needs: the other windows.
class WindowHost : public build::EngineHost {
public:
    virtual void showSettingsDialog() {}
    virtual void showAbout() {}
    // Closes every window of the program (the shutdown sequence has decided to end).
    virtual void closeAllWindows() {}
};

struct MainWindowServices {
    ui::MessageBox& messages;
    ui::FileDialog& fileDialog;
    ui::ShellOpen& shell;
    ui::PreviewPane& preview;
    ui::EventPump& events;
    WindowHost& host;
    const engine::EngineRegistry& engines;
    const Platform& platform;
};

// The main window's logic: its controls as data (bound to the view by name), its state,
// the input list, and every command. The view forwards user actions here and mirrors the
// controls; everything it shows is decided here.
class MainWindow {
public:
    explicit MainWindow(MainWindowServices services);
    ~MainWindow();

    // Start-up (the window's load step) and shutdown. unload() returns false when the user
    // chose to keep the window open.
    void load();
    bool unload();

    ui::Form& form() { return form_; }
    const ui::Form& form() const { return form_; }
    InputList& inputs() { return inputs_; }
    const InputList& inputs() const { return inputs_; }
    settings::SettingsModel& settings() { return *settings_; }
    const settings::SettingsModel& settings() const { return *settings_; }
    // The bookmark outline lives with the settings dialog and goes with every reset; its key
    // counter lives for the whole run.
    outline::Outline& outline() { return outlineEditor_->outline(); }
    const outline::Outline& outline() const { return outlineEditor_->outline(); }
    outline::OutlineEditor& outlineEditor() { return *outlineEditor_; }
    outline::KeyCounter& bmKeyCount() { return bmKeyCount_; }
    build::ProgressWindow* progressWindow() { return driver_.progress(); }

    // State held for the whole run.
    std::int16_t overlayType() const { return overlayType_; }
    const std::string& currentSettingsFile() const { return currentSettingsFile_; }
    const std::string& lastOutputFile() const { return driver_.lastOutputFile(); }
    bool firstOpenDialog() const { return firstOpenDialog_; }
    bool& firstOpenDialogFlag() { return firstOpenDialog_; }
    const std::string& blankPreviewHtml() const { return blankPreviewHtml_; }
    bool building() const { return driver_.building(); }
    ui::FileDialogState& fileDialogState() { return dialog_; }

    // Input list (add, move, remove, click).
    void openScript();
    bool insertFile(const std::string& path);
    // Chooses the pages the build takes from the input at `index` ("" every page); they are
    // kept with the entry when it moves, and saved in settings files.
    void setInputPages(std::size_t index, const std::string& pages);
    void moveUp();
    void moveDown();
    void removeSelected();
    void removeAll();
    void clickEntry(std::size_t index);
    // Files handed over by the desktop (dropped on the window, or named when the program
    // starts), in order: a settings file (.plt) is opened as "&Open..." opens one, a folder
    // adds the PDFs it holds (by name), anything else is added as "Add &File..." adds it.
    // Relative names are taken against the current folder.
    void openFiles(const std::vector<std::string>& paths);

    // Commands.
    void clickToolbar(int index);
    void clickMergeButton(int index);
    void chooseOutputFile();
    void viewSelectedFile();
    void openManual();
    void displayOutput();
    void addOutputFile();
    void showSettings();
    void showAbout();
    void exitProgram(); // asks the window to close: the caller then runs unload()
    // The user opened a locked input in the preview with `password`: offers to add it to the
    // build's input passwords (nothing is asked when they hold it already).
    void offerInputPassword(const std::string& password);

    // The build (go / "&Build PDF").
    void buildPDF();
    // The bookmark markup file the outline was read from (`plait build --bookmarks`); a
    // build never writes its output over it.
    void setBookmarksFile(std::string path) { bookmarksFile_ = std::move(path); }
    // tmrMain's one tick during a build.
    void progressTimerTick();

    // Settings: reset to defaults, open and save files.
    void resetSettings();
    void loadSettings();
    bool loadSettingsFrom(const std::string& path);
    void saveSettings(bool askForName);
    bool saveSettingsTo(const std::string& path);
    // The bytes a save would write now.
    std::string settingsFileBytes() const;
    // Applies the build mode as a loaded file does.
    void setOverlayType(int mode);
    // Called after every reset, so views can rebind to the new settings.
    std::function<void()> onSettingsReset;

    // Views mirror the input list through these notifications.
    enum class ListChange { Appended, Moved, Removed, Cleared, Selected };
    std::function<void(ListChange, std::size_t index, std::size_t other)> onInputsChanged;
    // The main window takes the keyboard focus (after files were added).
    std::function<void()> onFocusRequest;

    // What the engine of the last build noted (options it does not carry out, damage it
    // repaired, ...), and a call once each build has ended, so a view can offer them.
    const std::vector<std::string>& lastWarnings() const { return driver_.lastWarnings(); }
    std::function<void()> onBuildFinished;
    // True when the last build stopped before its engine ran for want of the protection it
    // asks for (a password that differs from its confirmation, a settings file whose
    // passwords could not be read).
    bool lastBuildRefused() const { return driver_.lastBuildRefused(); }
    // The loaded settings file whose security settings could not be read, while the security
    // fields still hold what its load left there (a build is then refused); empty otherwise.
    std::string unreadSecurityFile() const;

    // Preview pane.
    void browserwait();
    void showFile(const std::string& path);
    void showBlankPage();

    // The output name completion of a build.
    std::string fixOutName(std::string name, const std::string& extension) const {
        return driver_.fixOutName(std::move(name), extension);
    }

private:
    void loadSteps();
    void toolbarClicked(int index);
    void setListControlsEnabled(bool enabled);
    void notifyInputs(ListChange change, std::size_t index = 0, std::size_t other = 0);
    void setStatus(const std::string& text);
    // The compatibility level and the four passwords, as one text to compare.
    std::string securityFields() const;

    MainWindowServices s_;
    ui::Form form_;
    InputList inputs_;
    std::unique_ptr<settings::SettingsModel> settings_;
    outline::KeyCounter bmKeyCount_;
    std::unique_ptr<outline::OutlineEditor> outlineEditor_;
    std::int16_t overlayType_ = 0;
    std::string currentSettingsFile_;
    std::string bookmarksFile_;
    bool firstOpenDialog_ = true;
    std::string blankPreviewHtml_;
    ui::FileDialogState dialog_;
    build::BuildDriver driver_;
    struct UnreadSecurity {
        std::string file;
        std::string fieldsAsLoaded;
    };
    std::optional<UnreadSecurity> unreadSecurity_;
};

// True for a name that ends in the settings files' extension (.plt, in any case).
bool isSettingsFileName(const std::string& path);
// The PDFs directly inside a folder, sorted by name; none when it cannot be read.
std::vector<std::string> pdfFilesIn(const std::string& folder);

// The markup of the grey page the preview pane shows when nothing is previewed.
std::string makeBlankPreviewHtml();

} // namespace plait::core::app
