#pragma once

#include "core/support/Fakes.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindowView.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/ui/TestApp.h"

namespace plait::test {

// The whole program as main() wires it, started with `files`, its file dialog answering from a
// script; at the end its windows close without asking to save.
struct ProgramHarness {
    explicit ProgramHarness(const QStringList& files = {}, const std::string& workerPath = {})
        : program((testApp(), &dialogs), workerPath) {
        program.start(files);
    }
    ~ProgramHarness() {
        program.settingsDialog().hide();
        program.view().closeWithoutAsking = true;
        program.view().close();
    }
    FakeFileDialog dialogs;
    gui::Application program;
};

} // namespace plait::test
