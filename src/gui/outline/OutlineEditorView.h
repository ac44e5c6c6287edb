#pragma once

#include "core/outline/OutlineEditor.h"
#include "core/ui/Interfaces.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTreeWidget>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace plait::engine {
class EngineRegistry;
}

namespace plait::gui {

// What the outline editor needs from the rest of the program.
struct OutlineEditorServices {
    // Creates the "PDF.PlaitApp" engine of an import.
    const engine::EngineRegistry& engines;
    ui::MessageBox& messages;
    // The path of the entry selected in the main window's input list, or nothing.
    std::function<std::optional<std::string>()> selectedInput;
};

// The view of the "Bookmarks" tab: mirrors the outline into the tree TreeOutline and hands
// the tab's buttons (btnInsBefore, btnDelOutline, btnUp, btnDown, cmdLeft, cmdRight,
// btnLoadOutline) and tree clicks to the core outline editor. It finds every widget by
// objectName under `root`. The three edit fields are ordinary bound fields of the settings
// form (the form binder shows them); their rules in the core keep the outline in step.
//
// The outline is the truth: every change of it rebuilds or updates the tree, and the tree's
// own signals are ignored while that happens.
class OutlineEditorView : public QObject {
    Q_OBJECT
public:
    OutlineEditorView(QWidget* root, core::outline::OutlineEditor& editor, OutlineEditorServices services,
                      QObject* parent = nullptr);
    ~OutlineEditorView() override;

    // Shows another editor (after a reset); the old one may already be gone.
    void rebind(core::outline::OutlineEditor& editor);

    QTreeWidget* tree() const { return tree_; }
    QTreeWidgetItem* itemFor(const core::outline::Entry* entry) const { return items_.value(entry); }
    const core::outline::Entry* entryFor(const QTreeWidgetItem* item) const;

    // btnLoadOutline: the import, with the window disabled and a wait cursor while it runs.
    void importBookmarks();

private:
    void connectButton(const char* name, void (*action)(core::outline::OutlineEditor&));
    void subscribe();
    void rebuild();
    void addItems(QTreeWidgetItem* parentItem, const core::outline::EntryList& entries);
    void applyExpanded(const core::outline::EntryList& entries);
    void showSelection();
    void userSelected(QTreeWidgetItem* item);
    void setBusy(bool busy);

    QPointer<QWidget> root_;
    QPointer<QTreeWidget> tree_;
    core::outline::OutlineEditor* editor_;
    OutlineEditorServices services_;
    QHash<const core::outline::Entry*, QTreeWidgetItem*> items_;
    // Lives as long as the current binding; listeners of an earlier outline hold it weakly.
    ui::Subscription binding_;
    int updating_ = 0;
};

} // namespace plait::gui
