#include "pdfengine/JobBuilder.h"
#include "engine/MergeEngine.h"
#include "engine/Operations.h"
#include "pdfengine/Job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using plait::pdf::Job;
using plait::pdf::JobBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

// A fresh job filled by one builder from the calls, in order.
struct Built {
    Job job;
    JobBuilder builder{job};
    Built& call(std::string_view op, std::vector<std::string> args = {}) {
        builder.apply(op, args);
        return *this;
    }
};

TEST(JobBuilderWarnings, NumbersThatAreNoNumbersAreNotedAndIgnored) {
    Built b;
    b.call("setAngle", {"ninety"}).call("setPageDown", {"12pt"}).call("setPageScale", {"50"});
    EXPECT_THAT(b.job.notes, ElementsAre("setAngle: \"ninety\" is not a number; ignored",
                                         "setPageDown: \"12pt\" is not a number; ignored"));
    EXPECT_FALSE(b.job.geometry.angle);
    EXPECT_EQ(b.job.geometry.down, 0);
    EXPECT_EQ(b.job.geometry.scalePercent, 50);
}

TEST(JobBuilderWarnings, BoxesWithoutAreaOrANumberAreIgnored) {
    Built b;
    b.call("setCropBox", {"0", "0", "0", "100"})
        .call("setArtBox", {"0", "10", "100", "10"})
        .call("setTrimBox", {"0", "0", "x", "100"})
        .call("setMediaBox", {"0", "0", "200", "100"});
    EXPECT_THAT(b.job.notes, ElementsAre("setCropBox: the box has no area; ignored",
                                         "setArtBox: the box has no area; ignored",
                                         "setTrimBox: \"x\" is not a number; ignored"));
    EXPECT_FALSE(b.job.geometry.cropBox);
    EXPECT_FALSE(b.job.geometry.artBox);
    EXPECT_FALSE(b.job.geometry.trimBox);
    ASSERT_TRUE(b.job.geometry.mediaBox);
    EXPECT_EQ((*b.job.geometry.mediaBox)[2], 200);
}

TEST(JobBuilderWarnings, ScalesAndPageSizesMustBeAboveZero) {
    Built b;
    b.call("setPageScale", {"0"}).call("setPageSize", {"100", "-1"}).call("setPageSize", {"0", "50"});
    EXPECT_THAT(b.job.notes, ElementsAre("setPageScale: a scale must be above 0 percent; ignored",
                                         "setPageSize: a page needs a width and a height above 0; ignored",
                                         "setPageSize: a page needs a width and a height above 0; ignored"));
    EXPECT_FALSE(b.job.geometry.scalePercent);
    EXPECT_FALSE(b.job.geometry.pageSize);
}

TEST(JobBuilderWarnings, UnknownKeysModesAndUnitsFallBackAndSaySo) {
    Built b;
    b.call("setSort", {"size"})
        .call("setAutoScale", {"sideways"})
        .call("setImpose", {"4-up"})
        .call("setOnePage", {"tile"})
        .call("setUnits", {"furlong"})
        .call("setPageRight", {"2"});
    EXPECT_THAT(b.job.notes, ElementsAre("setSort: unknown sort key \"size\"; inputs kept in list order",
                                         "setAutoScale: unknown mode \"sideways\"; ignored",
                                         "setImpose: unknown layout \"4-up\"; ignored",
                                         "setOnePage: unknown layout \"tile\"; ignored",
                                         "setUnits: unknown unit \"furlong\"; points are used"));
    EXPECT_EQ(b.job.sort, 0);
    EXPECT_FALSE(b.job.geometry.scaleUp || b.job.geometry.scaleDown);
    EXPECT_EQ(b.job.geometry.right, 2) << "an unknown unit reads lengths as points";

    // Blank values are "not given" and say nothing.
    Built quiet;
    quiet.call("setSort", {" "}).call("setAutoScale", {""}).call("setImpose", {""}).call("setUnits", {""});
    EXPECT_THAT(quiet.job.notes, IsEmpty());
}

