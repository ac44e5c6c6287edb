#include "OutlineEditor.h"

#include "BookmarkImport.h"
#include "core/ui/Form.h"
#include "core/ui/Interfaces.h"
#include "engine/EngineRegistry.h"

#include <exception>

namespace plait::core::outline {
namespace {

constexpr std::string_view kTitleField = "txtOutlineText";
constexpr std::string_view kPageField = "txtOutlinePage";
constexpr std::string_view kClosedField = "chkOutline";
constexpr std::string_view kPasswordsField = "txtPass";
constexpr std::string_view kStatusBar = "StatusBar1";

void setStatus(ui::Form& form, std::string text) {
    if (ui::Control* bar = form.find(kStatusBar)) {
        form.setText(*bar, std::move(text));
    }
}

} // namespace

OutlineEditor::OutlineEditor(ui::Form& fields, KeyCounter& keys)
    : fields_(fields), outline_(std::make_shared<Outline>(keys)) {
    // The form keeps its rules for its whole life; they hold the outline weakly so that
    // they do nothing once this editor, and its outline, are gone.
    std::weak_ptr<Outline> weak = outline_;
    fields_.onChange(kTitleField, [weak](ui::Form&, const ui::Control& c) {
        if (auto outline = weak.lock()) {
            outline->setSelectedTitle(c.text);
        }
    });
    fields_.onChange(kPageField, [weak](ui::Form&, const ui::Control& c) {
        if (auto outline = weak.lock()) {
            outline->setSelectedPage(c.text);
        }
    });
    fields_.onChange(kClosedField, [weak](ui::Form&, const ui::Control& c) {
        if (auto outline = weak.lock()) {
            outline->setSelectedClosed(c.value == 1);
        }
    });
}

OutlineEditor::~OutlineEditor() = default;

void OutlineEditor::setOutlineText(const Entry& entry) {
    // Copies first: each field's rule may rewrite the entry before the next is read.
    const std::string title = entry.text;
    const std::string page = entry.page();
    const bool closed = entry.closed();
    if (ui::Control* c = fields_.find(kTitleField)) {
        fields_.setText(*c, title);
    }
    if (ui::Control* c = fields_.find(kPageField)) {
        fields_.setText(*c, page);
    }
    if (ui::Control* c = fields_.find(kClosedField)) {
        fields_.setValue(*c, closed ? 1 : 0);
    }
}

void OutlineEditor::insert() {
    Entry& entry = outline_->insert();
    setOutlineText(entry);
}

void OutlineEditor::removeSelected() {
    if (outline_->removeSelected() && outline_->selected() != nullptr) {
        setOutlineText(*outline_->selected());
    }
}

void OutlineEditor::moveUp() {
    outline_->moveUp();
}
void OutlineEditor::moveDown() {
    outline_->moveDown();
}
void OutlineEditor::outdent() {
    outline_->outdent();
}
void OutlineEditor::indent() {
    outline_->indent();
}

void OutlineEditor::select(Entry* entry) {
    outline_->select(entry);
    if (entry != nullptr) {
        setOutlineText(*entry);
    }
}

void OutlineEditor::importBookmarks(const engine::EngineRegistry& engines,
                                    const std::optional<std::string>& input, ui::MessageBox& messages,
                                    const std::function<void(bool)>& busy) {
    if (!input) {
        messages.show("No PDF selected.", "Error", ui::Icon::Critical, ui::Buttons::Ok);
        return;
    }
    // Created before the outline is emptied: without an engine the user keeps the outline.
    std::unique_ptr<engine::MergeEngine> engine = engines.create(engine::kPlaitEngineName);
    if (!engine) {
        messages.show("Cannot create the PDF engine.", "Error", ui::Icon::Critical, ui::Buttons::Ok);
        return;
    }

    setStatus(fields_, "Loading Bookmarks...");
    if (busy) {
        busy(true);
    }
    std::string failure;
    try {
        const std::string tags = runBookmarkListing(*engine, *input, fields_.text(kPasswordsField));
        if (auto message = listingFailureMessage(tags)) {
            // An input the engine could not read (a wrong password, say) says so and leaves
            // the user's outline alone, rather than silently emptying it.
            failure = *message;
        } else {
            outline_->clear();
            engine->call("setTags", {tags});
            EngineTagSource source(*engine);
            loadTags(source, *outline_);
        }
    } catch (const std::exception& e) {
        failure = std::string("Cannot read the bookmarks: ") + e.what();
    }
    engine.reset();

    if (failure.empty()) {
        if (Entry* first = outline_->find("a1")) {
            select(first);
        }
    }
    setStatus(fields_, "");
    if (busy) {
        busy(false);
    }
    if (!failure.empty()) {
        messages.show(failure, "Error", ui::Icon::Critical, ui::Buttons::Ok);
    }
}

} // namespace plait::core::outline
