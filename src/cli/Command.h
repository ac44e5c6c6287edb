#pragma once

namespace plait::cli {

// Runs a command other than `batch` (`argv[1]`: build, calls, settings, bookmarks) in this
// process and returns its exit status, as `main` does. The builds of a batch run it in a
// process forked from the batch, with the arguments `plait build` would be started with.
int runCommand(int argc, char** argv);

} // namespace plait::cli
