#pragma once

// `plait split INPUT -o FOLDER (--every N | --bookmarks LEVEL | --max-size MB | --ranges TEXT)
// [--passwords TEXT] [--memory-limit MB] [-q]`: cuts a PDF into parts in FOLDER, all of them
// or none. argv[1] is "split". Exit status: 0 every part written, 1 the split failed or was
// interrupted (nothing was written), 2 bad arguments.
namespace plait::cli {

int runSplit(int argc, char** argv);

} // namespace plait::cli
