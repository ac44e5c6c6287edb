#include "PlaitEngine.h"

#include "BuildRun.h"
#include "EngineError.h"
#include "JobBuilder.h"

#include <filesystem>
#include <sys/wait.h>
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

    RunHooks hooks;
    hooks.status = [this](std::string message, int percent) {
        setStatusMessage(std::move(message));
        if (percent >= 0) {
            setStatusBar(percent);
        }
    };
    hooks.cancelled = [this] { return cancelRequested(); };
    hooks.warn = [this](std::string w) { addWarning(std::move(w)); };

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
    }
}

void registerPlaitEngine(engine::EngineRegistry& registry) {
    registry.add(std::string(engine::kPlaitEngineName), [] { return std::make_unique<PlaitEngine>(); });
}

} // namespace plait::pdf
