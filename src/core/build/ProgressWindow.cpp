#include "ProgressWindow.h"

#include <charconv>

namespace plait::core::build {

ProgressWindow::ProgressWindow() {
    add({.name = "frmPDFProcess", .kind = ui::ControlKind::Other, .text = kInitialCaption, .visible = false});
    add({.name = "Label1", .kind = ui::ControlKind::Label, .caption = "Building PDF - Please wait..."});
    add({.name = "ProgressBar1", .kind = ui::ControlKind::Slider});
    add({.name = "StatusBar1", .kind = ui::ControlKind::StatusBar});
    add({.name = "CancelButton", .kind = ui::ControlKind::CommandButton, .caption = "&Cancel"});
}

void ProgressWindow::load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    setVisible("frmPDFProcess", true);
}

void ProgressWindow::unload() {
    if (!loaded_) {
        return;
    }
    loaded_ = false;
    setVisible("frmPDFProcess", false);
    if (onUnload) {
        onUnload();
    }
}

void ProgressWindow::tick(const engine::MergeEngine& engine) {
    setText("StatusBar1", engine.stsMsg());
    const std::string bar = engine.stsBar();
    if (!bar.empty()) {
        // The engine's number is shown unchanged; text that is no number leaves the bar.
        long long v = 0;
        const char* first = bar.data();
        while (first != bar.data() + bar.size() && *first == ' ') {
            ++first;
        }
        auto [ptr, ec] = std::from_chars(first, bar.data() + bar.size(), v);
        if (ec == std::errc() && ptr != first) {
            if (v > INT32_MAX) {
                v = INT32_MAX;
            } else if (v < INT32_MIN) {
                v = INT32_MIN;
            }
            setValue("ProgressBar1", static_cast<int>(v));
        }
    }
    const std::string title = engine.stsTitle();
    if (!title.empty() && title != caption()) {
        setText("frmPDFProcess", title);
    }
}

void ProgressWindow::cancel(engine::MergeEngine& engine) {
    engine.setCancelBuild(1);
    unload();
}

} // namespace plait::core::build
