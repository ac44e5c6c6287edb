#include "pdfengine/marks/FontFinder.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string_view>

namespace plait::pdf::marks {

std::vector<FoundFont> findFontsCovering(const std::u32string& characters, std::size_t limit) {
    static std::once_flag initialised;
    static bool ready = false;
    std::call_once(initialised, [] { ready = FcInit() == FcTrue; });
    std::vector<FoundFont> found;
    if (!ready || characters.empty() || limit == 0) {
        return found;
    }
    std::unique_ptr<FcCharSet, decltype(&FcCharSetDestroy)> wanted(FcCharSetCreate(), &FcCharSetDestroy);
    for (char32_t c : characters) {
        FcCharSetAddChar(wanted.get(), static_cast<FcChar32>(c));
    }
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> pattern(FcPatternCreate(), &FcPatternDestroy);
    FcPatternAddCharSet(pattern.get(), FC_CHARSET, wanted.get());
    FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultMatch;
    std::unique_ptr<FcFontSet, decltype(&FcFontSetDestroy)> fonts(
        FcFontSort(nullptr, pattern.get(), FcFalse, nullptr, &result), &FcFontSetDestroy);
    if (!fonts) {
        return found;
    }
    const std::size_t wantedCount = FcCharSetCount(wanted.get());
    std::vector<FoundFont> partial;
    for (int i = 0; i < fonts->nfont; ++i) {
        FcPattern* font = fonts->fonts[i];
        FcChar8* file = nullptr;
        FcCharSet* has = nullptr;
        int index = 0;
        if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch ||
            FcPatternGetCharSet(font, FC_CHARSET, 0, &has) != FcResultMatch) {
            continue;
        }
        if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch && index != 0) {
            continue;
        }
        // Fonts with PostScript outlines are left out before anyone reads them.
        FcChar8* format = nullptr;
        if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) == FcResultMatch &&
            std::string_view(reinterpret_cast<const char*>(format)) != "TrueType") {
            continue;
        }
        const std::size_t covered = FcCharSetIntersectCount(wanted.get(), has);
        if (covered == 0) {
            continue;
        }
        FoundFont entry{reinterpret_cast<const char*>(file), covered};
        const auto same = [&](const FoundFont& f) { return f.path == entry.path; };
        if (std::any_of(found.begin(), found.end(), same) ||
            std::any_of(partial.begin(), partial.end(), same)) {
            continue;
        }
        (covered == wantedCount ? found : partial).push_back(std::move(entry));
    }
    std::stable_sort(partial.begin(), partial.end(),
                     [](const FoundFont& a, const FoundFont& b) { return a.covered > b.covered; });
    found.insert(found.end(), partial.begin(), partial.end());
    if (found.size() > limit) {
        found.resize(limit);
    }
    return found;
}

} // namespace plait::pdf::marks

// The module's entry for marks::fontsCovering.
extern "C" __attribute__((visibility("default"))) void
plait_scripts_fonts_covering(const std::u32string* characters, std::size_t limit,
                             std::vector<plait::pdf::marks::FoundFont>* found) {
    *found = plait::pdf::marks::findFontsCovering(*characters, limit);
}
