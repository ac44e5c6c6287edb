// The calls into the scripts module (Scripts.h), which is loaded on first use.
#include "Modules.h"
#include "Scripts.h"
#include "marks/FontFinder.h"

namespace plait::pdf {
namespace {

// The module's entry `name` as a function of type F, or null when the module is missing.
template <typename F> F entry(const char* name) {
    std::string error;
    return reinterpret_cast<F>(moduleEntry(kScriptsModule, name, error));
}

} // namespace

std::string saslPrep(const std::string& utf8) {
    using Entry = void (*)(const std::string*, std::string*);
    std::string out;
    if (auto* prepare = entry<Entry>("plait_scripts_saslprep"))
        prepare(&utf8, &out);
    return out;
}

namespace marks {

std::vector<FoundFont> fontsCovering(const std::u32string& characters, std::size_t limit) {
    using Entry = void (*)(const std::u32string*, std::size_t, std::vector<FoundFont>*);
    std::vector<FoundFont> found;
    if (auto* find = entry<Entry>("plait_scripts_fonts_covering"))
        find(&characters, limit, &found);
    return found;
}

std::string subsetFont(const std::string& font, const std::map<std::uint16_t, char32_t>& glyphs) {
    using Entry = void (*)(const std::string*, const std::map<std::uint16_t, char32_t>*, std::string*);
    std::string out;
    if (auto* cut = entry<Entry>("plait_scripts_subset_font"))
        cut(&font, &glyphs, &out);
    return out;
}

} // namespace marks
} // namespace plait::pdf
