#pragma once

#include <cstdlib>

namespace plait::test {

// Sets the engine's test hook PLAIT_TEST_STALL (see pdfengine/PlaitEngine.cpp) for the builds
// and workers started while it lives: "stuck", "cancellable" or "abort" (the build crashes),
// optionally ":NAME" to act only on the input of that file name.
class ScopedStall {
public:
    explicit ScopedStall(const char* value) { ::setenv("PLAIT_TEST_STALL", value, 1); }
    ~ScopedStall() { ::unsetenv("PLAIT_TEST_STALL"); }
    ScopedStall(const ScopedStall&) = delete;
    ScopedStall& operator=(const ScopedStall&) = delete;
};

} // namespace plait::test
