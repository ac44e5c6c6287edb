// An outline made in the editor, written into a real PDF by a build, and imported back from
// that PDF, is the outline the user made.

#include "core/outline/BookmarkMarkup.h"
#include "core/outline/OutlineEditor.h"
#include "core/settings/SettingsModel.h"
#include "pdfengine/Fixtures.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace {

using namespace plait;
using namespace plait::pdf::testing;

class NoMessages : public ui::MessageBox {
public:
    ui::Answer show(const std::string& text, const std::string&, ui::Icon, ui::Buttons) override {
        shown.push_back(text);
        return ui::Answer::Ok;
    }
    std::vector<std::string> shown;
};

struct Flat {
    int level;
    std::string title;
    std::string page;
    bool operator==(const Flat&) const = default;
};

void flatten(const core::outline::EntryList& entries, int level, std::vector<Flat>& out) {
    for (const auto& e : entries) {
        out.push_back({level, e->text, e->page()});
        flatten(e->children, level + 1, out);
    }
}

} // namespace

TEST(OutlineRoundTrip, BuiltOutlineComesBackFromTheOutput) {
    TempDir dir;
    makePdf(dir.path("a.pdf"), "a", 3);
    makePdf(dir.path("b.pdf"), "b", 2);

    auto settings = core::settings::SettingsModel::create();
    core::outline::KeyCounter keys;
    core::outline::OutlineEditor editor(*settings, keys);
    // Introduction (1) > Scope (2) > Details « quoted » (3); Appendix (5)
    auto add = [&](const std::string& title, const std::string& page) {
        editor.insert();
        settings->setText("txtOutlineText", title);
        settings->setText("txtOutlinePage", page);
    };
    add("Introduction", "1");
    add("Scope", "2");
    editor.indent();
    add("Details \xC2\xAB quoted \xC2\xBB", "3");
    editor.indent();
    add("Appendix", "5");
    editor.outdent();
    editor.outdent();
    std::vector<Flat> made;
    flatten(editor.outline().topLevel(), 1, made);
    ASSERT_EQ(made.size(), 4u);
    ASSERT_EQ(made[3], (Flat{1, "Appendix", "5"}));

    writeFile(dir.path("outline.txt"), core::outline::buildBM(editor.outline()));
    const auto out = dir.path("out.pdf").string();
    const auto r = run("cd " + quote(dir.root().string()) + " && " + quote(PLAIT_CLI_PATH) +
                       " build -q --bookmarks outline.txt -o out.pdf a.pdf b.pdf");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);

    engine::EngineRegistry engines;
    pdf::registerPlaitEngine(engines);
    auto fresh = core::settings::SettingsModel::create();
    core::outline::OutlineEditor imported(*fresh, keys);
    NoMessages messages;
    imported.importBookmarks(engines, out, messages);
    EXPECT_TRUE(messages.shown.empty());
    std::vector<Flat> back;
    flatten(imported.outline().topLevel(), 1, back);
    EXPECT_EQ(back, made);
}
