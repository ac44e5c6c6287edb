#include "core/outline/Outline.h"
#include "core/outline/BookmarkMarkup.h"
#include "core/outline/OutlineEditor.h"
#include "core/ui/Form.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace plait::core::outline;
using plait::ui::Control;
using plait::ui::ControlKind;
using plait::ui::Form;

namespace {

// The Bookmarks tab's fields, as the settings form holds them.
std::unique_ptr<Form> makeFields() {
    auto form = std::make_unique<Form>();
    form->add(Control{.name = "txtOutlinePage", .kind = ControlKind::TextBox});
    form->add(Control{.name = "chkOutline", .kind = ControlKind::CheckBox});
    form->add(Control{.name = "txtOutlineText", .kind = ControlKind::TextBox});
    form->add(Control{.name = "txtPass", .kind = ControlKind::TextBox});
    form->add(Control{.name = "StatusBar1", .kind = ControlKind::StatusBar});
    return form;
}

// The outline as "key(children...)" with a space between siblings, e.g. "a1(a2 a3) a4".
std::string shape(const EntryList& list) {
    std::string out;
    for (const auto& e : list) {
        if (!out.empty()) {
            out += ' ';
        }
        out += e->key;
        if (!e->children.empty()) {
            out += "(" + shape(e->children) + ")";
        }
    }
    return out;
}

struct OutlineFixture : ::testing::Test {
    KeyCounter keys;
    std::unique_ptr<Form> fields = makeFields();
    std::unique_ptr<OutlineEditor> editor = std::make_unique<OutlineEditor>(*fields, keys);
    Outline& outline() { return editor->outline(); }
    std::string shape() { return ::shape(outline().topLevel()); }
    void selectKey(const std::string& key) { editor->select(outline().find(key)); }

