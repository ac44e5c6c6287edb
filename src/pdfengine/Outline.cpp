#include "Outline.h"

#include "ForeignCopy.h"
#include "OutlineItems.h"
#include "PageTree.h"
#include "Text.h"
#include "Values.h"
#include "engine/TagReader.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QUtil.hh>

#include <charconv>
#include <set>

namespace plait::pdf {
namespace {

constexpr int kMaxDepth = OutlineItems::kMaxDepth;

bool isUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80         ? 1
                                : (c >> 5) == 6  ? 2
                                : (c >> 4) == 14 ? 3
                                : (c >> 3) == 30 ? 4
                                                 : 0;
        if (len == 0 || i + len > s.size()) {
            return false;
        }
        for (std::size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) {
                return false;
            }
        }
        i += len;
    }
    return true;
}

std::string oneLine(std::string s) {
    for (char& c : s) {
        if (c == '\r' || c == '\n' || c == '\t') {
            c = ' ';
        }
    }
    return s;
}

} // namespace

QPDFObjectHandle moveDest(QPDFObjectHandle dest, const PageMap& pages) {
    if (dest.isDictionary() && dest.hasKey("/D")) {
        dest = dest.getKey("/D"); // old form of a named destination's value
    }
    if (!dest.isArray() || dest.getArrayNItems() < 1) {
        return QPDFObjectHandle::newNull();
    }
    QPDFObjectHandle page = dest.getArrayItem(0);
    if (!page.isIndirect()) {
        return QPDFObjectHandle::newNull();
    }
    const auto it = pages.find(page.getObjGen());
    if (it == pages.end()) {
        return QPDFObjectHandle::newNull();
    }
    std::vector<QPDFObjectHandle> items{it->second};
    for (int i = 1; i < dest.getArrayNItems(); ++i) {
        QPDFObjectHandle v = dest.getArrayItem(i);
        items.push_back(v.isIndirect() ? QPDFObjectHandle::newNull() : v.shallowCopy());
    }
    if (items.size() == 1) {
        items.push_back(QPDFObjectHandle::newName("/Fit"));
    }
    return QPDFObjectHandle::newArray(items);
}

namespace {

std::string titleOf(QPDFObjectHandle item) {
    QPDFObjectHandle title = item.getKey("/Title");
    return title.isString() ? title.getUTF8Value() : std::string();
}

bool hasKids(QPDFObjectHandle item) {
    return item.getKey("/First").isDictionary();
}

OutlineNode keptItem(OutlineItems& items, QPDFObjectHandle raw, QPDF& out, const PageMap& pages, int& lost) {
    OutlineNode node;
    node.title = titleOf(raw);
    QPDFObjectHandle dest = items.destOf(raw);
    if (!dest.isNull()) {
        node.dest = moveDest(dest, pages);
        if (node.dest.isNull()) {
            node.lost = true;
            ++lost;
        }
    } else if (raw.getKey("/A").isDictionary()) {
        QPDFObjectHandle action = raw.getKey("/A");
        const std::string kind = action.getKey("/S").isName() ? action.getKey("/S").getName() : "";
        if (kind != "/GoTo") {
            // Web links, remote documents and the like need nothing from the other pages. The
            // action may be written inline in the item.
            node.action = copyForeign(out, action);
        }
    }
    if (raw.getKey("/C").isArray()) {
        node.color = raw.getKey("/C").shallowCopy();
    }
    if (raw.getKey("/F").isInteger()) {
        node.flags = raw.getKey("/F").shallowCopy();
    }
    node.closed = hasKids(raw) && OutlineItems::count(raw) < 0;
    return node;
}

// Number of items visible under an open node.
int visibleCount(const OutlineNode& node) {
    int n = 0;
    for (const auto& kid : node.kids) {
        n += 1 + (kid.closed ? 0 : visibleCount(kid));
    }
    return n;
}

// Writes `nodes` as the children of `parent`; returns the number of visible descendants.
void writeItems(QPDF& out, QPDFObjectHandle parent, const std::vector<OutlineNode>& nodes) {
    // qpdf's handles are cheap shared references whose methods are not const.
    const auto copy = [](const QPDFObjectHandle& h) {
        return h.isInitialized() ? QPDFObjectHandle(h) : QPDFObjectHandle::newNull();
    };
    QPDFObjectHandle prev;
    QPDFObjectHandle first;
    for (const auto& node : nodes) {
        QPDFObjectHandle item = out.makeIndirectObject(QPDFObjectHandle::newDictionary());
        item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(node.title));
        item.replaceKey("/Parent", parent);
        if (!copy(node.dest).isNull()) {
            item.replaceKey("/Dest", copy(node.dest));
        } else if (!copy(node.action).isNull()) {
            item.replaceKey("/A", copy(node.action));
        }
        if (!copy(node.color).isNull()) {
            item.replaceKey("/C", copy(node.color));
        }
        if (!copy(node.flags).isNull()) {
            item.replaceKey("/F", copy(node.flags));
        }
        if (prev.isInitialized()) {
            prev.replaceKey("/Next", item);
            item.replaceKey("/Prev", prev);
        } else {
            first = item;
        }
        if (!node.kids.empty()) {
            writeItems(out, item, node.kids);
            const int count = visibleCount(node);
            item.replaceKey("/Count", QPDFObjectHandle::newInteger(
                                          node.closed ? -static_cast<int>(node.kids.size()) : count));
        }
        prev = item;
    }
    if (first.isInitialized()) {
        parent.replaceKey("/First", first);
        parent.replaceKey("/Last", prev);
    }
}

} // namespace

