// HarfBuzz's subsetter, for the fonts of text in other scripts (marks::subsetFont).
#include <hb-subset.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace {

// The font cut down to `glyphs`, each keeping its glyph id; empty when the font cannot be cut.
// Only the tables a PDF reader uses for a CID font stay.
std::string cutFont(const std::string& font, const std::map<std::uint16_t, char32_t>& glyphs) {
    std::unique_ptr<hb_blob_t, decltype(&hb_blob_destroy)> blob(
        hb_blob_create(font.data(), static_cast<unsigned>(font.size()), HB_MEMORY_MODE_READONLY, nullptr,
                       nullptr),
        &hb_blob_destroy);
    std::unique_ptr<hb_face_t, decltype(&hb_face_destroy)> face(hb_face_create(blob.get(), 0),
                                                                &hb_face_destroy);
    std::unique_ptr<hb_subset_input_t, decltype(&hb_subset_input_destroy)> input(
        hb_subset_input_create_or_fail(), &hb_subset_input_destroy);
    if (!input)
        return {};
    hb_set_t* keep = hb_subset_input_glyph_set(input.get());
    for (const auto& [gid, cp] : glyphs)
        hb_set_add(keep, gid);
    hb_subset_input_set_flags(input.get(), HB_SUBSET_FLAGS_RETAIN_GIDS);
    hb_set_t* drop = hb_subset_input_set(input.get(), HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (const char* tag :
         {"GSUB", "GPOS", "GDEF", "BASE", "JSTF", "MATH", "DSIG", "kern", "morx", "vhea", "vmtx"})
        hb_set_add(drop, hb_tag_from_string(tag, 4));
    std::unique_ptr<hb_face_t, decltype(&hb_face_destroy)> cut(hb_subset_or_fail(face.get(), input.get()),
                                                               &hb_face_destroy);
    if (!cut)
        return {};
    std::unique_ptr<hb_blob_t, decltype(&hb_blob_destroy)> out(hb_face_reference_blob(cut.get()),
                                                               &hb_blob_destroy);
    unsigned length = 0;
    const char* data = hb_blob_get_data(out.get(), &length);
    return data && length ? std::string(data, length) : std::string();
}

} // namespace

// The module's entry for marks::subsetFont.
extern "C" __attribute__((visibility("default"))) void
plait_scripts_subset_font(const std::string* font, const std::map<std::uint16_t, char32_t>* glyphs,
                          std::string* out) {
    *out = cutFont(*font, *glyphs);
}
