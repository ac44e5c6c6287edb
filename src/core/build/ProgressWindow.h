#pragma once

#include "core/ui/Form.h"
#include "engine/MergeEngine.h"

#include <functional>

namespace plait::core::build {

// The progress window of a build, as data: its caption, the engine's status text, the bar,
// and Cancel. A view shows it while `visible` is set and calls tick() every 250 ms.
class ProgressWindow : public ui::Form {
public:
    static constexpr const char* kInitialCaption = "Vantrel PDF Plait";
    static constexpr int kTickMilliseconds = 250;

    ProgressWindow();

    // Opens the window (the main window's one-shot timer does this).
    void load();
    // Closes it; the first close enables the main window again, a second does nothing.
    void unload();
    bool loaded() const { return loaded_; }

    // One poll of the engine: status text, bar (when the engine gives one), caption (when
    // the engine gives one that differs).
    void tick(const engine::MergeEngine& engine);
    // Cancel: asks the engine to stop, then closes the window at once.
    void cancel(engine::MergeEngine& engine);

    std::string caption() const { return text("frmPDFProcess"); }
    int barValue() const { return value("ProgressBar1"); }
    std::string statusText() const { return text("StatusBar1"); }

    // Called when the window closes (the main window enables itself again).
    std::function<void()> onUnload;

private:
    bool loaded_ = false;
};

// A progress window with the engine it watches, for a view that polls and cancels without
// holding the engine itself.
class WatchedBuild {
public:
    WatchedBuild(ProgressWindow& window, engine::MergeEngine& engine) : window_(window), engine_(engine) {}
    ProgressWindow& window() const { return window_; }
    void tick() const { window_.tick(engine_); }
    void cancel() const { window_.cancel(engine_); }

private:
    ProgressWindow& window_;
    engine::MergeEngine& engine_;
};

} // namespace plait::core::build
