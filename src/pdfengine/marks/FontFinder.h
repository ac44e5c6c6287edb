#pragma once

#include <string>
#include <vector>

namespace plait::pdf::marks {

// A font file of the system and how many of the asked-for characters it has.
struct FoundFont {
    std::string path;
    std::size_t covered = 0;
};

// The system's outline fonts (fontconfig) that have glyphs for `characters`: those that have
// all of them first, in fontconfig's order of preference, then the others by how many they
// have. At most `limit` entries; only TrueType-outline fonts that are the first (or only) font
// of their file.
std::vector<FoundFont> fontsCovering(const std::u32string& characters, std::size_t limit);

} // namespace plait::pdf::marks
