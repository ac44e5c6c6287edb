#pragma once

#include "core/ui/Subscription.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plait::core::outline {

// Numbers new outline entries (bmKeyCount). It belongs to the program, not to an outline:
// the settings dialog, and with it the outline, is thrown away on every reset, yet keys go
// on counting. Only an import starts it again from 0.
class KeyCounter {
public:
    // Counts one on and returns the key for it: "a" followed by the new value.
    std::string next();
    void reset() { value_ = 0; }
    std::int64_t value() const { return value_; }

private:
    std::int64_t value_ = 0;
};

// The parts of an entry's tag "page|state": the page is what stands before the first "|",
// the state everything after it, and only the state "Y" means closed.
std::string tagPage(std::string_view tag);
std::string tagState(std::string_view tag);
bool tagClosed(std::string_view tag);

inline constexpr std::string_view kNewBookmarkTitle = "New Bookmark";

struct Entry {
    std::string key;
    std::string text;
    std::string tag;
    bool expanded = false;
    Entry* parent = nullptr;
    std::vector<std::unique_ptr<Entry>> children;

    std::string page() const { return tagPage(tag); }
    bool closed() const { return tagClosed(tag); }
    // 1 for a top-level entry.
    int level() const;
};

using EntryList = std::vector<std::unique_ptr<Entry>>;

// The bookmark outline: an ordered forest of entries with at most one selected.
//
// Every edit acts on the selected entry and quietly does nothing when there is none or
// when the move is at its limit. Moves carry the entry's whole subtree with it, keep
// every key, title, tag and the order of children, and leave the moved entry selected
// with its subtree expanded.
class Outline {
public:
    enum class Change {
        Structure, // entries added, removed or moved: views rebuild
        Entry,     // one entry's title or tag changed
        Expanded,  // one entry was expanded or collapsed
        Selection, // the selected entry changed
    };
    using Listener = std::function<void(Change, const Entry*)>;

    explicit Outline(KeyCounter& keys) : keys_(keys) {}
    Outline(const Outline&) = delete;
    Outline& operator=(const Outline&) = delete;
    ~Outline();

    KeyCounter& keys() { return keys_; }
    const EntryList& topLevel() const { return top_; }
    bool empty() const { return top_.empty(); }
    std::size_t size() const;

    Entry* selected() const { return selected_; }
    void select(Entry* entry);
    Entry* find(std::string_view key) const;

    // Insert: a new entry "New Bookmark" with tag "|Y" right after the selected entry, as
    // its next sibling, or at the end of the top level when nothing is selected. The new
    // entry becomes selected.
    Entry& insert();
    // Removes the selected entry with its subtree. The next sibling, else the previous
    // one, else the parent becomes selected. Returns false when nothing was selected.
    bool removeSelected();
    // Each returns true when it moved something.
    bool moveUp();
    bool moveDown();
    bool outdent();
    bool indent();

    // Empties the outline (the key counter is left alone).
    void clear();
    Entry& appendTopLevel(std::string key, std::string text, std::string tag);
    Entry& appendChild(Entry& parent, std::string key, std::string text, std::string tag);

    void setExpanded(Entry& entry, bool expanded);
    // Expands every ancestor so that the entry can be seen.
    void makeVisible(Entry& entry);

    // Field edits on the selected entry; each does nothing without a selection.
    void setSelectedTitle(std::string title);
    // The tag becomes page + "|" + the old state part.
    void setSelectedPage(std::string_view page);
    // The tag becomes the old tag through its first "|", then "Y" or "N".
    void setSelectedClosed(bool closed);

    // The listener hears of every change while the handle lives.
    ui::Subscription subscribe(Listener listener);

    // Holds back notifications while many entries are added at once (an import); at its
    // end listeners hear one Structure and one Selection change.
    class Batch {
    public:
        explicit Batch(Outline& outline);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        Outline& outline_;
    };

private:
    EntryList& siblingsOf(const Entry& entry);
    std::size_t indexOf(const Entry& entry);
    // The selected entry's place among its siblings when another stands before it (the one it
    // moves past or goes under); nothing when none is selected or it is the first.
    std::optional<std::size_t> selectedAfterFirst();
    void finishMove(Entry& entry);
    void notify(Change change, const Entry* entry);

    KeyCounter& keys_;
    EntryList top_;
    Entry* selected_ = nullptr;
    ui::Listeners<Change, const Entry*> listeners_;
    int batchDepth_ = 0;
    bool batchChanged_ = false;
};

} // namespace plait::core::outline
