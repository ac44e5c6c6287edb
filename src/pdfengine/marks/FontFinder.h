#pragma once

#include <cstdint>
#include <map>
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
// Empty when the scripts module (Scripts.h) cannot be loaded.
std::vector<FoundFont> fontsCovering(const std::u32string& characters, std::size_t limit);

// The font cut down to `glyphs`, each keeping its glyph id, with only the tables a PDF reader
// uses for a CID font (HarfBuzz); empty when the font cannot be cut or the module is missing.
std::string subsetFont(const std::string& font, const std::map<std::uint16_t, char32_t>& glyphs);

} // namespace plait::pdf::marks
