#pragma once

#include "CallLog.h"
#include "MergeEngine.h"

#include <functional>
#include <memory>

namespace plait::engine {

// An engine that does no PDF work: it records every call in a CallLog and answers
// BuildPDF with a scripted result. `plait calls` and the tests use it.
class RecordingEngine : public MergeEngine {
public:
    // Runs inside BuildPDF in place of real work; may publish status and poll cancel.
    using RunHook = std::function<std::string(RecordingEngine&)>;

    explicit RecordingEngine(std::shared_ptr<CallLog> log = std::make_shared<CallLog>());

    const std::shared_ptr<CallLog>& log() const { return log_; }

    void setResult(std::string result) { result_ = std::move(result); }
    void setRunHook(RunHook hook) { hook_ = std::move(hook); }

    // Exposed for run hooks.
    using MergeEngine::addWarning;
    using MergeEngine::cancelRequested;
    using MergeEngine::setStatus;
    using MergeEngine::setStatusBar;
    using MergeEngine::setStatusMessage;
    using MergeEngine::setStatusTitle;

protected:
    void onCall(const Operation& op, const std::vector<std::string>& args) override;
    std::string onBuild() override;
    void onTagCall(std::string_view operation, const std::vector<std::string>& args) override;

private:
    std::shared_ptr<CallLog> log_;
    std::string result_ = "0";
    RunHook hook_;
};

} // namespace plait::engine
