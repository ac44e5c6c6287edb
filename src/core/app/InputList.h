#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace plait::core::app {

// One input of the build: the path exactly as chosen, and its identity in the list.
struct InputEntry {
    std::string text;
    std::string key;
    // The pages chosen from this input, as a page list ("1-3,7,10-z:90"); empty: every page.
    std::string pages;
};

// The ordered list of input files: a flat list whose order is the build order, with at
// most one entry selected. Keys are the entry's position at the time it was appended
// followed by its text; they are never renumbered, and when that key is already taken
// (after removals) the next free number is used, so keys stay unique and a file that
// exists is never refused.
class InputList {
public:
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const InputEntry& at(std::size_t i) const { return entries_.at(i); }
    const std::vector<InputEntry>& entries() const { return entries_; }
    std::vector<std::string> texts() const;
    // Each entry's chosen pages, in list order ("" for an entry that takes every page).
    std::vector<std::string> pageChoices() const;
    // Sets the pages chosen from the entry at `index` (blanks around are dropped).
    void setPages(std::size_t index, std::string pages);

    std::optional<std::size_t> selected() const { return selected_; }
    const InputEntry* selectedEntry() const;
    void select(std::optional<std::size_t> index);

    // Appends an entry and selects it; returns its position.
    std::size_t append(std::string text);
    // Moves the selected entry one place; false when nothing moved.
    bool moveSelectedUp();
    bool moveSelectedDown();
    // Removes the selected entry; the entry that took its place (or the one before it,
    // when it was the last) becomes selected. False when nothing was selected.
    bool removeSelected();
    void clear();

private:
    bool keyTaken(const std::string& key) const;

    std::vector<InputEntry> entries_;
    std::unordered_set<std::string> keys_; // every entry's key, for appends in constant time
    std::optional<std::size_t> selected_;
};

} // namespace plait::core::app
