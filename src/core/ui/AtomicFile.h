#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plait::ui {

// Why a replacement failed: what went wrong, for the user, and the system's error number.
struct ReplaceFailure {
    std::string what;
    int error = 0;
};

// Replaces the file at `path` with `bytes` so that a reader sees the old file or the new one,
// never a part: the bytes go to a temporary file in the same folder, are flushed to disk and
// renamed over the target. A symbolic link is written through to the file it names. With
// `ownerOnly` the file gets mode 0600; otherwise an existing file keeps its permissions. A
// write-protected file or a folder of that name is refused. Nothing is left behind on failure.
std::optional<ReplaceFailure> replaceFileAtomically(const std::string& path, std::string_view bytes,
                                                    bool ownerOnly);

} // namespace plait::ui
