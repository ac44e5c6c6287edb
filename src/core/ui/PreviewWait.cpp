#include "PreviewWait.h"

#include "Titles.h"

namespace plait::ui {

bool waitForPreview(PreviewPane& pane, EventPump& events, MessageBox& messages) {
    for (int passes = 0; passes < kPreviewWaitPasses && pane.readyState() != kPreviewReady; ++passes) {
        events.processEvents();
    }
    if (pane.readyState() == kPreviewReady) {
        return true;
    }
    messages.show("Browser not in ready state", kAppTitle, Icon::None, Buttons::Ok);
    events.terminate();
    return false;
}

} // namespace plait::ui
