#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace plait::engine {

// The one reading of a file name that every part of the program shares (the window, `plait
// build`, the batch's checks and the engine's own check of its output), so that what one
// part checks is what another writes.
//
// The name is made absolute against `base` (the current folder when empty), and its folders
// are resolved as the file system resolves them when the file is opened: a symbolic link
// among the folders is followed before a later ".." is applied, so "sub/../x.pdf" with "sub"
// a link names the x.pdf beside the link's target, not the one beside the link. The last
// part is kept as named, even when it is a symbolic link: that link is what a writer
// replaces. Parts that do not exist yet are folded without the file system. Blanks are not
// trimmed here: an input may be named with them; output names are trimmed by the build.
std::string resolveFileName(std::string_view name, const std::string& base = {});

// What makes a file the same as another: its device and inode when it exists (any name of it,
// through links, hard links or bind mounts, gives the same identity), else its resolved name.
struct FileIdentity {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string path; // only compared when the file does not exist

    auto operator<=>(const FileIdentity&) const = default;
};

FileIdentity fileIdentity(std::string_view name, const std::string& base = {});

// True when writing `a` would replace the contents `b` reads (or the other way round).
bool sameFile(std::string_view a, std::string_view b, const std::string& base = {});

// True when `path` is a regular file that may not be written: the user lacks the right, or
// nobody has it (a file made read-only, which even the superuser's rights would get around).
// Replacing such a file by rename would defeat its protection, so no writer does.
bool writeProtected(const std::string& path);

// A name as a message shows it: control characters (escape sequences included) are written
// as \xNN, so that a name cannot move the cursor or recolour a terminal.
std::string printableName(std::string_view name);
// The same for a message, whose line breaks and tabs stay.
std::string printableText(std::string_view text);

} // namespace plait::engine
