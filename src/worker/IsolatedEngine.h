#pragma once

#include "ProcessLimits.h"
#include "engine/EngineRegistry.h"
#include "engine/MergeEngine.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace plait::worker {

// The merge engine run in a process of its own, so that a build stuck inside the PDF library
// (a parser loop no cancel check reaches) can still be stopped, and a memory ceiling applies
// to the build alone.
//
// The set-operations are recorded here. BuildPDF starts the worker executable, replays them,
// and relays what the worker reports (status, warnings, the result) until it ends. Cancel
// (setCancelBuild) is passed on; a worker that has not ended `grace` later is killed, as is
// one that runs past the time limit. The temporary outputs the worker announced are then
// removed, so a killed build leaves nothing behind. Result codes and messages are those of
// the engine itself; a build stopped at the time limit gives "-4" with a warning naming what
// it was doing, and a worker that ended without a result (killed, crashed) is no fault of
// an input: BuildPDF throws EngineStopped, saying how it ended ("signal 9").
//
// The worker parses hostile files, so nothing it says is trusted: only the hidden temporary
// files beside the output it was asked for are ever removed on its word, messages are bounded
// (Channel.h), and so are warnings (MergeEngine).
class EngineStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IsolatedEngine : public engine::MergeEngine {
public:
    struct Options {
        std::string workerPath;
        unsigned seconds = kDefaultBuildSeconds;          // 0: no time limit
        unsigned long megabytes = kDefaultBuildMegabytes; // 0: no memory limit
        std::chrono::milliseconds grace{1000};
    };

    explicit IsolatedEngine(Options options) : options_(std::move(options)) {}

protected:
    void onCall(const engine::Operation& op, const std::vector<std::string>& args) override;
    std::string onBuild() override;

private:
    struct Run;
    Options options_;
    std::vector<std::vector<std::string>> calls_; // operation name, then its arguments
};

// Registers the isolated engine under the real engine's name.
void registerIsolatedEngine(engine::EngineRegistry& registry, IsolatedEngine::Options options);

// The worker executable that belongs to the program at `programPath`: beside it, when it is
// there; otherwise `fallback` (the build tree's) when that exists; otherwise empty.
std::string findWorker(const std::string& programPath, const std::string& fallback);

} // namespace plait::worker
