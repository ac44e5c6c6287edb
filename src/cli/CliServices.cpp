#include "CliServices.h"

#include "engine/FileName.h"
#include "engine/Results.h"
#include "engine/WatchedRun.h"
#include "pdfengine/PendingOutputs.h"
#include "pdfengine/PlaitEngine.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <ostream>
#include <vector>

#include <unistd.h>

namespace plait::cli {

std::atomic<bool> gInterrupted{false};

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kCrashes[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL};
// How long a cancelled build has to unwind by itself before the process ends it.
constexpr unsigned kGraceSeconds = 1;
constexpr auto kGrace = std::chrono::seconds(kGraceSeconds);

// What is said of a build stopped at its time limit, and of one stuck after its cancel, around
// its status message (` at "Reading a.pdf"`, left out while there is none).
std::string timeLimitLead(unsigned seconds) {
    return "plait: error: the build took longer than " + std::to_string(seconds) + " seconds (--time-limit)";
}
constexpr const char* kTimeLimitTail = "; it was stopped\n";
constexpr const char* kStuckLead = "plait: the build did not stop";
constexpr const char* kStuckTail = "; it was ended and nothing was written\n";

std::atomic<int> gSignalCount{0};

void say(const char* text) {
    // write() is all a signal handler may use; a short message goes out whole.
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text, std::strlen(text));
}

// ` at "STATUS"` with control characters escaped, or nothing for an empty status; with
// nothing but write(), so that a signal handler may call it.
void sayStatus(const char* status) {
    if (status == nullptr || *status == '\0') {
        return;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    char text[4 * 200 + 8] = " at \"";
    std::size_t n = std::strlen(text);
    for (const char* c = status; *c != '\0' && n + 6 < sizeof text; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte == 0x7f) {
            text[n++] = '\\';
            text[n++] = 'x';
            text[n++] = kHex[byte >> 4];
            text[n++] = kHex[byte & 15];
        } else {
            text[n++] = *c;
        }
    }
    text[n++] = '"';
    text[n] = '\0';
    say(text);
}

std::string statusText(const std::string& status) {
    return status.empty() ? std::string() : " at \"" + engine::printableText(status) + "\"";
}

// A build with no progress line runs alone in its process (engine/WatchedRun.h): signal
// handlers and the alarm clock stand in for the watcher thread, with what a handler may do.
struct QuietBuild {
    std::atomic<engine::MergeEngine*> engine{nullptr}; // while the build runs
    std::atomic<bool> cancelled{false};
    std::atomic<bool> timedOut{false};
    std::string timeLimitLead; // written before the build, only read during it
};
QuietBuild gQuiet;

// Cancels the quiet build; the alarm ends the process if the build has not returned by then.
void cancelQuietBuild(engine::MergeEngine& engine) {
    gQuiet.cancelled.store(true);
    engine.setCancelBuild(1);
    ::alarm(kGraceSeconds);
}

extern "C" void onInterrupt(int signal) {
    if (gSignalCount.fetch_add(1) == 0) {
        gInterrupted.store(true);
        if (engine::MergeEngine* engine = gQuiet.engine.load()) {
            cancelQuietBuild(*engine);
        }
        return;
    }
    // Asked twice: the user does not want to wait for the build to unwind.
    pdf::removePendingOutputs();
    say("\nplait: stopped; nothing was written\n");
    ::_exit(128 + signal);
}

// The quiet build's time limit, then the end of its grace after a cancel.
extern "C" void onAlarm(int /*signal*/) {
    engine::MergeEngine* engine = gQuiet.engine.load();
    if (engine == nullptr) {
        return; // the build has returned
    }
    if (!gQuiet.cancelled.load()) {
        gQuiet.timedOut.store(true);
        say(gQuiet.timeLimitLead.c_str());
        sayStatus(engine->stsMsgForSignal());
        say(kTimeLimitTail);
        cancelQuietBuild(*engine);
        return;
    }
    // Cancelled, and still running after its grace: stuck in the PDF library.
    pdf::removePendingOutputs();
    say(kStuckLead);
    sayStatus(engine->stsMsgForSignal());
    say(kStuckTail);
    ::_exit(gQuiet.timedOut.load() ? 1 : 130);
}

// A crash (a library that aborts when memory runs out, say) still takes the temporary output
// with it; then the signal does what it would have done.
extern "C" void onCrash(int signal) {
    // Runs on the thread's own signal stack where it has one, so that a stack overflow
    // (deep recursion in a library) is handled too.
    pdf::removePendingOutputs();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Gives the calling thread a stack for signal handlers of its own, for the life of the thread.
void useSignalStack() {
    thread_local std::vector<char> memory(std::max<std::size_t>(SIGSTKSZ, 64 * 1024));
    stack_t stack{};
    stack.ss_sp = memory.data();
    stack.ss_size = memory.size();
    ::sigaltstack(&stack, nullptr);
}

} // namespace

