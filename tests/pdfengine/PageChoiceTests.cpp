// Pages chosen per input (setInPages): which pages, in which order, turned how, and how the
// job's page list for every input applies after them. Checked with pdftotext and qpdf.

#include "pdfengine/Fixtures.h"
#include "pdfengine/PageChoice.h"

#include <gmock/gmock.h>

namespace plait::pdf::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Each page's text without blanks: pdftotext sets "a 1" in the fixtures' narrow font as "a1".
std::vector<std::string> trimmed(const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    for (std::string t : texts) {
        std::erase_if(t, [](char c) { return c == ' ' || c == '\n' || c == '\f'; });
        out.push_back(t);
    }
    return out;
}

std::vector<long long> rotations(const std::string& pdf) {
    QPDF q;
    q.processFile(pdf.c_str());
    std::vector<long long> r;
    for (QPDFObjectHandle page : q.getAllPages()) {
        QPDFObjectHandle rotate = page.getKey("/Rotate");
        r.push_back(rotate.isInteger() ? rotate.getIntValue() : 0);
    }
    return r;
}

TEST(PageChoiceList, ItemsTurnsAndThePullListAfterThem) {
    std::vector<std::string> notes;
    const PageList all;
    const auto pages = [&](std::string_view text, int count, const PageList& pull) {
        std::vector<std::pair<int, int>> r;
        for (const auto& c : PageChoice::parse(text, notes).resolve(count, pull)) {
            r.emplace_back(c.index + 1, c.turn);
        }
        return r;
    };
    using P = std::vector<std::pair<int, int>>;
    EXPECT_EQ(pages("1,3,6-8,z", 10, all), (P{{1, 0}, {3, 0}, {6, 0}, {7, 0}, {8, 0}, {10, 0}}));
    EXPECT_EQ(pages("2-4:90, odd:-90, z-9:180", 10, all), (P{{2, 90},
                                                             {3, 90},
                                                             {4, 90},
                                                             {1, 270},
                                                             {3, 270},
                                                             {5, 270},
                                                             {7, 270},
                                                             {9, 270},
                                                             {10, 180},
                                                             {9, 180}}));
    EXPECT_TRUE(notes.empty());
    // The pull list counts the chosen pages, not the input's: "2" is the second page chosen.
    EXPECT_EQ(pages("5-9,odd", 10, PageList::parse("2,even", notes)),
              (P{{6, 0}, {6, 0}, {8, 0}, {1, 0}, {5, 0}, {9, 0}}));

    // A turn that is no multiple of 90 and an unreadable item are left out, with a note each;
    // a choice with nothing readable selects nothing, never the whole input.
    EXPECT_EQ(pages("1:45,x-3,2", 5, all), (P{{2, 0}}));
    EXPECT_EQ(notes.size(), 2u);
    EXPECT_EQ(pages("nine", 5, all), P{});
    EXPECT_FALSE(PageChoice::parse("nine", notes).selectsAll());
    EXPECT_TRUE(PageChoice::parse(" ", notes).selectsAll());
}

class PageChoices : public ::testing::Test {
protected:
    TempDir dir;
    std::string out = dir.path("out.pdf").string();
    std::string a = makePdf(dir.path("a.pdf"), "a", 5);
    std::string b = makePdf(dir.path("b.pdf"), "b", 9);
};

TEST_F(PageChoices, EachInputGivesItsOwnPagesTurnedAsAsked) {
    Build build;
    build.call("setOutFile", {out})
        .call("setInFile", {a + "," + b + "," + a})
        .call("setInPages", {"1", "1-3"})
        .call("setInPages", {"2", "5-9:90,odd"});
    ASSERT_EQ(build.run(), "18");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    EXPECT_THAT(trimmed(pageTexts(out)), ElementsAre("a1", "a2", "a3", "b5", "b6", "b7", "b8", "b9", "b1",
                                                     "b3", "b5", "b7", "b9", "a1", "a2", "a3", "a4", "a5"));
    // The third input, the same file as the first but without a choice, gives every page.
    EXPECT_EQ(rotations(out),
              (std::vector<long long>{0, 0, 0, 90, 90, 90, 90, 90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(PageChoices, ChoicesFollowTheirInputWhenSortedAndPullPagesApplyAfterThem) {
    // Listed b, a; sorted by name a, b: each keeps its own choice.
    Build build;
    build.call("setOutFile", {out})
        .call("setInFile", {b + "," + a})
        .call("setSort", {"f"})
        .call("setInPages", {"1", "9-7"})
        .call("setInPages", {"2", "z:180"})
        .call("setPages", {"1,1"});
    ASSERT_EQ(build.run(), "4");
    EXPECT_THAT(trimmed(pageTexts(out)), ElementsAre("a5", "a5", "b9", "b9"));
    EXPECT_EQ(rotations(out), (std::vector<long long>{180, 180, 0, 0}));

    // A single input with a choice is copied, not written as it stands.
    Build one;
    one.call("setOutFile", {out}).call("setInFile", {a}).call("setInPages", {"1", "2:90"});
    ASSERT_EQ(one.run(), "1");
    EXPECT_THAT(trimmed(pageTexts(out)), ElementsAre("a2"));
    EXPECT_EQ(rotations(out), (std::vector<long long>{90}));
}

TEST_F(PageChoices, UnreadableChoicesAreReportedAndSelectNothing) {
    Build build;
    build.call("setOutFile", {out})
        .call("setInFile", {a + "," + b})
        .call("setInPages", {"first", "1"})
        .call("setInPages", {"1", "x"})
        .call("setInPages", {"2", "2,12"});
    ASSERT_EQ(build.run(), "1");
    EXPECT_THAT(trimmed(pageTexts(out)), ElementsAre("b2"));
    EXPECT_TRUE(build.warned("setInPages: \"first\" is not the place of an input"));
    EXPECT_TRUE(build.warned("setInPages: input 1: Page list item \"x\" cannot be read"));
    EXPECT_TRUE(build.warned("names pages that some inputs do not have"));
}

} // namespace
} // namespace plait::pdf::testing
