#pragma once

#include "Job.h"

#include <functional>
#include <memory>
#include <string>

namespace plait::pdf {

struct RunHooks {
    std::function<void(std::string message, int percent)> status; // percent -1: keep the bar
    std::function<bool()> cancelled;
    std::function<void(std::string)> warn;
};

// One run of a job. Each entry point reads the inputs afresh; failures come out as
// EngineError, a cancel as BuildCancelled.
//
// The run, in order: split, check and sort the inputs; create the temporary output beside
// the target; read each input (PDF or image) and copy the pages its page list selects;
// repair links; lay out pages (geometry); outline; description; encryption; write; put the
// output in place.
class BuildRun {
public:
    BuildRun(const Job& job, RunHooks hooks);
    ~BuildRun();

    // Builds the output file; returns its page count.
    int build();
    // Builds the output in memory and returns its bytes ("membuild" without setBookmarkOut).
    std::string buildToMemory();
    // The first input's outline as bookmark markup ("membuild" with setBookmarkOut).
    std::string listBookmarks();
    // Writes the images of the selected pages into the output folder instead of building a
    // PDF (setImgDir); returns how many files were written.
    int exportImages();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace plait::pdf
