#include "CloseWhileBuilding.h"

#include "MainWindow.h"

namespace plait::core::app {

CloseWhileBuilding::CloseWhileBuilding(ui::MessageBox& messages, Actions actions)
    : messages_(messages), actions_(std::move(actions)) {}

void CloseWhileBuilding::closeRequested() {
    if (closing_) {
        return; // already stopping; the window closes when the build ends
    }
    if (messages_.show("A build is still running. Stop it?", kShortTitle, ui::Icon::Question,
                       ui::Buttons::YesNo) != ui::Answer::Yes) {
        return;
    }
    closing_ = true;
    if (actions_.stopBuild) {
        actions_.stopBuild();
    }
}

void CloseWhileBuilding::buildFinished() {
    if (!closing_) {
        return;
    }
    closing_ = false;
    if (actions_.closeWindow) {
        actions_.closeWindow();
    }
}

} // namespace plait::core::app
