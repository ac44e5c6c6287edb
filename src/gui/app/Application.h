#pragma once

#include "core/app/MainWindow.h"

#include <QStringList>

#include <memory>

namespace plait::gui {

class MainWindowView;
class QtShellOpen;
class SettingsDialog;

// The desktop program wired together: the engines, the main window and its logic, the
// settings dialog with the outline editor, the about box, the build notes, and closing
// during a build. The program's main() and the start-up benchmark both run this.
class Application {
public:
    // A file dialog given here replaces Qt's (the benchmark answers from a script). With a
    // worker program, builds run in it (worker/IsolatedEngine.h), where Cancel can stop them
    // even inside the PDF library; without one they run in this process.
    explicit Application(ui::FileDialog* fileDialog = nullptr, const std::string& workerPath = {});
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Runs the window's load step, shows it, then adds the files named on the command line
    // (a settings file among them is opened), as a drop of them would.
    void start(const QStringList& files = {});

    MainWindowView& view();
    core::app::MainWindow& window();
    SettingsDialog& settingsDialog();
    QtShellOpen& shell();

private:
    struct Parts;
    std::unique_ptr<Parts> p_;
};

// Points Qt's own settings (the file dialog's history, its last folder) at a place where
// nothing can be written, so that the program leaves no file behind between runs.
void keepNoSettingsBetweenRuns();

// The command line: `pdfplait [FILE...]`, with --help and --version. Returns the files.
QStringList parseCommandLine(const QStringList& arguments);

} // namespace plait::gui
