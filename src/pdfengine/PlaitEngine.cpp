#include "PlaitEngine.h"

#include "BuildRun.h"
#include "EngineError.h"
#include "JobBuilder.h"
#include "Soundness.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace plait::pdf {

namespace {

constexpr const char* kTitle = "PDF Plait - Building";

std::string describe(const EngineError& e) {
    std::string text(engine::failureText(e.failure()));
    if (!e.file().empty()) {
        text += " " + e.file();
    }
    return text + ": " + e.what();
}

// For the tests of what ends a stuck build, in builds made with test hooks only:
// PLAIT_TEST_STALL=cancellable makes reading an input wait until the build is cancelled,
// =stuck makes it wait for good, as a parser loop would, and =late waits for the cancel and then
// withdraws it, as a build does that the cancel reaches after its last look, and =abort ends the
// process with SIGABRT, as a crashing library would; "MODE:NAME" stalls only on the input whose
// file name is NAME.
void testStall([[maybe_unused]] engine::MergeEngine& engine, [[maybe_unused]] const std::string& doing) {
#ifdef PLAIT_TEST_HOOKS
    const char* value = std::getenv("PLAIT_TEST_STALL");
    if (value == nullptr) {
        return;
    }
    std::string mode = value;
    if (const auto colon = mode.find(':'); colon != std::string::npos) {
        if (doing != "reading " + mode.substr(colon + 1)) {
            return;
        }
        mode.erase(colon);
    }
    if (mode == "abort") {
        std::abort();
    }
    const bool stuck = mode == "stuck";
    while (stuck || engine.cancelBuild() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (mode == "late") {
        engine.setCancelBuild(0);
    }
#endif
}

// Keeps `doing` in step with the status messages; true when an input is about to be read.
bool noteProgress(const std::string& message, std::string& doing) {
    const auto startsWith = [&message](const char* prefix) {
        const std::size_t n = std::strlen(prefix);
        return message.size() >= n && std::memcmp(message.data(), prefix, n) == 0;
    };
    if (startsWith("Reading ")) {
        const std::size_t end = message.rfind(" (");
        doing = "reading " + message.substr(8, end == std::string::npos ? end : end - 8);
        return true;
    }
    if (startsWith("Writing")) {
        doing = "writing the output";
    }
    return false;
}

// The file a reading warning is about: the warning starts with its name, followed either by
// the note that it was repaired or by ": " and what went wrong.
std::string fileNamed(const std::string& warning) {
    const std::size_t repaired = warning.find(kRepairedNote);
    return warning.substr(0, repaired != std::string::npos ? repaired : warning.find(": "));
}

} // namespace

void XdgOpenLauncher::open(const std::string& path) {
    // Double fork so that the viewer is not our child and never becomes a zombie.
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::fork() == 0) {
            ::setsid();
            const char* argv[] = {"xdg-open", path.c_str(), nullptr};
            ::execvp("xdg-open", const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::_exit(0);
    }
    if (pid > 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}

struct PlaitEngine::Filler {
    explicit Filler(Job& job) : builder(job) {}
    JobBuilder builder;
};

PlaitEngine::PlaitEngine(std::shared_ptr<ViewerLauncher> launcher)
    : filler_(std::make_shared<Filler>(job_)), launcher_(std::move(launcher)) {}

void PlaitEngine::onCall(const engine::Operation& op, const std::vector<std::string>& args) {
    filler_->builder.apply(op.name, args);
}

std::string PlaitEngine::onBuild() {
    clearWarnings();
    setStatus("Starting", "0", kTitle);
    for (const auto& note : job_.notes) {
        addWarning(note);
    }

    // What the build is at, for a failure that cannot say it itself (memory running out).
    std::string doing = "starting the build";
    RunHooks hooks;
    hooks.status = [this, &doing](std::string message, int percent) {
        const bool reading = noteProgress(message, doing);
        setStatusMessage(std::move(message));
        if (percent >= 0) {
            setStatusBar(percent);
        }
        if (reading) {
            testStall(*this, doing);
        }
    };
    hooks.cancelled = [this] { return cancelRequested(); };
    hooks.warn = [this, &doing](std::string w) {
        // qpdf turns an allocation that failed while reading an object into a repair of
        // that object, which would silently drop it: under a memory ceiling that is a
        // failure of the build, not a repair.
        if (w.find("std::bad_alloc") != std::string::npos) {
            doing = "reading " + fileNamed(w);
            throw std::bad_alloc();
        }
        addWarning(std::move(w));
    };

    try {
        BuildRun run(job_, hooks);
        if (job_.memBuild()) {
            std::string result = job_.bookmarkOut ? run.listBookmarks() : run.buildToMemory();
            setStatus("Done", "100");
            return result;
        }
        if (job_.imageExport) {
            const int images = run.exportImages();
            setStatus("Done", "100");
            return std::to_string(images);
        }
        const int pages = run.build();
        setStatus("Done", "100");
        if (job_.openAfterBuild && launcher_) {
            launcher_->open(std::filesystem::absolute(job_.outFile).string());
        }
        return std::to_string(pages);
    } catch (const EngineError& e) {
        addWarning(describe(e));
        setStatus(describe(e), "100");
        return std::to_string(static_cast<int>(e.failure()));
    } catch (const BuildCancelled&) {
        addWarning("The build was cancelled; no output was written");
        setStatus("Cancelled", "100");
        // Not one of the failure codes: the user asked for this, and the program reports
        // nothing for it. No output exists, so nothing is shown either.
        return std::string(engine::kCancelledResult);
    } catch (const std::bad_alloc&) {
        // A memory ceiling (or the machine) stopped the build; the run has unwound and freed
        // what it held, and the temporary output is gone.
        const std::string message = "The build ran out of memory while " + doing + "; nothing was written";
        addWarning(message);
        setStatus(message, "100");
        return std::to_string(static_cast<int>(BuildFailure::CannotParseInput));
    }
}

void registerPlaitEngine(engine::EngineRegistry& registry) {
    registry.add(std::string(engine::kPlaitEngineName), [] { return std::make_unique<PlaitEngine>(); });
}

} // namespace plait::pdf
