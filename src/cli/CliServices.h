#pragma once

#include "core/app/MainWindow.h"
#include "core/ui/Interfaces.h"

#include <atomic>
#include <iosfwd>
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

// Runs the engine. With `threaded` the run goes on a worker thread while this thread shows
// progress on the terminal every 250 ms, and Ctrl+C cancels it.
class TerminalHost : public core::app::WindowHost {
public:
    TerminalHost(std::ostream& err, bool threaded, bool showProgress)
        : err_(err), threaded_(threaded), showProgress_(showProgress) {}
    void setBusyCursor(bool /*busy*/) override {}
    std::string runEngine(engine::MergeEngine& engine, core::build::ProgressWindow& progress) override;
    void engineFinished(const engine::MergeEngine& engine) override;

    core::app::MainWindow* window = nullptr;

private:
    void drawProgress(const core::build::ProgressWindow& progress, bool last);

    std::ostream& err_;
    bool threaded_;
    bool showProgress_;
    std::size_t lastWidth_ = 0;
};

// Set by SIGINT/SIGTERM while a build runs.
extern std::atomic<bool> gInterrupted;
void installInterruptHandler();

} // namespace plait::cli
