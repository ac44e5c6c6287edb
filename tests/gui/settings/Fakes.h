#pragma once

#include "core/ui/Interfaces.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace plait::test {

// Records every box it is asked to show and answers from a script (Ok, then Yes, by default).
class FakeMessageBox : public ui::MessageBox {
public:
    struct Shown {
        std::string text;
        std::string caption;
        ui::Icon icon;
        ui::Buttons buttons;
    };
    std::vector<Shown> shown;
    std::deque<ui::Answer> answers;

    ui::Answer show(const std::string& text, const std::string& caption, ui::Icon icon,
                    ui::Buttons buttons) override {
        shown.push_back({text, caption, icon, buttons});
        if (!answers.empty()) {
            ui::Answer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == ui::Buttons::Ok ? ui::Answer::Ok : ui::Answer::Yes;
    }
};

class FakeColorDialog : public ui::ColorDialog {
public:
    std::deque<std::optional<ui::ColorValue>> next;
    int calls = 0;
    std::optional<ui::ColorValue> pickColor() override {
        ++calls;
        if (next.empty()) {
            return std::nullopt;
        }
        auto c = next.front();
        next.pop_front();
        return c;
    }
};

// Returns the next name it was given ("" is a cancel) and remembers what it was shown with.
class FakeFileDialog : public ui::FileDialog {
public:
    std::deque<std::string> next;
    std::vector<ui::FileDialogState> seen;
    void showOpen(ui::FileDialogState& state) override { answer(state); }
    void showSave(ui::FileDialogState& state) override { answer(state); }

private:
    void answer(ui::FileDialogState& state) {
        seen.push_back(state);
        state.fileName = next.empty() ? std::string() : next.front();
        if (!next.empty()) {
            next.pop_front();
        }
    }
};

class FakeShellOpen : public ui::ShellOpen {
public:
    std::vector<std::string> opened;
    void open(const std::string& path) override { opened.push_back(path); }
};

} // namespace plait::test
