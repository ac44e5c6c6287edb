#pragma once

#include "core/app/MainWindow.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace plait::cli {

// `plait bookmarks`: lists a PDF's bookmarks through the engine, as the markup the outline
// writer writes (UTF-8). Returns the exit status.
int listBookmarks(const engine::EngineRegistry& engines, const std::string& input,
                  const std::string& passwords, std::ostream& out, std::ostream& err);

// The largest bookmark markup file read.
inline constexpr std::uint64_t kMaxBookmarkFileBytes = 64ull * 1024 * 1024;

// `--bookmarks FILE`: makes that markup the outline of the build. False when the file
// cannot be read, is not a regular file (a device or a pipe) or is larger than the bound.
bool useBookmarkFile(core::app::MainWindow& window, const std::string& path, std::ostream& err);

} // namespace plait::cli
