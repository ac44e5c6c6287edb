#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plait::engine {

// Whether a name leads to a file that may be an input.
using FileTest = std::function<bool(const std::string&)>;
bool isRegularFile(const std::string& path);

// Splits the comma-joined input list of setInFile. A file name may itself hold a comma, so a
// piece that is not an existing file is joined with the pieces after it (with their commas)
// until the joined name exists; when no join exists the piece stands alone and fails later as
// a missing input. Empty pieces are skipped.
std::vector<std::string> splitInputList(std::string_view text, const FileTest& exists);

// The comma-joined list cannot say every list of names: with files a.pdf, b.pdf and
// "a.pdf,b.pdf", the text "a.pdf,b.pdf" is split as two inputs whichever was meant. The input
// whose comma makes the joined `inputs` split otherwise than into `inputs`, or nothing when
// the text says exactly them.
std::optional<std::string> ambiguousInput(const std::vector<std::string>& inputs,
                                          const FileTest& exists = isRegularFile);

} // namespace plait::engine
