#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace plait::engine {

// The largest file taken whole into an output (an audio or video file, an image, an
// attachment); it is held in memory while the output is built.
inline constexpr std::uint64_t kMaxEmbeddedFileBytes = 512ull * 1024 * 1024;

// Reads a whole regular file of at most `maxBytes` bytes. A device, a pipe, a socket or a
// folder is refused without reading from it (a pipe does not block the open), and so is a
// file larger than the bound, even one that grows while it is read. On failure `reason`
// says why in words for the user (without the file name) and nothing is returned.
std::optional<std::string> readRegularFile(const std::string& path, std::uint64_t maxBytes,
                                           std::string& reason);

// Why `path` cannot serve as a regular input file ("it does not exist", "it is a folder",
// "it is a device, a pipe or a socket, not a regular file"), or empty when it can. Opens
// nothing.
std::string regularFileProblem(const std::string& path);

// "512 MB" and the like, for messages about the bounds above.
std::string describeSize(std::uint64_t bytes);

} // namespace plait::engine
