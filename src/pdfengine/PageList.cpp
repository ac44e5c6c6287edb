#include "PageList.h"

#include "Text.h"

#include <charconv>

namespace plait::pdf {
namespace {

constexpr int kLast = 0;

// A page reference: a positive number, or "last"/"z". Returns -1 when unreadable.
int pageRef(std::string_view s) {
    s = text::trim(s);
    const std::string l = text::lower(s);
    if (l == "last" || l == "z") {
        return kLast;
    }
    int n = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec != std::errc() || end != s.data() + s.size() || n < 1) {
        return -1;
    }
    return n;
}

} // namespace

PageList PageList::parse(std::string_view textIn, std::vector<std::string>& notes) {
    PageList list;
    if (text::trim(textIn).empty()) {
        return list;
    }
    list.all_ = false;
    for (const std::string_view raw : text::listItems(textIn)) {
        const std::string l = text::lower(raw);
        Item item;
        bool ok = true;
        if (l == "odd") {
            item.kind = Kind::Odd;
        } else if (l == "even") {
            item.kind = Kind::Even;
        } else if (const auto dash = raw.find('-'); dash != std::string_view::npos) {
            item.from = pageRef(raw.substr(0, dash));
            const std::string_view rest = text::trim(raw.substr(dash + 1));
            item.to = rest.empty() ? kLast : pageRef(rest);
            ok = item.from >= 0 && item.to >= 0;
        } else {
            item.from = item.to = pageRef(raw);
            ok = item.from >= 0;
        }
        if (ok) {
            list.items_.push_back(item);
        } else {
            notes.push_back("Page list item \"" + std::string(raw) + "\" cannot be read; ignored");
        }
    }
    return list;
}

std::vector<int> PageList::resolve(int pageCount, bool* outOfRange) const {
    std::vector<int> pages;
    if (outOfRange) {
        *outOfRange = false;
    }
    if (all_) {
        pages.reserve(static_cast<std::size_t>(pageCount));
        for (int i = 0; i < pageCount; ++i) {
            pages.push_back(i);
        }
        return pages;
    }
    const auto actual = [&](int ref) { return ref == kLast ? pageCount : ref; };
    for (const Item& item : items_) {
        if (pages.size() >= kMaxPages) {
            break;
        }
        if (item.kind != Kind::Range) {
            for (int p = item.kind == Kind::Odd ? 1 : 2; p <= pageCount && pages.size() < kMaxPages; p += 2) {
                pages.push_back(p - 1);
            }
            continue;
        }
        int from = actual(item.from);
        const int to = actual(item.to);
        const int step = to >= from ? 1 : -1;
        // A range far past the end need not be walked page by page.
        if (step < 0 && from > pageCount + 1) {
            from = pageCount + 1;
        }
        for (int p = from;; p += step) {
            if (p >= 1 && p <= pageCount) {
                pages.push_back(p - 1);
            } else if (outOfRange) {
                *outOfRange = true;
            }
            if (p == to || pages.size() >= kMaxPages) {
                break;
            }
            if (step > 0 && p > pageCount) {
                break;
            }
        }
    }
    return pages;
}

} // namespace plait::pdf
