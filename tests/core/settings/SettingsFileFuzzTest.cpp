#include "core/settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <random>

using namespace plait::core::settings;

namespace {

// Feeds bytes through the reader and applies every record to the dialog, then writes it back
// out: none of it may crash, and whatever was loaded must be writable again. The dialog is kept
// across inputs so that odd states build on one another.
void feed(SettingsModel& m, std::string_view bytes) {
    for (const SettingsRecord& r : parseSettingsFile(bytes)) {
        applySettingsRecord(m, r);
        (void)splitInputPaths(r.value);
    }
    const std::string out = writeSettingsFile(m, 0, {});
    ASSERT_FALSE(out.empty());
}

} // namespace

TEST(SettingsFileFuzz, RandomBytesAndMutatedFilesNeverCrash) {
    std::mt19937 rng(20240613);
    auto byte = [&] { return static_cast<char>(rng() & 0xFF); };
    auto model = SettingsModel::create();

    for (int i = 0; i < 300; ++i) {
        std::string junk(rng() % 400, '\0');
        for (char& c : junk) {
            c = byte();
        }
        feed(*model, junk);
    }

    auto source = SettingsModel::create();
    source->setText("txtNote", "a\r\nb");
    source->setListIndex("Compat_Com", 2);
    source->setText("perm1_txt", "pw");
    const std::string valid = writeSettingsFile(*source, 1, {"/in/a.pdf", "/in/b.pdf"});
    // Pieces that hit the grammar's corners rather than random noise alone.
    const std::string_view pieces[] = {"[Field=",      " Index=", " Type=", "]",    "\r\n",
                                       "\r",           "\n",      "True",   " -1 ", " 99999999999999999999 ",
                                       "\xEF\xBB\xBF", "\xFF",    "\xC3"};
    for (int i = 0; i < 300; ++i) {
        std::string mutated = valid;
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits && !mutated.empty(); ++e) {
            const std::size_t at = rng() % mutated.size();
            switch (rng() % 4) {
            case 0:
                mutated[at] = byte();
                break;
            case 1:
                mutated.erase(at, rng() % 64);
                break;
            case 2:
                mutated.insert(at, pieces[rng() % std::size(pieces)]);
                break;
            default:
                mutated.resize(at);
                break;
            }
        }
        feed(*model, mutated);
    }
}
