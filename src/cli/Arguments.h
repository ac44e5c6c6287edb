#pragma once

#include "CliServices.h"

#include <optional>
#include <string>
#include <vector>

namespace plait::cli {

// The arguments of `plait build`, `calls`, `settings` and `bookmarks`.
struct Options {
    std::string command;
    std::string settingsFile;
    std::string mode; // merge, overlay, repeat, or empty for the settings file's
    bool open = false;
    bool quiet = false;
    std::string bookmarksFile;
    std::optional<std::string> output;
    std::string passwords;
    std::vector<std::string> inputs;
    BuildLimits limits;
    // Output size: image reduction ("0" turns it off) and the smallest file.
    std::optional<std::string> imageDpi, imageQuality;
    bool smallest = false;
    // --pages after an input: the pages taken from it, beside `inputs` ("" every page).
    std::vector<std::string> inputPages;
};

// Parses the arguments into `o`; returns the exit status when the run ends here (help, version,
// or a usage error already reported on standard error).
std::optional<int> parseArguments(int argc, char** argv, Options& o);

} // namespace plait::cli
