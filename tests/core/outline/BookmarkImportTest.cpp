#include "core/outline/BookmarkImport.h"
#include "core/outline/BookmarkMarkup.h"
#include "core/outline/OutlineEditor.h"
#include "core/ui/Form.h"
#include "core/ui/Interfaces.h"
#include "engine/EngineRegistry.h"
#include "engine/RecordingEngine.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace plait::core::outline;
using plait::engine::CallLog;
using plait::engine::EngineRegistry;
using plait::engine::RecordingEngine;
using plait::ui::Control;
using plait::ui::ControlKind;
using plait::ui::Form;

namespace {

struct RecordedMessage {
    std::string text, caption;
    plait::ui::Icon icon;
};

class FakeMessageBox : public plait::ui::MessageBox {
public:
    std::vector<RecordedMessage> shown;
    plait::ui::Answer show(const std::string& text, const std::string& caption, plait::ui::Icon icon,
                           plait::ui::Buttons) override {
        shown.push_back({text, caption, icon});
        return plait::ui::Answer::Ok;
    }
};

std::string shape(const EntryList& list) {
    std::string out;
    for (const auto& e : list) {
        out += (out.empty() ? "" : " ") + e->key;
        if (!e->children.empty()) {
            out += "(" + shape(e->children) + ")";
        }
    }
    return out;
}

std::string line(int level, const std::string& title, const std::string& page) {
    return "<BOOKMARK LEVEL=" + std::to_string(level) + " DESCR=\"" + title + "\" PAGE=" + page + ">\r\n";
}

std::string levels(std::initializer_list<int> list) {
    std::string text;
    int n = 0;
    for (int level : list) {
        ++n;
        text += line(level, "T" + std::to_string(n), std::to_string(n * 10));
    }
    return text;
}

struct ImportFixture : ::testing::Test {
    KeyCounter keys;
    Form fields;
    std::unique_ptr<OutlineEditor> editor;
    EngineRegistry engines;
    std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
    std::string listing;
    int created = 0;
    FakeMessageBox messages;
    std::vector<std::string> busyLog;

    ImportFixture() {
        fields.add(Control{.name = "txtOutlinePage", .kind = ControlKind::TextBox});
        fields.add(Control{.name = "chkOutline", .kind = ControlKind::CheckBox});
        fields.add(Control{.name = "txtOutlineText", .kind = ControlKind::TextBox});
        fields.add(Control{.name = "txtPass", .kind = ControlKind::TextBox, .text = "secret"});
        fields.add(Control{.name = "StatusBar1", .kind = ControlKind::StatusBar});
        editor = std::make_unique<OutlineEditor>(fields, keys);
        engines.add(std::string(plait::engine::kPlaitEngineName), [this] {
            ++created;
            auto engine = std::make_unique<RecordingEngine>(log);
            engine->setResult(listing);
            return engine;
        });
    }

    void import(std::optional<std::string> input = "/in/a.pdf") {
        editor->importBookmarks(engines, input, messages, [this](bool on) {
            busyLog.push_back((on ? "on:" : "off:") + fields.text("StatusBar1"));
        });
    }
    Outline& outline() { return editor->outline(); }
};

TEST_F(ImportFixture, WithoutASelectedInputShowsTheMessageAndKeepsTheOutline) {
    editor->insert();
    import(std::nullopt);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "No PDF selected.");
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(messages.shown[0].icon, plait::ui::Icon::Critical);
    EXPECT_EQ(created, 0);
    EXPECT_TRUE(busyLog.empty());
    EXPECT_EQ(shape(outline().topLevel()), "a1");
}

TEST_F(ImportFixture, CallsTheEngineInTheFixedOrder) {
    listing = line(1, "One", "1") + line(2, "Two", "");
    import();
    EXPECT_EQ(created, 1);
    EXPECT_EQ(log->lines(),
              (std::vector<std::string>{
                  "setInFile(\"/in/a.pdf\")",
                  "setOutFile(\"membuild\")",
                  "setPwdList(\"secret\")",
                  "setBookmarkOut()",
                  "BuildPDF()",
                  "setTags(\"<BOOKMARK LEVEL=1 DESCR=\\\"One\\\" PAGE=1>\\r\\n<BOOKMARK LEVEL=2 "
                  "DESCR=\\\"Two\\\" PAGE=>\\r\\n\")",
                  "getNextTag()",
                  "getTagParams(\"LEVEL\")",
                  "getTagParams(\"DESCR\")",
                  "getTagParams(\"PAGE\")",
                  "getTagParams(\"LEVEL\")",
                  "getNextTag()",
                  "getTagParams(\"LEVEL\")",
                  "getTagParams(\"LEVEL\")",
                  "getTagParams(\"DESCR\")",
                  "getTagParams(\"PAGE\")",
                  "getTagParams(\"LEVEL\")",
                  "getNextTag()",
              }));
    EXPECT_EQ(busyLog, (std::vector<std::string>{"on:Loading Bookmarks...", "off:"}));
    EXPECT_TRUE(messages.shown.empty());
    // An empty PAGE gives the tag of a new entry.
    EXPECT_EQ(outline().find("a2")->tag, "|Y");
}

