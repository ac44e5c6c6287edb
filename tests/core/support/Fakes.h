#pragma once

// Fakes of the screen-facing interfaces: each records what it was asked and answers from a
// script, so every behaviour of the program's logic can be driven without a display.

#include "core/app/MainWindow.h"
#include "core/ui/Interfaces.h"
#include "engine/RecordingEngine.h"

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plait::test {

struct ShownMessage {
    std::string text;
    std::string caption;
    ui::Icon icon;
    ui::Buttons buttons;
    std::string details = {}; // shown beneath the text
};

class FakeMessageBox : public ui::MessageBox {
public:
    ui::Answer show(const std::string& text, const std::string& caption, ui::Icon icon,
                    ui::Buttons buttons) override {
        shown.push_back({text, caption, icon, buttons});
        if (!answers.empty()) {
            auto a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == ui::Buttons::Ok ? ui::Answer::Ok : ui::Answer::No;
    }
    ui::Answer showDetailed(const std::string& text, const std::string& details, const std::string& caption,
                            ui::Icon icon, ui::Buttons buttons) override {
        const ui::Answer answer = show(text, caption, icon, buttons);
        shown.back().details = details;
        return answer;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const auto& m : shown) {
            t.push_back(m.text);
        }
        return t;
    }
    std::vector<ShownMessage> shown;
    std::deque<ui::Answer> answers;
};

class FakeFileDialog : public ui::FileDialog {
public:
    void showOpen(ui::FileDialogState& state) override { answer(state, false); }
    void showSave(ui::FileDialogState& state) override { answer(state, true); }
    std::deque<std::string> nextNames; // "" = cancel
    std::vector<ui::FileDialogState> shownStates;
    std::vector<bool> wasSave;

private:
    void answer(ui::FileDialogState& state, bool save) {
        shownStates.push_back(state);
        wasSave.push_back(save);
        if (nextNames.empty()) {
            state.fileName.clear();
            return;
        }
        state.fileName = nextNames.front();
        nextNames.pop_front();
    }
};

// The colour dialog answers from a script; nothing left means the user cancelled.
class FakeColorDialog : public ui::ColorDialog {
public:
    std::optional<ui::ColorValue> pickColor() override {
        if (answers.empty()) {
            return std::nullopt;
        }
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<std::optional<ui::ColorValue>> answers;
};

class FakeShell : public ui::ShellOpen {
public:
    void open(const std::string& path) override { opened.push_back(path); }
    std::vector<std::string> opened;
};

class FakePreview : public ui::PreviewPane {
public:
    int readyState() override { return neverReady ? 1 : 4; }
    void navigate(const std::string& target) override {
        actions.push_back("navigate:" + target);
        current = target;
    }
    void setBackgroundColor(const std::string& color) override { actions.push_back("bgcolor:" + color); }
    void setBodyHtml(const std::string& /*html*/) override {
        actions.push_back("html");
        current = "blank";
    }
    bool neverReady = false;
    std::vector<std::string> actions;
    std::string current;
};

class FakeEvents : public ui::EventPump {
public:
    void processEvents() override { ++passes; }
    void terminate() override { terminated = true; }
    long passes = 0;
    bool terminated = false;
};

class FakeHost : public core::app::WindowHost {
public:
    void setBusyCursor(bool on) override { busy = on; }
    std::string runEngine(engine::MergeEngine& engine, core::build::ProgressWindow& progress) override {
        if (window != nullptr) {
            window->progressTimerTick();
        }
        if (duringRun) {
            duringRun(engine, progress);
        }
        return engine.BuildPDF();
    }
    void showSettingsDialog() override { ++settingsShown; }
    void showAbout() override { ++aboutShown; }
    void closeAllWindows() override { closed = true; }

    core::app::MainWindow* window = nullptr;
    std::function<void(engine::MergeEngine&, core::build::ProgressWindow&)> duringRun;
    bool busy = false;
    bool closed = false;
    int settingsShown = 0;
    int aboutShown = 0;
};

// A platform whose temporary and current folders are a fresh folder of the test's own.
class TestPlatform : public core::app::Platform {
public:
    TestPlatform();
    ~TestPlatform() override;
    std::string tempDir() const override { return (root / "tmp").string() + "/"; }
    std::string currentDir() const override { return (root / "cwd").string(); }
    std::string programDir() const override { return (root / "bin").string(); }
    std::filesystem::path root;
};

// Writes a file (creating folders) and returns its path.
std::string writeFile(const std::filesystem::path& path, const std::string& content = "%PDF-1.4\n");

// Everything a MainWindow needs, wired to fakes and a recording engine.
struct Harness {
    Harness();
    FakeMessageBox messages;
    FakeFileDialog files;
    FakeShell shell;
    FakePreview preview;
    FakeEvents events;
    FakeHost host;
    TestPlatform platform;
    engine::EngineRegistry engines;
    std::shared_ptr<engine::CallLog> log = std::make_shared<engine::CallLog>();
    std::string engineResult = "1";
    std::function<void(engine::RecordingEngine&)> configureEngine;
    std::unique_ptr<core::app::MainWindow> window;

    // A file in the test's current folder.
    std::string file(const std::string& name) { return writeFile(platform.root / "cwd" / name); }
    std::vector<std::string> calls() const { return log->lines(); }
};

} // namespace plait::test
