#pragma once

#include "Outline.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace plait::ui {
class Form;
class MessageBox;
} // namespace plait::ui

namespace plait::engine {
class EngineRegistry;
}

namespace plait::core::outline {

// The behaviour of the "Bookmarks" tab: the outline with its buttons, bound to the tab's
// three edit fields (txtOutlineText, txtOutlinePage, chkOutline) of the settings form.
//
// The editor owns the outline and lives as long as the settings form it was given: both
// are thrown away together on every reset. The key counter is the program's and outlives
// them. A change of an edit field, by the user or the program, rewrites the selected
// entry; the rules it adds to the form go quiet once the editor is gone.
class OutlineEditor {
public:
    OutlineEditor(ui::Form& fields, KeyCounter& keys);
    ~OutlineEditor();
    OutlineEditor(const OutlineEditor&) = delete;
    OutlineEditor& operator=(const OutlineEditor&) = delete;

    Outline& outline() { return *outline_; }
    const Outline& outline() const { return *outline_; }

    // btnInsBefore: a new entry after the selected one, selected and shown in the fields.
    void insert();
    // btnDelOutline. The entry that becomes selected instead is shown in the fields, so
    // that the fields never edit an entry other than the one they show.
    void removeSelected();
    // btnUp, btnDown, cmdLeft, cmdRight. The fields are not refilled: they still show the
    // moved entry.
    void moveUp();
    void moveDown();
    void outdent();
    void indent();

    // A click on an entry of the tree: select it and fill the fields from it.
    void select(Entry* entry);
    // Fills the three fields from an entry (their change rules run as for any change).
    void setOutlineText(const Entry& entry);

    // btnLoadOutline: replaces the outline with the bookmarks of `input` (the entry selected
    // in the main window's input list) as a fresh "PDF.PlaitApp" engine lists them, using
    // the passwords of txtPass. Without an input it shows "No PDF selected." and changes
    // nothing. While the engine runs the status bar says "Loading Bookmarks..." and
    // `busy(true)` lets the window disable itself; `busy(false)` always follows.
    // Afterwards a1 is selected and shown in the fields. A listing that fails (-1 to -5)
    // shows the failure's message and keeps the outline as it was.
    void importBookmarks(const engine::EngineRegistry& engines, const std::optional<std::string>& input,
                         ui::MessageBox& messages, const std::function<void(bool)>& busy = {});

private:
    ui::Form& fields_;
    std::shared_ptr<Outline> outline_;
};

} // namespace plait::core::outline
