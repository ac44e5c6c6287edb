#pragma once

// `plait batch JOBS [--jobs N] [--report FILE] [--force] [-q] [--time-limit SECONDS]
// [--memory-limit MB] [--check]`: many builds from a JSON Lines jobs file, N at a time.
// argv[1] is "batch". Exit status: 0 every job built or skipped, 1 a job failed or the batch
// was interrupted, 2 bad arguments or a malformed jobs file (nothing is built then).
namespace plait::cli {

int runBatch(int argc, char** argv);

} // namespace plait::cli
