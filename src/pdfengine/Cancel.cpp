#include "Cancel.h"

#include "EngineError.h"

namespace plait::pdf {
namespace {
thread_local const CancelScope* tCurrent = nullptr;
thread_local const std::function<bool()>* tCheck = nullptr;
} // namespace

CancelScope::CancelScope(std::function<bool()> cancelled)
    : cancelled_(std::move(cancelled)), previous_(tCurrent) {
    tCurrent = this;
    tCheck = &cancelled_;
}

CancelScope::~CancelScope() {
    tCurrent = previous_;
    tCheck = previous_ != nullptr ? &previous_->cancelled_ : nullptr;
}

std::function<bool()> currentCancelCheck() {
    return tCheck != nullptr ? *tCheck : std::function<bool()>();
}

void checkCancel() {
    if (tCheck != nullptr && *tCheck && (*tCheck)()) {
        throw BuildCancelled{};
    }
}

} // namespace plait::pdf
