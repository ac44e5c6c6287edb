#include "gui/outline/OutlineEditorView.h"
#include "core/outline/OutlineEditor.h"
#include "core/settings/SettingsModel.h"
#include "engine/EngineRegistry.h"
#include "engine/RecordingEngine.h"
#include "gui/ui/FormBinder.h"
#include "gui/ui/TestApp.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

using namespace plait;
using core::outline::Entry;
using core::outline::KeyCounter;
using core::outline::OutlineEditor;

namespace {

class RecordingMessages : public ui::MessageBox {
public:
    std::vector<std::string> texts;
    ui::Answer show(const std::string& text, const std::string&, ui::Icon, ui::Buttons) override {
        texts.push_back(text);
        return ui::Answer::Ok;
    }
};

// The Bookmarks tab's widgets, by the names the dialog gives them.
struct Tab {
    QWidget root;
    QTreeWidget* tree = new QTreeWidget(&root);
    QLineEdit* title = new QLineEdit(&root);
    QLineEdit* page = new QLineEdit(&root);
    QCheckBox* closed = new QCheckBox(&root);
    QStatusBar* status = new QStatusBar(&root);

    Tab() {
        auto* layout = new QVBoxLayout(&root);
        tree->setObjectName("TreeOutline");
        layout->addWidget(tree);
        for (const char* name :
             {"btnUp", "cmdLeft", "cmdRight", "btnDown", "btnDelOutline", "btnInsBefore", "btnLoadOutline"}) {
            auto* b = new QPushButton(QString::fromLatin1(name), &root);
            b->setObjectName(QString::fromLatin1(name));
            layout->addWidget(b);
        }
        title->setObjectName("txtOutlineText");
        page->setObjectName("txtOutlinePage");
        closed->setObjectName("chkOutline");
        status->setObjectName("StatusBar1");
        for (QWidget* w : {static_cast<QWidget*>(title), static_cast<QWidget*>(page),
                           static_cast<QWidget*>(closed), static_cast<QWidget*>(status)}) {
            layout->addWidget(w);
        }
    }
    void click(const char* name) {
        QTest::mouseClick(root.findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
};

struct OutlineViewFixture : ::testing::Test {
    QApplication& app = test::testApp();
    KeyCounter keys;
    std::unique_ptr<core::settings::SettingsModel> model = core::settings::SettingsModel::create();
    std::unique_ptr<OutlineEditor> editor = std::make_unique<OutlineEditor>(*model, keys);
    Tab tab;
    gui::FormBinder binder{&tab.root, *model};
    engine::EngineRegistry engines;
    RecordingMessages messages;
    std::optional<std::string> input;
    std::string listing;
    bool windowEnabledDuringRun = true;
    QString statusDuringRun;
    gui::OutlineEditorView view{&tab.root, *editor, {engines, messages, [this] { return input; }}};

    OutlineViewFixture() {
        engines.add(std::string(engine::kPlaitEngineName), [this] {
            auto e = std::make_unique<engine::RecordingEngine>();
            e->setRunHook([this](engine::RecordingEngine&) {
                windowEnabledDuringRun = tab.root.isEnabled();
                statusDuringRun = tab.status->currentMessage();
                return listing;
            });
            return e;
        });
        tab.root.show();
    }

    std::string entryKey(const QTreeWidgetItem* item) { return view.entryFor(item)->key; }
    QString itemText(const std::string& key) { return view.itemFor(editor->outline().find(key))->text(0); }
};

TEST_F(OutlineViewFixture, ButtonsEditTheTreeAndTheFieldsFollowTheSelection) {
    tab.click("btnInsBefore");
    tab.click("btnInsBefore");
    tab.click("btnInsBefore");
    ASSERT_EQ(tab.tree->topLevelItemCount(), 3);
    EXPECT_EQ(tab.title->text(), "New Bookmark");
    EXPECT_TRUE(tab.closed->isChecked());

    // Typing in the fields edits the selected entry (a3).
    QTest::keyClicks(tab.page, "12");
    tab.title->selectAll();
    QTest::keyClicks(tab.title, "Third");
    tab.closed->click();
    EXPECT_EQ(editor->outline().find("a3")->tag, "12|N");
    EXPECT_EQ(itemText("a3"), "Third");

    // Indent a3 under a2 via the button: the tree shows it as a2's child, still selected.
    tab.click("cmdRight");
    ASSERT_EQ(tab.tree->topLevelItemCount(), 2);
    QTreeWidgetItem* a2 = tab.tree->topLevelItem(1);
    ASSERT_EQ(a2->childCount(), 1);
    EXPECT_EQ(a2->child(0)->text(0), "Third");
    EXPECT_TRUE(a2->isExpanded());
    EXPECT_EQ(tab.tree->currentItem(), a2->child(0));

    // A click on another entry shows it in the fields.
    tab.tree->setCurrentItem(nullptr);
    const QRect rect = tab.tree->visualItemRect(tab.tree->topLevelItem(0));
    QTest::mouseClick(tab.tree->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(editor->outline().selected()->key, "a1");
    EXPECT_EQ(tab.page->text(), "");

    // Move a1 down past a2 (with its child), then delete a2 with its subtree.
    tab.click("btnDown");
    EXPECT_EQ(tab.tree->topLevelItem(1)->text(0), "New Bookmark");
    EXPECT_EQ(entryKey(tab.tree->topLevelItem(1)), "a1");
    tab.click("btnUp");
    tab.click("cmdLeft"); // top level: nothing
    QTest::mouseClick(tab.tree->viewport(), Qt::LeftButton, {},
                      tab.tree->visualItemRect(tab.tree->topLevelItem(1)).center());
    tab.click("btnDelOutline");
    ASSERT_EQ(tab.tree->topLevelItemCount(), 1);
    EXPECT_EQ(editor->outline().find("a3"), nullptr);
}

TEST_F(OutlineViewFixture, ImportDisablesTheWindowShowsTheStatusAndFillsTheTree) {
    tab.click("btnLoadOutline");
    EXPECT_EQ(messages.texts, std::vector<std::string>{"No PDF selected."});

    input = "/in/a.pdf";
    listing = "<BOOKMARK LEVEL=1 DESCR=\"One\" PAGE=1>\r\n<BOOKMARK LEVEL=2 DESCR=\"Two\" PAGE=2>\r\n";
    tab.click("btnLoadOutline");
    EXPECT_FALSE(windowEnabledDuringRun);
    EXPECT_EQ(statusDuringRun, "Loading Bookmarks...");
    EXPECT_TRUE(tab.root.isEnabled());
    EXPECT_EQ(tab.status->currentMessage(), "");
    ASSERT_EQ(tab.tree->topLevelItemCount(), 1);
    EXPECT_TRUE(tab.tree->topLevelItem(0)->isExpanded());
    EXPECT_EQ(tab.tree->topLevelItem(0)->child(0)->text(0), "Two");
    EXPECT_EQ(tab.title->text(), "One");
    EXPECT_EQ(tab.page->text(), "1");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(OutlineViewFixture, RebindAfterResetShowsTheNewEmptyOutlineAndKeysGoOn) {
    tab.click("btnInsBefore");
    core::settings::resetSettings(model);
    editor = std::make_unique<OutlineEditor>(*model, keys);
    binder.rebind(*model);
    view.rebind(*editor);
    EXPECT_EQ(tab.tree->topLevelItemCount(), 0);
    tab.click("btnInsBefore");
    EXPECT_EQ(editor->outline().topLevel().front()->key, "a2");
    EXPECT_EQ(tab.tree->topLevelItemCount(), 1);
}

} // namespace