TEST(JobBuilderWarnings, TransparencyIsClampedAndAnUnknownBlendModeIsNormal) {
    Built b;
    b.call("setTransparency", {"150", "Dazzle"});
    EXPECT_THAT(b.job.notes, ElementsAre("setTransparency: a transparency is 0 to 100 percent; 100 is used",
                                         "setTransparency: unknown blend mode \"Dazzle\"; Normal is used"));
    EXPECT_EQ(b.job.compose.transparency, 100);
    EXPECT_EQ(b.job.compose.blend, "Normal");

    Built low;
    low.call("setTransparency", {"-5", ""});
    EXPECT_THAT(low.job.notes, ElementsAre("setTransparency: a transparency is 0 to 100 percent; 0 is used"));
    EXPECT_EQ(low.job.compose.transparency, 0);
}

TEST(JobBuilderWarnings, AttributesNeedANameAndMediaFlagsAreKnownLetters) {
    Built b;
    b.call("setAttribute", {" ", "value"})
        .call("setAttribute", {" Dept ", "Sales"})
        .call("setMediaPlay", {"o, x"});
    EXPECT_THAT(b.job.notes, ElementsAre("setAttribute: an attribute without a name is ignored",
                                         "setMediaPlay: unknown flag \"x\"; ignored"));
    ASSERT_EQ(b.job.description.attributes.size(), 1u);
    EXPECT_EQ(b.job.description.attributes[0].first, "Dept");
    EXPECT_TRUE(b.job.media.onPageOpen);
}

// The builder has one handler for every operation of the engine's table, and none besides;
// a name or an argument count the table does not allow is refused, not noted and ignored.
TEST(JobBuilderTable, CoversTheEngineOperationTableExactly) {
    std::vector<std::string_view> engine;
    for (const auto& op : plait::engine::operationTable()) {
        engine.push_back(op.name);
    }
    auto builder = JobBuilder::operations();
    std::sort(engine.begin(), engine.end());
    std::sort(builder.begin(), builder.end());
    EXPECT_EQ(builder, engine);

    for (const auto& op : plait::engine::operationTable()) {
        Built b;
        b.call(op.name, std::vector<std::string>(static_cast<std::size_t>(op.arity), ""));
        for (const auto& note : b.job.notes) {
            EXPECT_THAT(note, ::testing::Not(HasSubstr("not supported"))) << op.name;
        }
    }
    Built unknown;
    try {
        unknown.call("setNothing");
        ADD_FAILURE() << "an unknown operation was taken";
    } catch (const plait::engine::EngineCallError& e) {
        EXPECT_THAT(e.what(), HasSubstr("setNothing"));
    }
    EXPECT_THROW(unknown.call("setPageSize", {"1"}), plait::engine::EngineCallError);
    EXPECT_THAT(unknown.job.notes, IsEmpty());
}

TEST(JobBuilderWarnings, PageNumberValuesAreReadWhenTheyArrive) {
    Built b;
    b.call("setPageNumAlign", {" r "})
        .call("setPageLMargin", {"2,5"})
        .call("setPageBMargin", {"low"})
        .call("setPageFmt", {""})
        .call("setPageNumStyle", {"Greek"})
        .call("setFontSize", {"-3"});
    EXPECT_THAT(b.job.notes, ElementsAre("setPageBMargin: \"low\" is not a number; 36 is used",
                                         "setPageNumStyle: unknown style \"Greek\"; Arabic numbers are used",
                                         "setFontSize: a size must be above 0; 10 is used"));
    using Marks = plait::pdf::MarkOptions;
    EXPECT_EQ(b.job.marks.pageNumAlign, Marks::Align::Right);
    EXPECT_EQ(b.job.marks.pageLMargin, 2.5);
    EXPECT_EQ(b.job.marks.pageBMargin, 36);
    EXPECT_EQ(b.job.marks.pageFmt, "%1 of %2");
    EXPECT_EQ(b.job.marks.pageNumStyle, Marks::NumberStyle::Arabic);
    EXPECT_EQ(b.job.marks.fontSize, 10);

    // "roman" is lower case; any other spelling of it upper case. Blank sizes are the default.
    Built roman;
    roman.call("setPageNumStyle", {" roman "}).call("setFontSize", {"x"}).call("setFontSize", {" "});
    EXPECT_EQ(roman.job.marks.pageNumStyle, Marks::NumberStyle::LowerRoman);
    EXPECT_THAT(roman.job.notes, ElementsAre("setFontSize: \"x\" is not a number; 10 is used"));
    roman.call("setPageNumStyle", {"ROMAN"});
    EXPECT_EQ(roman.job.marks.pageNumStyle, Marks::NumberStyle::Roman);
}