std::string listOutline(QPDF& pdf) {
    checkPageTree(pdf);
    std::map<QPDFObjGen, int> pageNumbers;
    int n = 0;
    for (auto page : pdf.getAllPages()) {
        pageNumbers.emplace(page.getObjGen(), ++n);
    }
    OutlineItems items(pdf);
    std::string out;
    items.walk([&](QPDFObjectHandle item, int level) {
        std::string page;
        QPDFObjectHandle target = OutlineItems::pageOf(items.destOf(item));
        if (target.isIndirect()) {
            if (auto it = pageNumbers.find(target.getObjGen()); it != pageNumbers.end()) {
                page = std::to_string(it->second);
            }
        }
        out += "<BOOKMARK LEVEL=" + std::to_string(level) + " DESCR=\"" + oneLine(titleOf(item)) +
               "\" PAGE=" + page;
        if (hasKids(item) && OutlineItems::count(item) < 0) {
            out += " CLOSED";
        }
        out += ">\r\n";
    });
    return out;
}

std::vector<OutlineNode> keptOutline(QPDF& src, QPDF& out, const PageMap& pages, int& lostTargets) {
    std::vector<OutlineNode> roots;
    // levels[k]: where items of depth k+1 go, the children of the last item one level up.
    std::vector<std::vector<OutlineNode>*> levels{&roots};
    OutlineItems items(src);
    items.walk([&](QPDFObjectHandle item, int depth) {
        levels.resize(static_cast<std::size_t>(depth));
        auto& siblings = *levels.back();
        siblings.push_back(keptItem(items, item, out, pages, lostTargets));
        levels.push_back(&siblings.back().kids);
    });
    return roots;
}

void dropLost(std::vector<OutlineNode>& nodes) {
    std::erase_if(nodes, [](OutlineNode& node) {
        const bool hadKids = !node.kids.empty();
        dropLost(node.kids);
        if (!node.kids.empty()) {
            return false;
        }
        const bool opensNothing = node.dest.isNull() && node.action.isNull();
        return node.lost || (hadKids && opensNothing);
    });
}

