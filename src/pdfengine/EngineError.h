#pragma once

#include "engine/Results.h"

#include <stdexcept>
#include <string>

namespace plait::pdf {

// The failures a build reports to its caller: the result codes of the call protocol.
using engine::BuildFailure;

// A failure inside the engine: what kind, which file, and what went wrong. Only the edge of
// the engine turns it into a result code and a warning line.
class EngineError : public std::runtime_error {
public:
    EngineError(BuildFailure failure, std::string file, const std::string& what)
        : std::runtime_error(what), failure_(failure), file_(std::move(file)) {}

    BuildFailure failure() const { return failure_; }
    const std::string& file() const { return file_; }

private:
    BuildFailure failure_;
    std::string file_;
};

// Thrown from deep inside a run (page loop, writer progress, output pipeline) when the
// caller asked to cancel; the run unwinds and cleans up like any failure.
struct BuildCancelled {};

} // namespace plait::pdf
