#include "Outline.h"

#include <optional>

#include <algorithm>
#include <utility>

namespace plait::core::outline {

std::string KeyCounter::next() {
    ++value_;
    return "a" + std::to_string(value_);
}

std::string tagPage(std::string_view tag) {
    return std::string(tag.substr(0, tag.find('|')));
}

std::string tagState(std::string_view tag) {
    const auto bar = tag.find('|');
    return bar == std::string_view::npos ? std::string() : std::string(tag.substr(bar + 1));
}

bool tagClosed(std::string_view tag) {
    return tagState(tag) == "Y";
}

int Entry::level() const {
    int level = 1;
    for (const Entry* p = parent; p != nullptr; p = p->parent) {
        ++level;
    }
    return level;
}

namespace {

std::size_t countEntries(const EntryList& list) {
    std::size_t n = 0;
    for (const auto& e : list) {
        n += 1 + countEntries(e->children);
    }
    return n;
}

Entry* findIn(const EntryList& list, std::string_view key) {
    for (const auto& e : list) {
        if (e->key == key) {
            return e.get();
        }
        if (Entry* found = findIn(e->children, key)) {
            return found;
        }
    }
    return nullptr;
}

void expandSubtree(Entry& entry) {
    entry.expanded = true;
    for (auto& child : entry.children) {
        expandSubtree(*child);
    }
}

std::unique_ptr<Entry> makeEntry(std::string key, std::string text, std::string tag, Entry* parent) {
    auto e = std::make_unique<Entry>();
    e->key = std::move(key);
    e->text = std::move(text);
    e->tag = std::move(tag);
    e->parent = parent;
    return e;
}

} // namespace

Outline::~Outline() = default;

std::size_t Outline::size() const {
    return countEntries(top_);
}

EntryList& Outline::siblingsOf(const Entry& entry) {
    return entry.parent ? entry.parent->children : top_;
}

std::size_t Outline::indexOf(const Entry& entry) {
    const EntryList& list = siblingsOf(entry);
    const auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == &entry; });
    return static_cast<std::size_t>(it - list.begin());
}

void Outline::select(Entry* entry) {
    if (selected_ == entry) {
        return;
    }
    selected_ = entry;
    notify(Change::Selection, entry);
}

Entry* Outline::find(std::string_view key) const {
    return findIn(top_, key);
}

Entry& Outline::insert() {
    std::string key = keys_.next();
    Entry* entry = nullptr;
    if (selected_ == nullptr) {
        top_.push_back(makeEntry(std::move(key), std::string(kNewBookmarkTitle), "|Y", nullptr));
        entry = top_.back().get();
    } else {
        EntryList& list = siblingsOf(*selected_);
        const std::size_t at = indexOf(*selected_) + 1;
        auto it =
            list.insert(list.begin() + static_cast<std::ptrdiff_t>(at),
                        makeEntry(std::move(key), std::string(kNewBookmarkTitle), "|Y", selected_->parent));
        entry = it->get();
    }
    makeVisible(*entry);
    notify(Change::Structure, entry);
    select(entry);
    return *entry;
}

bool Outline::removeSelected() {
    if (selected_ == nullptr) {
        return false;
    }
    Entry* gone = selected_;
    EntryList& list = siblingsOf(*gone);
    const std::size_t at = indexOf(*gone);
    Entry* next = nullptr;
    if (at + 1 < list.size()) {
        next = list[at + 1].get();
    } else if (at > 0) {
        next = list[at - 1].get();
    } else {
        next = gone->parent;
    }
    // Drop the selection first: listeners must never see a pointer to a removed entry.
    selected_ = nullptr;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
    notify(Change::Structure, nullptr);
    selected_ = next;
    notify(Change::Selection, next);
    return true;
}

std::optional<std::size_t> Outline::selectedAfterFirst() {
    if (selected_ == nullptr) {
        return std::nullopt;
    }
    const std::size_t at = indexOf(*selected_);
    return at > 0 ? std::optional<std::size_t>(at) : std::nullopt;
}

bool Outline::moveUp() {
    const std::optional<std::size_t> at = selectedAfterFirst();
    if (!at) {
        return false;
    }
    EntryList& list = siblingsOf(*selected_);
    std::swap(list[*at - 1], list[*at]);
    finishMove(*selected_);
    return true;
}

