#include "InputList.h"

#include "core/ui/Text.h"

#include <algorithm>
#include <utility>

namespace plait::core::app {

std::vector<std::string> InputList::pageChoices() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) {
        out.push_back(e.pages);
    }
    return out;
}

void InputList::setPages(std::size_t index, std::string pages) {
    // One line: a settings file keeps the choice on a line of its own.
    std::erase_if(pages, [](char c) { return c == '\r' || c == '\n'; });
    entries_.at(index).pages = ui::trimBlanks(pages);
}

std::vector<std::string> InputList::texts() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) {
        out.push_back(e.text);
    }
    return out;
}

const InputEntry* InputList::selectedEntry() const {
    return selected_ ? &entries_[*selected_] : nullptr;
}

void InputList::select(std::optional<std::size_t> index) {
    if (index && *index >= entries_.size()) {
        index.reset();
    }
    selected_ = index;
}

bool InputList::keyTaken(const std::string& key) const {
    return keys_.count(key) != 0;
}

std::size_t InputList::append(std::string text) {
    std::size_t number = entries_.size() + 1;
    std::string key = std::to_string(number) + text;
    // Only after removals can the natural key be taken; skip to the next free number.
    while (keyTaken(key)) {
        ++number;
        key = std::to_string(number) + text;
    }
    keys_.insert(key);
    entries_.push_back(InputEntry{std::move(text), std::move(key), {}});
    selected_ = entries_.size() - 1;
    return *selected_;
}

bool InputList::moveSelectedUp() {
    if (!selected_ || *selected_ == 0) {
        return false;
    }
    std::swap(entries_[*selected_], entries_[*selected_ - 1]);
    --*selected_;
    return true;
}

bool InputList::moveSelectedDown() {
    if (!selected_ || *selected_ + 1 >= entries_.size()) {
        return false;
    }
    std::swap(entries_[*selected_], entries_[*selected_ + 1]);
    ++*selected_;
    return true;
}

bool InputList::removeSelected() {
    if (!selected_) {
        return false;
    }
    const std::size_t at = *selected_;
    keys_.erase(entries_[at].key);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
    if (entries_.empty()) {
        selected_.reset();
    } else {
        selected_ = std::min(at, entries_.size() - 1);
    }
    return true;
}

void InputList::clear() {
    entries_.clear();
    keys_.clear();
    selected_.reset();
}

} // namespace plait::core::app
