#pragma once

#include "core/build/OutputName.h"
#include "core/build/ProgressWindow.h"
#include "core/ui/Form.h"
#include "core/ui/Interfaces.h"
#include "core/ui/Platform.h"
#include "engine/EngineRegistry.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plait::core::outline {
class Outline;
}

namespace plait::core::build {

// What a build asks of the desktop: running the engine while the window stays responsive,
// and the busy cursor.
class EngineHost {
public:
    virtual ~EngineHost() = default;

    virtual void setBusyCursor(bool busy) = 0;

    // Runs engine.BuildPDF() and returns its result once the engine has returned. The host
    // arranges for MainWindow::progressTimerTick() to run once shortly after the start (it
    // opens the progress window and disables the main window) and for progress.tick() every
    // 250 ms while the window is open, and lets Cancel reach progress.cancel(). A host
    // without an event loop may simply call BuildPDF().
    virtual std::string runEngine(engine::MergeEngine& engine, ProgressWindow& progress) = 0;

    // The engine has returned and is about to be released (the batch command prints its
    // warnings here).
    virtual void engineFinished(const engine::MergeEngine& /*engine*/) {}
};

struct BuildServices {
    ui::MessageBox& messages;
    ui::PreviewPane& preview;
    ui::EventPump& events;
    EngineHost& host;
    const engine::EngineRegistry& engines;
    const ui::Platform& platform;
};

// One build's material. The window's controls are read and written (the output name, the
// "View" and "Auto Open" boxes, the output menu entries, the status bar and frmMain); the
// rest is only read.
struct BuildRequest {
    ui::Form& window;
    std::vector<std::string> inputs;
    const ui::Form& settings;
    int overlayType = 0;
    const outline::Outline* outline = nullptr;
    std::string blankPreviewHtml;
    // The settings file whose security settings (the compatibility level, the passwords) could
    // not be read, while the settings still hold what its load left there; the build is
    // refused, naming it. Empty otherwise.
    std::string unreadSecurityFile;
    // Files read besides the inputs (the settings file, a bookmarks file): never replaced.
    std::vector<ReadFile> readFiles;
    // The pages chosen from each input, beside `inputs` ("" takes every page; may be shorter).
    std::vector<std::string> inputPages;
};

// Turns the input list, the output name, the build mode and the settings into one run of
// the merge engine, and reports the result. Builds never overlap.
class BuildDriver {
public:
    explicit BuildDriver(BuildServices services);
    ~BuildDriver();

    void run(const BuildRequest& request);

    bool building() const { return building_; }
    // The progress window of the running build, or nullptr.
    ProgressWindow* progress() { return progress_.get(); }
    const std::string& lastOutputFile() const { return lastOutputFile_; }
    // What the engine of the last build noted.
    const std::vector<std::string>& lastWarnings() const { return lastWarnings_; }
    // True when the last build stopped before its engine ran because the protection it asks
    // for could not be given: a password that differs from its confirmation (whose message is
    // a warning, not an error), or a settings file whose passwords could not be read.
    bool lastBuildRefused() const { return lastBuildRefused_; }

    // The output name completion of a build: no name is PDFOut in the temporary folder,
    // relative names are taken against the current folder, and a PDF ends with ".pdf".
    std::string fixOutName(std::string name, const std::string& extension) const;

    // Called once each build has ended, whatever its result.
    std::function<void()> onFinished;

private:
    struct Run;
    void execute(Run& run);
    bool chooseOutput(Run& run);
    void handOver(Run& run);
    void report(Run& run, const std::string& resultText);
    std::string outcome(const Run& run, long long result) const;
    void browserwait();
    void setStatus(ui::Form& window, const std::string& text);
    void fail(const std::string& text, const std::string& details = {});

    BuildServices s_;
    std::unique_ptr<ProgressWindow> progress_;
    std::string lastOutputFile_;
    std::vector<std::string> lastWarnings_;
    bool building_ = false;
    bool lastBuildRefused_ = false;
};

} // namespace plait::core::build
