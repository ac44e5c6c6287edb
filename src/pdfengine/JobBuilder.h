#pragma once

#include "Job.h"
#include "Values.h"

#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf {

// Fills a Job from the set-operations in the order the program makes them.
//
// Every operation of the engine's table has one handler here, which reads and checks its
// arguments when the operation arrives and stores typed values in the job; a value it cannot
// use leaves the job as it was (or at its default) and adds a note that names the operation.
//
// Two operations change how later ones are read: setUnits sets the unit of the lengths that
// come after it, and setStamp starts the stamp's part of the calls, so that the angle, scale,
// offsets and overlay pages that follow it belong to the stamp and not to the pages. A
// value given twice keeps the later one.
class JobBuilder {
public:
    explicit JobBuilder(Job& job) : state_{job} {}

    // Hands the arguments to the operation's handler. The caller has checked the name and the
    // number of arguments against the engine's table (engine::MergeEngine::call does); an
    // operation the builder does not know, or the wrong number of arguments, is a programming
    // error and throws engine::EngineCallError.
    void apply(std::string_view operation, const std::vector<std::string>& args);

    // The names of the operations that have a handler, in no particular order.
    static std::vector<std::string_view> operations();

    // What the handlers work on: the job, and what earlier operations said about reading the
    // later ones.
    struct State {
        Job& job;
        Unit unit = Unit::Points;
        bool stampMode = false;
    };

private:
    State state_;
};

} // namespace plait::pdf
