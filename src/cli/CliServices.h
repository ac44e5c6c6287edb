#pragma once

#include "core/app/MainWindow.h"
#include "core/ui/Interfaces.h"
#include "worker/ProcessLimits.h"

#include <atomic>
#include <chrono>
#include <iosfwd>
#include <new>
#include <optional>
#include <string>

namespace plait::cli {

// Messages the windows would show in a box go to standard error; a box with the caption
// "Error" marks the run as failed.
class StderrMessageBox : public ui::MessageBox {
public:
    explicit StderrMessageBox(std::ostream& err) : err_(err) {}
    ui::Answer show(const std::string& text, const std::string& caption, ui::Icon icon,
                    ui::Buttons buttons) override;
    bool sawError() const { return sawError_; }
    int count() const { return count_; }

private:
    std::ostream& err_;
    bool sawError_ = false;
    int count_ = 0;
};

// No dialogs in batch use: every dialog is cancelled.
class NoFileDialog : public ui::FileDialog {
public:
    void showOpen(ui::FileDialogState& state) override { state.fileName.clear(); }
    void showSave(ui::FileDialogState& state) override { state.fileName.clear(); }
};

class NoShell : public ui::ShellOpen {
public:
    void open(const std::string& /*path*/) override {}
};

// A pane that is always ready and shows nothing.
class NoPreview : public ui::PreviewPane {
public:
    int readyState() override { return 4; }
    void navigate(const std::string& /*target*/) override {}
    void setBackgroundColor(const std::string& /*color*/) override {}
    void setBodyHtml(const std::string& /*html*/) override {}
};

class NoEvents : public ui::EventPump {
public:
    void processEvents() override {}
    void terminate() override {}
};

// What one build may cost. Zero lifts a bound.
struct BuildLimits {
    static constexpr unsigned kDefaultSeconds = 600;
    static constexpr unsigned long kDefaultMegabytes = 4096;
    unsigned seconds = kDefaultSeconds;          // wall-clock time of the build
    unsigned long megabytes = kDefaultMegabytes; // address space of the whole process
};

// Caps the address space of this process, so that a hostile input makes the build fail
// (std::bad_alloc) instead of exhausting the machine. Skipped under AddressSanitizer, which
// reserves far more address space than it uses.
void applyMemoryLimit(unsigned long megabytes);

// Runs the engine on this thread. With `threaded` and `showProgress`, a watcher thread shows
// progress on the terminal every 250 ms (engine::buildWatched); with `threaded` alone, no
// thread watches and signal handlers do its work. Ctrl+C, SIGTERM, SIGHUP and SIGQUIT cancel
// it; a second signal, or a build that has not stopped a second after it was cancelled (stuck
// in the PDF library), ends the process at once after removing the temporary output. The
// watchdog cancels a build that runs past its time limit the same way.
class TerminalHost : public core::app::WindowHost {
public:
    TerminalHost(std::ostream& err, bool threaded, bool showProgress, BuildLimits limits = {})
        : err_(err), threaded_(threaded), showProgress_(showProgress), limits_(limits) {}
    void setBusyCursor(bool /*busy*/) override {}
    std::string runEngine(engine::MergeEngine& engine, core::build::ProgressWindow& progress) override;
    void engineFinished(const engine::MergeEngine& engine) override;

    core::app::MainWindow* window = nullptr;

    // The last build was cancelled (by a signal or the time limit) and wrote nothing.
    bool cancelled() const { return cancelled_; }
    bool timedOut() const { return timedOut_; }

private:
    std::string runQuietly(engine::MergeEngine& engine, core::build::ProgressWindow& progress);
    void drawProgress(const core::build::ProgressWindow& progress, bool last);
    void watch(engine::MergeEngine& engine, core::build::ProgressWindow& progress,
               std::chrono::steady_clock::time_point start,
               std::optional<std::chrono::steady_clock::time_point>& cancelledAt);
    [[noreturn]] void endStuckBuild(const engine::MergeEngine& engine);

    std::ostream& err_;
    bool threaded_;
    bool showProgress_;
    BuildLimits limits_;
    bool cancelled_ = false;
    bool timedOut_ = false;
    std::size_t lastWidth_ = 0;
};

// Set by the first SIGINT, SIGTERM, SIGHUP or SIGQUIT while a build runs.
extern std::atomic<bool> gInterrupted;
// Installs the handlers for the length of a build; the destructor puts the defaults back.
class InterruptHandlers {
public:
    InterruptHandlers();
    ~InterruptHandlers();
    InterruptHandlers(const InterruptHandlers&) = delete;
    InterruptHandlers& operator=(const InterruptHandlers&) = delete;
};

} // namespace plait::cli
