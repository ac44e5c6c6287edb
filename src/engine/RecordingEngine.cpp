#include "RecordingEngine.h"

namespace plait::engine {

RecordingEngine::RecordingEngine(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}

void RecordingEngine::onCall(const Operation& op, const std::vector<std::string>& args) {
    log_->add(Call{std::string(op.name), args});
}

std::string RecordingEngine::onBuild() {
    log_->add(Call{"BuildPDF", {}});
    if (hook_) {
        return hook_(*this);
    }
    return result_;
}

void RecordingEngine::onTagCall(std::string_view operation, const std::vector<std::string>& args) {
    log_->add(Call{std::string(operation), args});
}

} // namespace plait::engine
