#pragma once

#include "Job.h"
#include "engine/EngineRegistry.h"
#include "engine/MergeEngine.h"

#include <memory>
#include <string>

namespace plait::pdf {

// Opens a finished output in the desktop's viewer. Tests put a recorder in its place.
class ViewerLauncher {
public:
    virtual ~ViewerLauncher() = default;
    virtual void open(const std::string& path) = 0;
};

// Starts `xdg-open path` without waiting for it.
class XdgOpenLauncher : public ViewerLauncher {
public:
    void open(const std::string& path) override;
};

// The real merge engine: the set-operations fill a Job, BuildPDF checks and runs it.
class PlaitEngine : public engine::MergeEngine {
public:
    explicit PlaitEngine(std::shared_ptr<ViewerLauncher> launcher = std::make_shared<XdgOpenLauncher>());

    const Job& job() const { return job_; }

protected:
    void onCall(const engine::Operation& op, const std::vector<std::string>& args) override;
    std::string onBuild() override;

private:
    struct Filler;
    Job job_;
    std::shared_ptr<Filler> filler_;
    std::shared_ptr<ViewerLauncher> launcher_;
};

// Registers the real engine under "PDF.PlaitApp".
void registerPlaitEngine(engine::EngineRegistry& registry);

} // namespace plait::pdf
