#pragma once

#include <chrono>
#include <string>

namespace plait::worker {

// What counting the pages of a file in a worker process found.
struct PageCountAnswer {
    enum class Kind { Pages, NeedsPassword, Unreadable, Stopped, Fits, TooLarge };
    Kind kind = Kind::Stopped;
    int pages = 0;
    std::string reason;  // for Unreadable: the reader's words; for Stopped: what stopped it
    bool started = true; // false when the worker could not even be started (Stopped)
};

// The bounds of one count: a hostile file may make a reader loop or inflate without end.
struct PageCountLimits {
    std::chrono::milliseconds time{10000};
    unsigned long megabytes = 512;
};

// Counts the pages of `pdf` in the worker executable (`workerPath --count-pages FILE`), in a
// process group of its own with its address space and time bounded, so that no file can grow
// or crash the program that asks. A worker that runs past the time, dies or answers nonsense
// gives Stopped.
PageCountAnswer countPagesInWorker(const std::string& workerPath, const std::string& pdf,
                                   const PageCountLimits& limits = {});

// Asks the worker (`workerPath --probe-preview FILE`, bounded as above) whether showing `pdf`
// would cost a viewer more than a preview may take (pdf::probePreview): Fits, TooLarge (with
// why), Unreadable (the viewer has its own say) or Stopped (the probe itself ran over or
// crashed, which the file caused).
PageCountAnswer probePreviewInWorker(const std::string& workerPath, const std::string& pdf,
                                     const PageCountLimits& limits = {});

// The worker's side: the answer as the worker writes it on its standard output, and read back.
std::string encodePageCount(const PageCountAnswer& answer);
PageCountAnswer decodePageCount(const std::string& text);

} // namespace plait::worker