    // Builds "a1 a2 a3" (three top-level entries) by inserting in turn.
    void threeTopLevel() {
        editor->insert();
        editor->insert();
        editor->insert();
    }
};

TEST_F(OutlineFixture, InsertOnEmptyOutlineCreatesSelectedClosedEntryAndFillsFields) {
    fields->setText("txtOutlinePage", "99");
    editor->insert();
    ASSERT_EQ(shape(), "a1");
    const Entry& e = *outline().find("a1");
    EXPECT_EQ(e.text, "New Bookmark");
    EXPECT_EQ(e.tag, "|Y");
    EXPECT_EQ(outline().selected(), &e);
    EXPECT_EQ(fields->text("txtOutlineText"), "New Bookmark");
    EXPECT_EQ(fields->text("txtOutlinePage"), "");
    EXPECT_EQ(fields->value("chkOutline"), 1);
}

TEST_F(OutlineFixture, InsertGoesRightAfterSelectedEntryAtItsLevel) {
    threeTopLevel(); // a1 a2 a3
    selectKey("a1");
    editor->insert(); // a4 after a1
    editor->indent(); // under a1
    editor->insert(); // a5 after a4, level 2
    editor->indent(); // under a4, level 3
    editor->insert(); // a6: level 3, directly after a5
    EXPECT_EQ(shape(), "a1(a4(a5 a6)) a2 a3");
    EXPECT_EQ(outline().find("a6")->level(), 3);
    selectKey("a5");
    editor->insert();
    EXPECT_EQ(shape(), "a1(a4(a5 a7 a6)) a2 a3");
}

TEST_F(OutlineFixture, MovesAtTheirLimitsChangeNothing) {
    threeTopLevel();
    selectKey("a2");
    editor->indent(); // a1(a2) a3
    ASSERT_EQ(shape(), "a1(a2) a3");

    editor->moveUp();   // first child
    editor->moveDown(); // last child
    editor->indent();   // first sibling
    EXPECT_EQ(shape(), "a1(a2) a3");

    selectKey("a1");
    editor->outdent(); // top level
    editor->moveUp();
    editor->indent();
    EXPECT_EQ(shape(), "a1(a2) a3");
    selectKey("a3");
    editor->moveDown();
    EXPECT_EQ(shape(), "a1(a2) a3");

    // Nothing selected: nothing moves, and field edits touch no entry.
    outline().select(nullptr);
    editor->moveUp();
    editor->moveDown();
    editor->outdent();
    editor->indent();
    editor->removeSelected();
    fields->setText("txtOutlineText", "changed");
    EXPECT_EQ(shape(), "a1(a2) a3");
    EXPECT_EQ(outline().find("a1")->text, "New Bookmark");
}

TEST_F(OutlineFixture, IndentAndOutdentFollowTheAnchorRules) {
    threeTopLevel();
    selectKey("a2");
    editor->indent();
    EXPECT_EQ(shape(), "a1(a2) a3");
    EXPECT_EQ(outline().find("a2")->level(), 2);
    editor->indent(); // now the first of its siblings
    EXPECT_EQ(shape(), "a1(a2) a3");

    // When the anchor already has children the entry goes after them.
    selectKey("a3");
    editor->indent();
    EXPECT_EQ(shape(), "a1(a2 a3)");
    editor->insert(); // a4 after a3 under a1
    EXPECT_EQ(shape(), "a1(a2 a3 a4)");

    // Outdenting the middle child puts it after its former parent; the last child stays.
    selectKey("a3");
    editor->outdent();
    EXPECT_EQ(shape(), "a1(a2 a4) a3");
    EXPECT_EQ(outline().selected()->key, "a3");
}

TEST_F(OutlineFixture, MovingASubtreeKeepsKeysTitlesTagsAndOrderAndExpandsIt) {
    // a1 a2(a3(a4) a5) with titles and tags of their own.
    editor->insert();
    editor->insert();
    editor->insert();
    editor->indent();
    editor->insert();
    editor->indent();
    selectKey("a3");
    editor->insert(); // a5 after a3 under a2
    ASSERT_EQ(shape(), "a1 a2(a3(a4) a5)");
    for (const char* key : {"a2", "a3", "a4", "a5"}) {
        selectKey(key);
        fields->setText("txtOutlineText", std::string("T") + key);
        fields->setText("txtOutlinePage", std::string("P") + key);
    }
    selectKey("a3");
    fields->setValue("chkOutline", 0);
    outline().setExpanded(*outline().find("a2"), false);
    outline().setExpanded(*outline().find("a3"), false);

    selectKey("a2");
    editor->moveUp();
    EXPECT_EQ(shape(), "a2(a3(a4) a5) a1");
    editor->indent(); // no previous sibling any more
    selectKey("a1");
    editor->indent(); // a1 becomes a2's last child
    selectKey("a2");
    editor->moveDown(); // last at top level: nothing
    EXPECT_EQ(shape(), "a2(a3(a4) a5 a1)");

    selectKey("a3");
    editor->moveDown();
    EXPECT_EQ(shape(), "a2(a5 a3(a4) a1)");
    editor->outdent();
    EXPECT_EQ(shape(), "a2(a5 a1) a3(a4)");

    const Entry& a3 = *outline().find("a3");
    EXPECT_EQ(outline().selected(), &a3);
    EXPECT_EQ(a3.text, "Ta3");
    EXPECT_EQ(a3.tag, "Pa3|N");
    EXPECT_TRUE(a3.expanded);
    const Entry& a4 = *outline().find("a4");
    EXPECT_EQ(a4.text, "Ta4");
    EXPECT_EQ(a4.tag, "Pa4|Y");
    EXPECT_EQ(a4.parent, &a3);
    // The fields are not refilled by a move: they still show the moved entry.
    EXPECT_EQ(fields->text("txtOutlineText"), "Ta3");
}

TEST_F(OutlineFixture, FieldEditsRewriteTheSelectedEntrysTag) {
    editor->insert();
    Entry& e = *outline().find("a1");
    fields->setText("txtOutlinePage", "7");
    EXPECT_EQ(e.tag, "7|Y");
    fields->setText("txtOutlinePage", "12");
    fields->setValue("chkOutline", 0);
    EXPECT_EQ(e.tag, "12|N");
    fields->setValue("chkOutline", 1);
    EXPECT_EQ(e.tag, "12|Y");
    fields->setText("txtOutlineText", "Intro");
    EXPECT_EQ(e.text, "Intro");

    // A "|" typed into the page becomes part of the tag; only what precedes the first one
    // is the page, and the entry no longer counts as closed.
    fields->setText("txtOutlinePage", "3|4");
    EXPECT_EQ(e.tag, "3|4|Y");
    EXPECT_EQ(e.page(), "3");
    EXPECT_FALSE(e.closed());
}

TEST_F(OutlineFixture, SelectingShowsTheEntryWithoutChangingItsTag) {
    threeTopLevel();
    Entry& a2 = *outline().find("a2");
    a2.tag = "5|N";
    a2.text = "Second";
    selectKey("a2");
    EXPECT_EQ(fields->text("txtOutlineText"), "Second");
    EXPECT_EQ(fields->text("txtOutlinePage"), "5");
    EXPECT_EQ(fields->value("chkOutline"), 0);
    EXPECT_EQ(a2.tag, "5|N");
    EXPECT_EQ(outline().find("a3")->tag, "|Y");
}

TEST_F(OutlineFixture, DeleteRemovesTheSubtreeAndShowsTheNextSelection) {
    threeTopLevel();
    selectKey("a2");
    editor->insert();
    editor->indent(); // a1 a2(a4) a3
    selectKey("a3");
    fields->setText("txtOutlineText", "Third");
    selectKey("a2");
    editor->removeSelected();
    EXPECT_EQ(shape(), "a1 a3");
    EXPECT_EQ(outline().find("a4"), nullptr);
    EXPECT_EQ(outline().selected()->key, "a3");
    EXPECT_EQ(fields->text("txtOutlineText"), "Third");
    editor->removeSelected(); // last: the previous sibling takes over
    EXPECT_EQ(outline().selected()->key, "a1");
    editor->removeSelected();
    EXPECT_TRUE(outline().empty());
    EXPECT_EQ(outline().selected(), nullptr);
}

TEST(OutlineKeys, CounterSurvivesResetOfTheDialog) {
    KeyCounter keys;
    {
        auto fields = makeFields();
        OutlineEditor editor(*fields, keys);
        editor.insert();
        editor.insert();
    }
    // A reset: new form, new editor, same program-wide counter.
    auto fields = makeFields();
    OutlineEditor editor(*fields, keys);
    EXPECT_TRUE(editor.outline().empty());
    editor.insert();
    EXPECT_EQ(editor.outline().topLevel().front()->key, "a3");
}

TEST(OutlineKeys, RulesOfADiscardedEditorDoNothing) {
    KeyCounter keys;
    auto fields = makeFields();
    // The handle outlives the outline: it must see no change once the editor is gone (a
    // rule that kept the outline alive would still rewrite its entry).
    int changes = 0;
    plait::ui::Subscription listening;
    {
        OutlineEditor editor(*fields, keys);
        editor.insert();
        listening = editor.outline().subscribe([&](Outline::Change, const Entry*) { ++changes; });
        fields->setText("txtOutlineText", "before");
        ASSERT_GT(changes, 0) << "the rules reach a live editor's outline";
    }
    changes = 0;
    fields->setText("txtOutlineText", "after"); // must not touch freed memory
    fields->setValue("chkOutline", 0);
    EXPECT_EQ(changes, 0);
    listening.reset();
}

TEST(BookmarkMarkup, WritesEveryLineByteForByte) {
    KeyCounter keys;
    Outline outline(keys);
    EXPECT_EQ(buildBM(outline), "");

    Entry& a = outline.appendTopLevel("a1", "A", "3|Y");
    Entry& b = outline.appendChild(a, "a2", "Say \"hi\"", "|N");
    outline.appendChild(b, "a3", "C", "iv|x");
    outline.appendTopLevel("a4", "New Bookmark", "|Y");
    outline.appendTopLevel("a5", "E", "12|4|Y");

    EXPECT_EQ(buildBM(outline), "<BOOKMARK LEVEL=1 DESCR=\"A\" PAGE=3 CLOSED>\r\n"
                                "<BOOKMARK LEVEL=2 DESCR=\"Say \"hi\"\" PAGE=>\r\n"
                                "<BOOKMARK LEVEL=3 DESCR=\"C\" PAGE=iv>\r\n"
                                "<BOOKMARK LEVEL=1 DESCR=\"New Bookmark\" PAGE= CLOSED>\r\n"
                                "<BOOKMARK LEVEL=1 DESCR=\"E\" PAGE=12>\r\n");
}

} // namespace