TEST_F(ImportFixture, LevelsBuildTheTreeAndTheFirstEntryIsShown) {
    fields.setValue("chkOutline", 0);
    listing = levels({1, 2, 2, 1, 2});
    import();
    EXPECT_EQ(shape(outline().topLevel()), "a1(a2 a3) a4(a5)");
    EXPECT_TRUE(outline().find("a1")->expanded);
    EXPECT_TRUE(outline().find("a4")->expanded);
    EXPECT_EQ(outline().selected(), outline().find("a1"));
    EXPECT_EQ(outline().find("a3")->text, "T3");
    EXPECT_EQ(outline().find("a3")->tag, "30|Y");
    EXPECT_EQ(fields.text("txtOutlineText"), "T1");
    EXPECT_EQ(fields.text("txtOutlinePage"), "10");
    EXPECT_EQ(fields.value("chkOutline"), 1);

    // The most recent entry of the level above is the parent, even in an earlier subtree.
    listing = levels({1, 2, 3, 1, 3});
    import();
    EXPECT_EQ(shape(outline().topLevel()), "a1(a2(a3 a5)) a4");
}

TEST_F(ImportFixture, LevelsWithoutAParentAttachToTheNearestShallowerLevel) {
    listing = levels({2, 3, 1, 4, 60, 61, 1, -3, 0}) + line(1, "x", "1").replace(16, 1, "abc");
    import();
    // 2 first: top level. 4 under the latest level 3 (a2); 60 and 61 under the deepest
    // remembered level (4: a4); -3, 0 and a level that is no number: top level.
    EXPECT_EQ(shape(outline().topLevel()), "a1(a2(a4(a5 a6))) a3 a7 a8 a9 a10");
}

TEST_F(ImportFixture, EmptyListingLeavesAnEmptyOutlineAndTheFieldsAsTheyWere) {
    editor->insert();
    fields.setText("txtOutlineText", "kept");
    listing = "";
    import();
    EXPECT_TRUE(outline().empty());
    EXPECT_EQ(outline().selected(), nullptr);
    EXPECT_EQ(fields.text("txtOutlineText"), "kept");
    EXPECT_EQ(busyLog.back(), "off:");
}

TEST_F(ImportFixture, KeysStartAgainAtImportAndContinueAfterIt) {
    for (int i = 0; i < 5; ++i) {
        editor->insert(); // a1..a5
    }
    listing = levels({1, 1, 2});
    import();
    EXPECT_EQ(shape(outline().topLevel()), "a1 a2(a3)");
    editor->insert();
    EXPECT_EQ(outline().selected()->key, "a4");
}

TEST_F(ImportFixture, WithoutAnEngineTheOutlineStays) {
    EngineRegistry none;
    editor->insert();
    editor->importBookmarks(none, "/in/a.pdf", messages);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(shape(outline().topLevel()), "a1");
}

TEST_F(ImportFixture, AFailedListingSaysSoAndKeepsTheOutline) {
    editor->insert();
    listing = "-3";
    import();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Cannot decrypt input file.");
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(shape(outline().topLevel()), "a1");
    EXPECT_EQ(log->lines().back(), "BuildPDF()");
    EXPECT_EQ(busyLog.back(), "off:");
}

TEST(BookmarkMarkupRoundTrip, WrittenOutlineReadsBackTheSame) {
    KeyCounter keys;
    Outline outline(keys);
    Entry& a = outline.appendTopLevel("a1", "Chapter \"One\"", "1|Y");
    Entry& b = outline.appendChild(a, "a2", "Sec > 1.1", "2|N");
    outline.appendChild(b, "a3", "Deep", "3|Y");
    outline.appendTopLevel("a4", "", "|N");
    const std::string markup = buildBM(outline);

    KeyCounter otherKeys;
    Outline back(otherKeys);
    EXPECT_EQ(importBookmarkMarkup(markup, back), 4u);
    EXPECT_EQ(shape(back.topLevel()), "a1(a2(a3)) a4");
    EXPECT_EQ(back.find("a1")->text, "Chapter \"One\"");
    EXPECT_EQ(back.find("a2")->text, "Sec > 1.1");
    EXPECT_EQ(back.find("a2")->tag, "2|Y"); // imported entries start closed
    EXPECT_EQ(back.find("a4")->tag, "|Y");
    EXPECT_EQ(otherKeys.value(), 4);
}

TEST(BookmarkListing, RunsTheListingCallsAndReturnsTheResult) {
    RecordingEngine engine;
    engine.setResult("-3");
    EXPECT_EQ(runBookmarkListing(engine, "/x.pdf", ""), "-3");
    EXPECT_EQ(engine.log()->lines(),
              (std::vector<std::string>{"setInFile(\"/x.pdf\")", "setOutFile(\"membuild\")",
                                        "setPwdList(\"\")", "setBookmarkOut()", "BuildPDF()"}));
}

} // namespace
