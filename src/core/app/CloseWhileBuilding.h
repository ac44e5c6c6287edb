#pragma once

#include "core/ui/Interfaces.h"

#include <functional>

namespace plait::core::app {

// Closing the main window while a build runs. The engine is still writing, so the window
// cannot simply go: the user is asked whether to stop the build, and when they agree the
// build is told to stop and the window closes (with its usual save question) once the
// engine has let go of its files.
class CloseWhileBuilding {
public:
    struct Actions {
        std::function<void()> stopBuild;   // asks the running engine to stop
        std::function<void()> closeWindow; // closes the main window (later, from the event loop)
    };

    CloseWhileBuilding(ui::MessageBox& messages, Actions actions);

    // The user closed the window during a build.
    void closeRequested();
    // The build has ended, stopped or not.
    void buildFinished();
    // True between a "Yes" and the end of the build.
    bool closing() const { return closing_; }

private:
    ui::MessageBox& messages_;
    Actions actions_;
    bool closing_ = false;
};

} // namespace plait::core::app