std::vector<OutlineNode> outlineFromMarkup(std::string_view markup, QPDF& out,
                                           std::vector<std::string>& notes) {
    const auto& outPages = out.getAllPages();
    std::vector<OutlineNode> roots;
    std::vector<std::vector<OutlineNode>*> levels{&roots}; // levels[k]: where level k+1 items go
    int pastEnd = 0;
    bool skipped = false;
    for (const auto& tag : engine::TagReader::parseAll(markup)) {
        if (text::lower(tag.name) != "bookmark") {
            continue;
        }
        const auto param = [&](std::string_view name) {
            for (const auto& [key, value] : tag.attributes) {
                if (text::lower(key) == text::lower(name)) {
                    return value;
                }
            }
            return std::string();
        };
        int level = static_cast<int>(parseNumber(param("LEVEL"), DecimalMark::Point).value_or(1));
        level = std::clamp(level, 1, kMaxDepth);
        if (level > static_cast<int>(levels.size())) {
            // A level deeper than the one before it has no parent of its own: it goes under
            // the deepest bookmark there is.
            skipped = true;
            level = static_cast<int>(levels.size());
        }
        levels.resize(static_cast<std::size_t>(level));
        OutlineNode node;
        node.title = param("DESCR");
        if (!isUtf8(node.title)) {
            // Older markup files are in Latin-1.
            std::string utf8;
            for (unsigned char c : node.title) {
                if (c < 0x80) {
                    utf8 += static_cast<char>(c);
                } else {
                    utf8 += static_cast<char>(0xC0 | (c >> 6));
                    utf8 += static_cast<char>(0x80 | (c & 0x3F));
                }
            }
            node.title = utf8;
        }
        for (const auto& [key, value] : tag.attributes) {
            if (text::lower(key) == "closed") {
                node.closed = true;
            }
        }
        const std::string page = std::string(text::trim(param("PAGE")));
        if (!page.empty()) {
            const auto number = parseNumber(page, DecimalMark::Point);
            if (number && *number >= 1 && *number <= static_cast<double>(outPages.size()) &&
                *number == static_cast<int>(*number)) {
                node.dest = QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                    outPages[static_cast<std::size_t>(*number) - 1], QPDFObjectHandle::newName("/Fit")});
            } else {
                ++pastEnd;
                notes.push_back("Bookmark \"" + node.title + "\" points at page " + page +
                                ", which the output (" + std::to_string(outPages.size()) +
                                " pages) does not have; it jumps nowhere");
            }
        }
        auto& siblings = *levels.back();
        siblings.push_back(std::move(node));
        levels.push_back(&siblings.back().kids);
    }
    if (skipped) {
        notes.push_back("Some bookmarks skip a level; they were placed under the bookmark before them");
    }
    return roots;
}

void writeOutline(QPDF& out, const std::vector<OutlineNode>& roots) {
    QPDFObjectHandle root = out.getRoot();
    if (roots.empty()) {
        root.removeKey("/Outlines");
        return;
    }
    QPDFObjectHandle outlines = out.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
    writeItems(out, outlines, roots);
    int visible = 0;
    for (const auto& node : roots) {
        visible += 1 + (node.closed ? 0 : visibleCount(node));
    }
    outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(visible));
    root.replaceKey("/Outlines", outlines);
}

int repairLinks(QPDF& src, const std::vector<std::pair<QPDFObjectHandle, QPDFObjectHandle>>& copiedPages,
                const PageMap& pages) {
    std::unique_ptr<OutlineItems> names; // read only when a named link shows up
    int lost = 0;
    for (auto [from, to] : copiedPages) {
        QPDFObjectHandle srcAnnots = from.getKey("/Annots");
        QPDFObjectHandle outAnnots = to.getKey("/Annots");
        if (!srcAnnots.isArray() || !outAnnots.isArray() ||
            srcAnnots.getArrayNItems() != outAnnots.getArrayNItems()) {
            continue;
        }
        std::set<int> dropped;
        for (int i = 0; i < srcAnnots.getArrayNItems(); ++i) {
            QPDFObjectHandle a = srcAnnots.getArrayItem(i);
            QPDFObjectHandle b = outAnnots.getArrayItem(i);
            if (!a.isDictionary() || !b.isDictionary() || !a.getKey("/Subtype").isNameAndEquals("/Link")) {
                continue;
            }
            QPDFObjectHandle holderA = a;
            QPDFObjectHandle holderB = b;
            std::string key = "/Dest";
            if (!a.hasKey("/Dest")) {
                QPDFObjectHandle action = a.getKey("/A");
                if (!action.isDictionary() || !action.getKey("/S").isNameAndEquals("/GoTo") ||
                    !b.getKey("/A").isDictionary()) {
                    continue;
                }
                holderA = action;
                holderB = b.getKey("/A");
                key = "/D";
            }
            QPDFObjectHandle dest = holderA.getKey(key);
            if (dest.isName() || dest.isString()) {
                if (!names) {
                    names = std::make_unique<OutlineItems>(src);
                }
                dest = names->resolveName(dest);
            }
            QPDFObjectHandle moved = moveDest(dest, pages);
            if (moved.isNull()) {
                dropped.insert(i);
            } else {
                holderB.replaceKey(key, moved);
            }
        }
        if (!dropped.empty()) {
            // A link without a target would still be clickable and do nothing: it goes.
            auto kept = QPDFObjectHandle::newArray();
            for (int i = 0; i < outAnnots.getArrayNItems(); ++i) {
                if (!dropped.count(i)) {
                    kept.appendItem(outAnnots.getArrayItem(i));
                }
            }
            to.replaceKey("/Annots", kept);
            lost += static_cast<int>(dropped.size());
        }
    }
    return lost;
}

} // namespace plait::pdf
