#pragma once

#include "core/ui/Platform.h"

#include "core/ui/Form.h"

#include <optional>
#include <string>
#include <vector>

namespace plait::core::build {

// The output name completion of a build: no name is PDFOut in the temporary folder, relative
// names are taken against the current folder and resolved as the file system will, and a PDF
// ends with ".pdf". `name` is used as given.
std::string fixOutName(const ui::Platform& platform, std::string name, const std::string& extension);

// The file a build writes for the output name as typed: blanks at either end removed, then
// completed by fixOutName. The window, `plait build` and the batch's checks all read an output
// name through this.
std::string outputFileName(const ui::Platform& platform, const std::string& typed,
                           const std::string& extension);

// A file a build reads besides its inputs and attachments, which its output may not replace:
// what it is ("the settings file", "the bookmarks file") and its name.
struct ReadFile {
    std::string what;
    std::string path;
};

// The message that refuses `output` when it is the same file as an attachment named in
// `settings` or one of `others`; nothing when it is none of them.
std::optional<std::string> readFileClash(const ui::Platform& platform, const std::string& output,
                                         const ui::Form& settings, const std::vector<ReadFile>& others);

} // namespace plait::core::build
