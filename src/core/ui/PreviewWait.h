#pragma once

#include "Interfaces.h"

#include <stdexcept>

namespace plait::ui {

// A preview pane that loads in the background is ready when it reports this state.
inline constexpr int kPreviewReady = 4;
// How many rounds of pending events a wait lets run before it gives the pane up.
inline constexpr int kPreviewWaitPasses = 50000;

// Thrown once the program has been told to end at once (the preview pane never became
// ready), so that no caller goes on with what it was doing.
struct ProgramTerminated : std::runtime_error {
    ProgramTerminated() : std::runtime_error("program terminated") {}
};

// Lets events run until the pane is ready. A pane that never becomes ready is reported
// ("Browser not in ready state"), the program is told to end, and the result is false.
bool waitForPreview(PreviewPane& pane, EventPump& events, MessageBox& messages);

} // namespace plait::ui
