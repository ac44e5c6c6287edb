#pragma once

#include <functional>

namespace plait::pdf {

// The cancel check of the build that runs on this thread. Loops whose work grows with the
// input (pages of a page list, sheets of an imposition, words of a text layout) call
// checkCancel() every so often, without each routine taking the check as a parameter.
// A scope installs the check for the length of a build and restores the previous one.
class CancelScope {
public:
    explicit CancelScope(std::function<bool()> cancelled);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    std::function<bool()> cancelled_;
    const CancelScope* previous_;
};

// Throws BuildCancelled when the build on this thread was asked to stop; does nothing
// outside a build.
void checkCancel();

// The cancel check of the build on this thread (empty outside a build), for work that the build
// hands to threads of its own: they install it with a CancelScope.
std::function<bool()> currentCancelCheck();

// Calls checkCancel() once in `every` calls; for tight loops.
class CancelPoll {
public:
    explicit CancelPoll(unsigned every = 256) : every_(every) {}
    void operator()() {
        if (++count_ % every_ == 0) {
            checkCancel();
        }
    }

private:
    unsigned every_;
    unsigned count_ = 0;
};

} // namespace plait::pdf