bool Outline::moveDown() {
    if (selected_ == nullptr) {
        return false;
    }
    EntryList& list = siblingsOf(*selected_);
    const std::size_t at = indexOf(*selected_);
    if (at + 1 >= list.size()) {
        return false;
    }
    std::swap(list[at], list[at + 1]);
    finishMove(*selected_);
    return true;
}

bool Outline::outdent() {
    if (selected_ == nullptr || selected_->parent == nullptr) {
        return false;
    }
    Entry* anchor = selected_->parent;
    EntryList& from = anchor->children;
    const std::size_t at = indexOf(*selected_);
    std::unique_ptr<Entry> moving = std::move(from[at]);
    from.erase(from.begin() + static_cast<std::ptrdiff_t>(at));
    EntryList& to = siblingsOf(*anchor);
    const std::size_t anchorAt = indexOf(*anchor);
    moving->parent = anchor->parent;
    to.insert(to.begin() + static_cast<std::ptrdiff_t>(anchorAt + 1), std::move(moving));
    finishMove(*selected_);
    return true;
}

bool Outline::indent() {
    const std::optional<std::size_t> at = selectedAfterFirst();
    if (!at) {
        return false;
    }
    EntryList& list = siblingsOf(*selected_);
    Entry* anchor = list[*at - 1].get();
    std::unique_ptr<Entry> moving = std::move(list[*at]);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(*at));
    moving->parent = anchor;
    anchor->children.push_back(std::move(moving));
    finishMove(*selected_);
    return true;
}

void Outline::finishMove(Entry& entry) {
    expandSubtree(entry);
    makeVisible(entry);
    notify(Change::Structure, &entry);
}

void Outline::clear() {
    selected_ = nullptr;
    top_.clear();
    notify(Change::Structure, nullptr);
    notify(Change::Selection, nullptr);
}

Entry& Outline::appendTopLevel(std::string key, std::string text, std::string tag) {
    top_.push_back(makeEntry(std::move(key), std::move(text), std::move(tag), nullptr));
    Entry& e = *top_.back();
    notify(Change::Structure, &e);
    return e;
}

Entry& Outline::appendChild(Entry& parent, std::string key, std::string text, std::string tag) {
    parent.children.push_back(makeEntry(std::move(key), std::move(text), std::move(tag), &parent));
    Entry& e = *parent.children.back();
    notify(Change::Structure, &e);
    return e;
}

void Outline::setExpanded(Entry& entry, bool expanded) {
    if (entry.expanded == expanded) {
        return;
    }
    entry.expanded = expanded;
    notify(Change::Expanded, &entry);
}

void Outline::makeVisible(Entry& entry) {
    for (Entry* p = entry.parent; p != nullptr; p = p->parent) {
        setExpanded(*p, true);
    }
}

void Outline::setSelectedTitle(std::string title) {
    if (selected_ == nullptr || selected_->text == title) {
        return;
    }
    selected_->text = std::move(title);
    notify(Change::Entry, selected_);
}

void Outline::setSelectedPage(std::string_view page) {
    if (selected_ == nullptr) {
        return;
    }
    std::string tag = std::string(page) + "|" + tagState(selected_->tag);
    if (tag != selected_->tag) {
        selected_->tag = std::move(tag);
        notify(Change::Entry, selected_);
    }
}

void Outline::setSelectedClosed(bool closed) {
    if (selected_ == nullptr) {
        return;
    }
    const std::string& old = selected_->tag;
    const auto bar = old.find('|');
    // Every tag holds a "|"; should one ever lack it, the whole old tag is the page.
    std::string tag = (bar == std::string::npos ? old + "|" : old.substr(0, bar + 1)) + (closed ? "Y" : "N");
    if (tag != selected_->tag) {
        selected_->tag = std::move(tag);
        notify(Change::Entry, selected_);
    }
}

ui::Subscription Outline::subscribe(Listener listener) {
    return listeners_.subscribe(std::move(listener));
}

Outline::Batch::Batch(Outline& outline) : outline_(outline) {
    ++outline_.batchDepth_;
}

Outline::Batch::~Batch() {
    if (--outline_.batchDepth_ == 0 && outline_.batchChanged_) {
        outline_.batchChanged_ = false;
        outline_.notify(Change::Structure, nullptr);
        outline_.notify(Change::Selection, outline_.selected_);
    }
}

void Outline::notify(Change change, const Entry* entry) {
    if (batchDepth_ > 0) {
        batchChanged_ = true;
        return;
    }
    listeners_.notify(change, entry);
}

} // namespace plait::core::outline