InterruptHandlers::InterruptHandlers() {
    gInterrupted.store(false);
    gSignalCount.store(0);
    useSignalStack();
    // The interrupts and the alarm do not interrupt each other's handlers, nor the system
    // calls of a build running on this thread.
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGALRM);
    for (int s : kInterrupts) {
        sigaddset(&sa.sa_mask, s);
    }
    for (int s : kInterrupts) {
        sigaction(s, &sa, nullptr);
    }
    struct sigaction alarmAction = sa;
    alarmAction.sa_handler = onAlarm;
    sigaction(SIGALRM, &alarmAction, nullptr);
    if (!worker::sanitized()) { // the sanitizers report crashes themselves
        struct sigaction crash {};
        crash.sa_handler = onCrash;
        crash.sa_flags = SA_RESETHAND | SA_ONSTACK;
        sigemptyset(&crash.sa_mask);
        for (int s : kCrashes) {
            sigaction(s, &crash, nullptr);
        }
    }
}

InterruptHandlers::~InterruptHandlers() {
    ::alarm(0);
    for (int s : kInterrupts) {
        ::signal(s, SIG_DFL);
    }
    ::signal(SIGALRM, SIG_DFL);
    if (!worker::sanitized()) {
        for (int s : kCrashes) {
            ::signal(s, SIG_DFL);
        }
    }
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
    err_ << "plait: " << kind << ": " << engine::printableText(text) << '\n';
    // No one to answer a question: keep everything as it is.
    return buttons == ui::Buttons::Ok ? ui::Answer::Ok : ui::Answer::No;
}

std::string TerminalHost::runEngine(engine::MergeEngine& engine, core::build::ProgressWindow& progress) {
    if (!threaded_) {
        return engine.BuildPDF();
    }
    cancelled_ = timedOut_ = false;
    InterruptHandlers handlers;
    if (window != nullptr) {
        window->progressTimerTick();
    }
    if (!showProgress_) {
        return runQuietly(engine, progress);
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    std::optional<Clock::time_point> cancelledAt;
    std::string result = engine::buildWatched(
        engine, std::chrono::milliseconds(core::build::ProgressWindow::kTickMilliseconds),
        [&] { watch(engine, progress, start, cancelledAt); });
    if (!cancelledAt && progress.loaded()) {
        progress.tick(engine);
        drawProgress(progress, true);
    }
    cancelled_ = result == engine::kCancelledResult;
    // A build that returned before it saw the cancel reports what it did.
    timedOut_ = timedOut_ && cancelled_;
    return result;
}

// With no progress line to draw, the build runs alone in the process: an interrupt cancels it
// from its handler, the alarm clock keeps the time limit, and a build that has not returned a
// second after its cancel is ended from the alarm's handler.
std::string TerminalHost::runQuietly(engine::MergeEngine& engine, core::build::ProgressWindow& progress) {
    gQuiet.cancelled.store(false);
    gQuiet.timedOut.store(false);
    gQuiet.timeLimitLead = timeLimitLead(limits_.seconds);
    engine::reserveBuildStack();
    std::string result;
    {
        // The handlers let the build go however it returns.
        struct Returned {
            ~Returned() {
                gQuiet.engine.store(nullptr);
                ::alarm(0);
            }
        } returned;
        gQuiet.engine.store(&engine);
        if (gInterrupted.load()) {
            cancelQuietBuild(engine); // before the handler knew of the build
        } else if (limits_.seconds > 0) {
            ::alarm(limits_.seconds);
        }
        result = engine.BuildPDF();
    }
    cancelled_ = result == engine::kCancelledResult;
    // A build that returned before it saw the cancel reports what it did.
    timedOut_ = gQuiet.timedOut.load() && cancelled_;
    if (gQuiet.cancelled.load()) {
        progress.cancel(engine);
    } else if (progress.loaded()) {
        progress.tick(engine);
    }
    return result;
}

// One tick of a running build: a cancel asked for, the time limit, a build that does not stop
// after its cancel, and the progress line.
void TerminalHost::watch(engine::MergeEngine& engine, core::build::ProgressWindow& progress,
                         std::chrono::steady_clock::time_point start,
                         std::optional<std::chrono::steady_clock::time_point>& cancelledAt) {
    const auto now = std::chrono::steady_clock::now();
    if (cancelledAt) {
        if (now - *cancelledAt >= kGrace) {
            endStuckBuild(engine);
        }
    } else if (gInterrupted.load()) {
        cancelledAt = now;
        progress.cancel(engine);
        if (showProgress_) {
            err_ << "\nplait: cancelling...\n";
        }
    } else if (limits_.seconds > 0 && now - start >= std::chrono::seconds(limits_.seconds)) {
        cancelledAt = now;
        timedOut_ = true;
        err_ << (showProgress_ ? "\n" : "") << timeLimitLead(limits_.seconds) << statusText(engine.stsMsg())
             << kTimeLimitTail;
        progress.cancel(engine);
    }
    const bool cancelled = cancelledAt.has_value();
    if (!cancelled && progress.loaded()) {
        progress.tick(engine);
        drawProgress(progress, false);
    }
}

void TerminalHost::endStuckBuild(const engine::MergeEngine& engine) {
    pdf::removePendingOutputs();
    err_ << kStuckLead << statusText(engine.stsMsg()) << kStuckTail;
    err_.flush();
    std::_Exit(timedOut_ ? 1 : 130);
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
        err_ << "plait: warning: " << engine::printableText(w) << '\n';
    }
}

} // namespace plait::cli
