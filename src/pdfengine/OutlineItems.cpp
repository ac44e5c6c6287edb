#include "OutlineItems.h"

#include <qpdf/QPDF.hh>

#include <set>
#include <vector>

namespace plait::pdf {
namespace {

// More named destinations than this come only from hostile files; the rest stay unresolved.
constexpr std::size_t kMaxNames = 1'000'000;

// Marks `h` as seen; false when it was seen before. Direct objects cannot form a loop by
// themselves, so only indirect ones are tracked.
bool firstVisit(std::set<QPDFObjGen>& seen, QPDFObjectHandle& h) {
    return !h.isIndirect() || seen.insert(h.getObjGen()).second;
}

} // namespace

OutlineItems::OutlineItems(QPDF& pdf) : pdf_(pdf) {}

void OutlineItems::walk(const std::function<void(QPDFObjectHandle, int)>& visit) {
    QPDFObjectHandle root = pdf_.getRoot().getKey("/Outlines");
    if (!root.isDictionary()) {
        return;
    }
    std::set<QPDFObjGen> seen;
    QPDFObjectHandle rootCopy = root;
    firstVisit(seen, rootCopy);
    // An explicit stack of chains keeps a deep outline off the call stack.
    struct Level {
        QPDFObjectHandle next;
        int depth;
    };
    std::vector<Level> stack{{root.getKey("/First"), 1}};
    while (!stack.empty()) {
        Level& level = stack.back();
        QPDFObjectHandle item = level.next;
        const int depth = level.depth;
        if (!item.isDictionary()) {
            stack.pop_back();
            continue;
        }
        if (!firstVisit(seen, item)) {
            stack.pop_back();
            continue;
        }
        level.next = item.getKey("/Next");
        visit(item, depth);
        QPDFObjectHandle first = item.getKey("/First");
        if (first.isDictionary() && depth < kMaxDepth) {
            stack.push_back({first, depth + 1});
        }
    }
}

int OutlineItems::count(QPDFObjectHandle item) {
    QPDFObjectHandle c = item.getKey("/Count");
    if (!c.isInteger()) {
        return 0;
    }
    const long long v = c.getIntValue();
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

void OutlineItems::loadNames() {
    namesLoaded_ = true;
    QPDFObjectHandle catalog = pdf_.getRoot();
    QPDFObjectHandle dests = catalog.getKey("/Dests");
    if (dests.isDictionary()) {
        for (auto& [key, value] : dests.ditems()) {
            if (names_.size() >= kMaxNames) {
                break;
            }
            names_.emplace(key, value);
        }
    }
    QPDFObjectHandle names = catalog.getKey("/Names");
    if (!names.isDictionary()) {
        return;
    }
    // The name tree: every node once, leaves read in full; /Limits are not trusted.
    std::set<QPDFObjGen> seen;
    std::vector<std::pair<QPDFObjectHandle, int>> nodes{{names.getKey("/Dests"), 0}};
    while (!nodes.empty() && strings_.size() < kMaxNames) {
        auto [node, depth] = nodes.back();
        nodes.pop_back();
        if (!node.isDictionary() || !firstVisit(seen, node)) {
            continue;
        }
        QPDFObjectHandle pairs = node.getKey("/Names");
        if (pairs.isArray()) {
            const int n = pairs.getArrayNItems();
            for (int i = 0; i + 1 < n && strings_.size() < kMaxNames; i += 2) {
                QPDFObjectHandle key = pairs.getArrayItem(i);
                if (key.isString()) {
                    strings_.emplace(key.getStringValue(), pairs.getArrayItem(i + 1));
                }
            }
        }
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (kids.isArray() && depth < kMaxDepth) {
            const int n = kids.getArrayNItems();
            for (int i = n - 1; i >= 0; --i) {
                nodes.emplace_back(kids.getArrayItem(i), depth + 1);
            }
        }
    }
}

QPDFObjectHandle OutlineItems::resolveName(QPDFObjectHandle name) {
    if (!namesLoaded_) {
        loadNames();
    }
    // Producers mix up the two kinds; look in both places.
    std::string key;
    if (name.isName()) {
        key = name.getName();
        if (auto it = names_.find(key); it != names_.end()) {
            return it->second;
        }
        key = key.substr(1);
    } else if (name.isString()) {
        key = name.getStringValue();
        if (auto it = strings_.find(key); it != strings_.end()) {
            return it->second;
        }
        key = std::string("/").append(key);
    } else {
        return QPDFObjectHandle::newNull();
    }
    const auto& other = name.isName() ? strings_ : names_;
    if (auto it = other.find(key); it != other.end()) {
        return it->second;
    }
    return QPDFObjectHandle::newNull();
}

QPDFObjectHandle OutlineItems::destOf(QPDFObjectHandle holder) {
    QPDFObjectHandle dest = holder.getKey("/Dest");
    if (dest.isNull()) {
        QPDFObjectHandle action = holder.getKey("/A");
        if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo")) {
            dest = action.getKey("/D");
        }
    }
    if (dest.isName() || dest.isString()) {
        dest = resolveName(dest);
    }
    return dest;
}

QPDFObjectHandle OutlineItems::pageOf(QPDFObjectHandle dest) {
    if (dest.isDictionary() && dest.hasKey("/D")) {
        dest = dest.getKey("/D");
    }
    if (dest.isArray() && dest.getArrayNItems() > 0) {
        return dest.getArrayItem(0);
    }
    return QPDFObjectHandle::newNull();
}

} // namespace plait::pdf
