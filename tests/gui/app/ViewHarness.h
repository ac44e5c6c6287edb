#pragma once

#include "core/support/Fakes.h"
#include "gui/app/MainWindowView.h"
#include "gui/app/PreviewWidget.h"
#include "gui/app/QtWindowHost.h"
#include "gui/ui/TestApp.h"

#include <QApplication>

#include <memory>

namespace plait::test {

// The real view, the real worker-thread host, the real preview pane; fake dialogs.
struct ViewHarness {
    ViewHarness() {
        engines.add(std::string(engine::kPlaitEngineName), [this] {
            auto e = std::make_unique<engine::RecordingEngine>(log);
            e->setRunHook(hook);
            return e;
        });
        window = std::make_unique<core::app::MainWindow>(core::app::MainWindowServices{
            messages, files, shell, *view.preview(), events, host, engines, platform});
        view.attach(*window);
        window->load();
        view.show();
    }
    template <typename T> T* child(const char* name) { return view.findChild<T*>(QString::fromLatin1(name)); }
    struct AppFirst {
        AppFirst() { test::testApp(); }
    } app;
    gui::MainWindowView view;
    test::FakeMessageBox messages;
    test::FakeFileDialog files;
    test::FakeShell shell;
    gui::QtEventPump events;
    gui::QtWindowHost host{view};
    test::TestPlatform platform;
    engine::EngineRegistry engines;
    std::shared_ptr<engine::CallLog> log = std::make_shared<engine::CallLog>();
    engine::RecordingEngine::RunHook hook = [](engine::RecordingEngine&) { return std::string("1"); };
    std::unique_ptr<core::app::MainWindow> window;
};

} // namespace plait::test
