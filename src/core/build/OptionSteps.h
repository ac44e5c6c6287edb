#pragma once

#include "core/ui/Form.h"
#include "engine/MergeEngine.h"

#include <span>
#include <string_view>

namespace plait::core::outline {
class Outline;
}

namespace plait::core::build {

// What an option step may read: the settings dialog's controls by name, the main window's
// build mode and "Auto Open" box, and the bookmark outline.
struct StepContext {
    engine::MergeEngine& engine;
    const ui::Form& settings;
    int overlayType = 0;
    bool autoOpen = false; // chkPreview on the main window
    const outline::Outline* outline = nullptr;
};

// One option step of a build: a letter for its place in the fixed order, and the routine.
struct OptionStep {
    char letter;
    std::string_view name;
    void (*run)(StepContext&);
};

// Every option step, in the order a build runs them (a to z).
std::span<const OptionStep> optionSteps();

// Runs them all in order.
void runOptionSteps(StepContext& context);

} // namespace plait::core::build