// Page lists are read when they arrive; an overlay list after setStamp is the stamp's.
TEST(JobBuilderWarnings, PageListItemsThatCannotBeReadAreNotedUnderTheirList) {
    Built b;
    b.call("setPages", {"1,x"}).call("setOverlayPages", {" 2, 0 "});
    b.call("setStamp", {"Draft"}).call("setOverlayPages", {"odd,?"});
    EXPECT_THAT(b.job.notes, ElementsAre("Page list item \"x\" cannot be read; ignored",
                                         "Overlay pages: Page list item \"0\" cannot be read; ignored",
                                         "Stamp: Page list item \"?\" cannot be read; ignored"));
    EXPECT_EQ(b.job.pageList.resolve(3), (std::vector<int>{0}));
    EXPECT_EQ(b.job.compose.overlayPages.resolve(3), (std::vector<int>{1}));
    ASSERT_TRUE(b.job.stamp);
    EXPECT_EQ(b.job.stamp->pages.resolve(4), (std::vector<int>{0, 2}));

    Built blank;
    blank.call("setPages", {" "}).call("setOverlayPages", {""});
    EXPECT_TRUE(blank.job.pageList.selectsAll());
    EXPECT_TRUE(blank.job.compose.overlayPages.selectsAll());
}

TEST(JobBuilderWarnings, MarkingModesAndColoursFallBackToAYellowHighlight) {
    using Style = plait::pdf::TextMarking::Style;
    Built b;
    b.call("setStringColorMode", {"UL"}).call("setStringColor", {"#0000FF"});
    EXPECT_EQ(b.job.textMarking.style, Style::Underline);
    EXPECT_EQ(b.job.textMarking.color, (plait::pdf::Rgb{0, 0, 1}));
    b.call("setStringColorMode", {" XX "}).call("setStringColor", {" red "});
    EXPECT_THAT(b.job.notes, ElementsAre("setStringColorMode: unknown mode \"XX\"; the text is highlighted",
                                         "setStringColor: \"red\" is not an RRGGBB colour; yellow is used"));
    EXPECT_EQ(b.job.textMarking.style, Style::Highlight);
    EXPECT_EQ(b.job.textMarking.color, (plait::pdf::Rgb{1, 1, 0}));
}

} // namespace

namespace {

TEST(JobBuilderWarnings, ImageReductionNeedsAUsableResolutionAndQuality) {
    Built b;
    b.call("setImageReduce", {"150", ""});
    EXPECT_EQ(b.job.imageReduce.dpi, 150);
    EXPECT_EQ(b.job.imageReduce.quality, 75);
    b.call("setImageReduce", {"200", "150"});
    EXPECT_EQ(b.job.imageReduce.quality, 100);
    b.call("setImageReduce", {"5", "50"});
    EXPECT_FALSE(b.job.imageReduce.wanted());
    b.call("setImageReduce", {"high", "50"})
        .call("setImageReduce", {"0", ""})
        .call("setImageReduce", {" ", "9"});
    EXPECT_FALSE(b.job.imageReduce.wanted());
    EXPECT_THAT(b.job.notes,
                ElementsAre("setImageReduce: a JPEG quality must be 1 to 100, not \"150\"; 100 is used",
                            "setImageReduce: a resolution must be 10 to 10000 dpi, not \"5\"; ignored",
                            "setImageReduce: \"high\" is not a number; ignored"));
}

} // namespace
