#pragma once

#include "core/app/MainWindow.h"
#include "core/ui/Interfaces.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace plait::gui {

class MainWindowView;

// Runs the engine on a worker thread while the window's events keep flowing, shows the
// progress window, and opens the program's other windows.
class QtWindowHost : public core::app::WindowHost {
public:
    explicit QtWindowHost(MainWindowView& view) : view_(&view) {}

    void setBusyCursor(bool busy) override;
    std::string runEngine(engine::MergeEngine& engine, core::build::ProgressWindow& progress) override;
    void showSettingsDialog() override;
    void showAbout() override;
    void closeAllWindows() override;

    std::function<void()> settingsDialog;
    std::function<void()> aboutBox;
    std::function<void()> closeOthers;

    // The engine of the run under way, for a close request that must cancel it.
    engine::MergeEngine* runningEngine() const { return running_; }

private:
    QPointer<MainWindowView> view_;
    engine::MergeEngine* running_ = nullptr;
};

// Lets queued window events run; ends the program at once when told to.
class QtEventPump : public ui::EventPump {
public:
    void processEvents() override;
    void terminate() override;
};

} // namespace plait::gui
