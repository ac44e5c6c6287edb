#include "CliServices.h"

#include <chrono>
#include <csignal>
#include <exception>
#include <future>
#include <ostream>
#include <thread>

namespace plait::cli {

std::atomic<bool> gInterrupted{false};

namespace {
extern "C" void onInterrupt(int /*signal*/) { gInterrupted.store(true); }
} // namespace

void installInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

ui::Answer StderrMessageBox::show(const std::string& text, const std::string& caption, ui::Icon icon,
                                  ui::Buttons buttons) {
    ++count_;
    if (caption == "Error") {
        sawError_ = true;
    }
    const char* kind = icon == ui::Icon::Critical      ? "error"
                       : icon == ui::Icon::Exclamation ? "warning"
                                                       : "note";
    err_ << "plait: " << kind << ": " << text << '\n';
    // No one to answer a question: keep everything as it is.
    return buttons == ui::Buttons::Ok ? ui::Answer::Ok : ui::Answer::No;
}

std::string TerminalHost::runEngine(engine::MergeEngine& engine, core::build::ProgressWindow& progress) {
    if (!threaded_) {
        return engine.BuildPDF();
    }
    gInterrupted.store(false);
    installInterruptHandler();
    auto future = std::async(std::launch::async, [&engine] { return engine.BuildPDF(); });
    if (window != nullptr) {
        window->progressTimerTick();
    }
    bool cancelled = false;
    while (future.wait_for(std::chrono::milliseconds(core::build::ProgressWindow::kTickMilliseconds)) !=
           std::future_status::ready) {
        if (gInterrupted.load() && !cancelled) {
            cancelled = true;
            progress.cancel(engine);
            if (showProgress_) {
                err_ << "\nplait: cancelling...\n";
            }
        }
        if (!cancelled && progress.loaded()) {
            progress.tick(engine);
            drawProgress(progress, false);
        }
    }
    if (!cancelled && progress.loaded()) {
        progress.tick(engine);
        drawProgress(progress, true);
    }
    return future.get();
}

void TerminalHost::drawProgress(const core::build::ProgressWindow& progress, bool last) {
    if (!showProgress_) {
        return;
    }
    std::string line = "[" + std::to_string(progress.barValue()) + "%] " + progress.statusText();
    if (line.size() > 100) {
        line.resize(100);
    }
    std::string padded = line;
    if (padded.size() < lastWidth_) {
        padded.append(lastWidth_ - padded.size(), ' ');
    }
    lastWidth_ = line.size();
    err_ << '\r' << padded;
    if (last) {
        err_ << '\n';
    }
    err_.flush();
}

void TerminalHost::engineFinished(const engine::MergeEngine& engine) {
    for (const auto& w : engine.warnings()) {
        err_ << "plait: warning: " << w << '\n';
    }
}

} // namespace plait::cli
