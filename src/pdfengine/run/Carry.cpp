#include "pdfengine/run/Carry.h"

#include "pdfengine/ForeignCopy.h"
#include "pdfengine/OutlineItems.h"

#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFNumberTreeObjectHelper.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>

#include <algorithm>
#include <optional>

namespace plait::pdf {
namespace {

using QOH = QPDFObjectHandle;

// Name and number trees larger than this come only from hostile files; the rest is left out.
constexpr std::size_t kMaxTreeEntries = 1'000'000;
// Beads in one article thread, and threads in one document.
constexpr std::size_t kMaxBeads = 100'000;
constexpr std::size_t kMaxThreads = 10'000;
// Form XObjects looked into for the keys of the structure tree, per input.
constexpr std::size_t kMaxForms = 100'000;

// Catalog entries taken from the first input that has them: they describe how the whole
// document opens and is shown, and a document has one of each.
const std::set<std::string> kFirstWins{"/ViewerPreferences", "/PageMode",   "/PageLayout",   "/Lang",
                                       "/OpenAction",        "/AA",         "/URI",          "/OutputIntents",
                                       "/PieceInfo",         "/SpiderInfo", "/Requirements", "/Collection"};
// Catalog entries that the output makes or settles itself: the page tree and form (copied with
// the pages), the description (the first input's), the outline (kept or replaced by the
// job's), the version and extensions (the writer's).
const std::set<std::string> kSettledElsewhere{"/Type",     "/Pages",   "/AcroForm",  "/Metadata",
                                              "/Outlines", "/Version", "/Extensions"};

// A unique key among `used`: the key itself, else the key with " (2)", "-2", ... after it.
std::string uniqueKey(const std::string& key, std::set<std::string>& used, const char* separator) {
    std::string candidate = key;
    for (int n = 2; used.count(candidate); ++n) {
        candidate = key + separator + std::to_string(n) + (separator[0] == ' ' ? ")" : "");
    }
    used.insert(candidate);
    return candidate;
}

struct NamedEntries {
    std::vector<std::pair<std::string, QOH>> entries;
    std::set<std::string> used;
    int renamed = 0;

    void add(const std::string& key, QOH value, const char* separator) {
        const std::string unique = uniqueKey(key, used, separator);
        renamed += unique != key ? 1 : 0;
        entries.emplace_back(unique, value);
    }
};

// Calls `visit` for every entry of a name tree, at most kMaxTreeEntries.
template <typename Visit> void eachName(QPDF& src, QOH tree, Visit visit) {
    if (!tree.isDictionary()) {
        return;
    }
    QPDFNameTreeObjectHelper helper(tree, src);
    std::size_t n = 0;
    for (auto it = helper.begin(); it != helper.end() && n < kMaxTreeEntries; ++it, ++n) {
        visit(it->first, it->second);
    }
}

std::string labelKey(QOH label) {
    std::string key;
    for (const char* k : {"/S", "/P"}) {
        key += label.getKey(k).isNull() ? std::string("-") : label.getKey(k).unparse();
        key += '|';
    }
    return key;
}

long long labelStart(QOH label) {
    QOH st = label.getKey("/St");
    return st.isInteger() ? st.getIntValue() : 1;
}

void appendAll(QPDF& out, QOH to, QOH from) {
    if (!from.isArray()) {
        return;
    }
    for (auto& item : from.aitems())
        to.appendItem(copyForeign(out, item));
}

struct ThreadCopy {
    QOH thread;                             // the output's thread dictionary
    std::vector<std::pair<QOH, QOH>> beads; // output page and rectangle, in reading order
};

} // namespace

struct DocumentCarrier::State {
    QPDF& out;
    Warn warn;
    bool tags;

    // Page labels of the copied pages, by output page.
    std::map<QPDFObjGen, QOH> labels;
    bool anyLabels = false;

    // Optional content: the union of every input's groups and of its default configuration.
    bool anyLayers = false;
    QOH ocgs = QOH::newArray(), on = QOH::newArray(), off = QOH::newArray(), order = QOH::newArray(),
        locked = QOH::newArray(), rbGroups = QOH::newArray(), usage = QOH::newArray(),
        configs = QOH::newArray();
    std::set<QPDFObjGen> ocgSeen;
    QOH defaultConfig = QOH::newDictionary();

    NamedEntries files, scripts, dests;
    std::map<std::string, QOH> firsts;
    QOH associated = QOH::newArray();
    std::vector<ThreadCopy> threads;

    // The structure tree: each input's top elements under one root, their parent tree keys
    // moved past those of the inputs before.
    QOH structRoot;
    QOH structKids = QOH::newArray();
    std::vector<std::pair<long long, QOH>> parentNums;
    long long nextKey = 0;
    QOH roleMap = QOH::newDictionary(), classMap = QOH::newDictionary();
    NamedEntries ids;
    bool marked = false;

    State(QPDF& o, Warn w, bool t) : out(o), warn(std::move(w)), tags(t) {}

    void addLabels(QPDF& src, const std::vector<int>& selected, const std::vector<QOH>& copied);
    void addLayers(QOH properties);
    void addNames(QPDF& src, const std::string& name, QOH names, const PageMap& map);
    void addFirst(QPDF& src, const std::string& key, QOH value, const std::string& name, const PageMap& map);
    void addThreads(QOH list, const std::string& name, const PageMap& map);
    void addStructure(QPDF& src, const std::string& name, const std::vector<QPDFPageObjectHelper>& pages,
                      const std::vector<int>& selected, const std::vector<QOH>& copied);
    void renumberStructParents(const std::vector<QOH>& copied, long long offset);
    static void dropStructParents(const std::vector<QOH>& copied);
};

DocumentCarrier::DocumentCarrier(QPDF& out, Warn warn, bool tags)
    : s_(std::make_unique<State>(out, std::move(warn), tags)) {}
DocumentCarrier::~DocumentCarrier() = default;

void DocumentCarrier::add(QPDF& src, const std::string& name, const std::vector<QPDFPageObjectHelper>& pages,
                          const std::vector<int>& selected, const std::vector<QOH>& copied,
                          const PageMap& map) {
    State& s = *s_;
    QOH root = src.getRoot();
    // Copied pages still name the source's beads; their threads are rebuilt below.
    for (QOH page : copied)
        page.removeKey("/B");
    if (!root.isDictionary()) {
        return;
    }
    std::vector<std::string> notCarried;
    bool structure = false;
    for (const auto& key : root.getKeys()) {
        QOH value = root.getKey(key);
        if (kSettledElsewhere.count(key)) {
            continue;
        }
        if (kFirstWins.count(key)) {
            s.addFirst(src, key, value, name, map);
        } else if (key == "/PageLabels") {
            s.addLabels(src, selected, copied);
        } else if (key == "/OCProperties") {
            s.addLayers(value);
        } else if (key == "/Names") {
            s.addNames(src, name, value, map);
        } else if (key == "/Dests") {
            int lost = 0;
            if (value.isDictionary()) {
                for (auto& [destName, dest] : value.ditems()) {
                    QOH moved = moveDest(dest, map);
                    if (moved.isNull()) {
                        ++lost;
                    } else {
                        s.dests.add(destName.substr(1), moved, "-");
                    }
                }
            }
            if (lost > 0) {
                s.warn(name + ": " + std::to_string(lost) +
                       " named destinations point at pages that are not in the output; they were left out");
            }
        } else if (key == "/AF") {
            appendAll(s.out, s.associated, value);
        } else if (key == "/Threads") {
            s.addThreads(value, name, map);
        } else if (key == "/StructTreeRoot" || key == "/MarkInfo") {
            structure = true;
        } else {
            notCarried.push_back(key);
        }
    }
    if (structure) {
        s.addStructure(src, name, pages, selected, copied);
    }
    if (!notCarried.empty()) {
        std::string list;
        for (const auto& key : notCarried)
            list += (list.empty() ? "" : ", ") + key;
        s.warn(name + ": its catalog entries " + list + " are not carried into the output");
    }
}

void DocumentCarrier::State::addLabels(QPDF& src, const std::vector<int>& selected,
                                       const std::vector<QOH>& copied) {
    QPDFPageLabelDocumentHelper helper(src);
    if (!helper.hasPageLabels()) {
        return;
    }
    anyLabels = true;
    for (std::size_t k = 0; k < selected.size() && k < copied.size(); ++k) {
        QOH label = helper.getLabelForPage(selected[k]);
        if (label.isDictionary()) {
            labels.emplace(copied[k].getObjGen(), copyForeign(out, label));
        }
    }
}

void DocumentCarrier::State::addLayers(QOH properties) {
    if (!properties.isDictionary()) {
        return;
    }
    QOH groups = properties.getKey("/OCGs");
    if (!groups.isArray()) {
        return;
    }
    anyLayers = true;
    std::vector<QOH> own;
    for (auto& group : groups.aitems()) {
        if (!group.isIndirect() || !group.isDictionary()) {
            continue;
        }
        QOH copy = copyForeign(out, group);
        own.push_back(copy);
        if (ocgSeen.insert(copy.getObjGen()).second) {
            ocgs.appendItem(copy);
        }
    }
    QOH d = properties.getKey("/D");
    if (!d.isDictionary()) {
        return;
    }
    if (defaultConfig.getKeys().empty()) {
        for (const char* key : {"/Name", "/Creator", "/ListMode", "/Intent"}) {
            if (d.hasKey(key)) {
                defaultConfig.replaceKey(key, copyForeign(out, d.getKey(key)));
            }
        }
    }
    // The output's base state is on: an input whose groups start off lists each of them off
    // unless its configuration turns it on.
    if (d.getKey("/BaseState").isNameAndEquals("/OFF")) {
        std::set<QPDFObjGen> turnedOn;
        if (QOH list = d.getKey("/ON"); list.isArray()) {
            for (auto& g : list.aitems())
                if (g.isIndirect())
                    turnedOn.insert(copyForeign(out, g).getObjGen());
        }
        for (auto& g : own)
            if (!turnedOn.count(g.getObjGen()))
                off.appendItem(g);
    } else {
        appendAll(out, off, d.getKey("/OFF"));
    }
    appendAll(out, order, d.getKey("/Order"));
    appendAll(out, locked, d.getKey("/Locked"));
    appendAll(out, rbGroups, d.getKey("/RBGroups"));
    appendAll(out, usage, d.getKey("/AS"));
    appendAll(out, configs, properties.getKey("/Configs"));
}

void DocumentCarrier::State::addNames(QPDF& src, const std::string& name, QOH names, const PageMap& map) {
    if (!names.isDictionary()) {
        return;
    }
    std::vector<std::string> others;
    for (const auto& key : names.getKeys()) {
        QOH tree = names.getKey(key);
        if (key == "/EmbeddedFiles") {
            const int before = files.renamed;
            eachName(src, tree,
                     [&](const std::string& k, QOH v) { files.add(k, copyForeign(out, v), " ("); });
            if (files.renamed > before) {
                warn(name + ": " + std::to_string(files.renamed - before) +
                     " attachments share their names with attachments of an input before; they were renamed");
            }
        } else if (key == "/JavaScript") {
            eachName(src, tree,
                     [&](const std::string& k, QOH v) { scripts.add(k, copyForeign(out, v), "-"); });
        } else if (key == "/Dests") {
            int lost = 0;
            const int before = dests.renamed;
            eachName(src, tree, [&](const std::string& k, QOH v) {
                QOH moved = moveDest(v, map);
                if (moved.isNull()) {
                    ++lost;
                } else {
                    dests.add(k, moved, "-");
                }
            });
            if (lost > 0) {
                warn(name + ": " + std::to_string(lost) +
                     " named destinations point at pages that are not in the output; they were left out");
            }
            if (dests.renamed > before) {
                warn(name + ": " + std::to_string(dests.renamed - before) +
                     " named destinations share their names with those of an input before; they were renamed "
                     "(its links and bookmarks open the right pages)");
            }
        } else {
            others.push_back(key);
        }
    }
    if (!others.empty()) {
        std::string list;
        for (const auto& key : others)
            list += (list.empty() ? "" : ", ") + key;
        warn(name + ": its name trees " + list + " are not carried into the output");
    }
}

void DocumentCarrier::State::addFirst(QPDF& src, const std::string& key, QOH value, const std::string& name,
                                      const PageMap& map) {
    if (firsts.count(key) || value.isNull()) {
        return;
    }
    if (key == "/OpenAction") {
        QOH dest = value;
        QOH action;
        if (value.isDictionary() && value.getKey("/S").isNameAndEquals("/GoTo")) {
            action = value;
            dest = value.getKey("/D");
        } else if (!value.isArray()) {
            firsts.emplace(key, copyForeign(out, value)); // a script, a named action, ...
            return;
        }
        if (dest.isName() || dest.isString()) {
            dest = OutlineItems(src).resolveName(dest);
        }
        QOH moved = moveDest(dest, map);
        if (moved.isNull()) {
            warn(name + ": the page it opens at is not in the output; the output opens at its first page");
            return;
        }
        if (action.isInitialized()) {
            QOH copy = QOH::newDictionary();
            copy.replaceKey("/S", QOH::newName("/GoTo"));
            copy.replaceKey("/D", moved);
            moved = copy;
        }
        firsts.emplace(key, moved);
        return;
    }
    firsts.emplace(key, copyForeign(out, value));
}

void DocumentCarrier::State::addThreads(QOH list, const std::string& name, const PageMap& map) {
    if (!list.isArray()) {
        return;
    }
    int lost = 0;
    for (auto& thread : list.aitems()) {
        if (threads.size() >= kMaxThreads) {
            break;
        }
        if (!thread.isDictionary()) {
            continue;
        }
        ThreadCopy copy;
        QOH first = thread.getKey("/F");
        std::set<QPDFObjGen> seen;
        for (QOH bead = first; bead.isDictionary() && copy.beads.size() < kMaxBeads;
             bead = bead.getKey("/N")) {
            if (bead.isIndirect() && !seen.insert(bead.getObjGen()).second) {
                break; // back at the first bead (or in a loop of a damaged file)
            }
            QOH page = bead.getKey("/P");
            const auto it = page.isIndirect() ? map.find(page.getObjGen()) : map.end();
            QOH rect = bead.getKey("/R");
            if (it != map.end() && rect.isArray()) {
                copy.beads.emplace_back(it->second, copyForeign(out, rect));
            }
        }
        if (copy.beads.empty()) {
            ++lost;
            continue;
        }
        copy.thread = out.makeIndirectObject(QOH::parse("<< /Type /Thread >>"));
        if (QOH info = thread.getKey("/I"); info.isDictionary()) {
            copy.thread.replaceKey("/I", copyForeign(out, info));
        }
        threads.push_back(std::move(copy));
    }
    if (lost > 0) {
        warn(name + ": " + std::to_string(lost) +
             " article threads run over no page of the output; they were left out");
    }
}

void DocumentCarrier::State::addStructure(QPDF& src, const std::string& name,
                                          const std::vector<QPDFPageObjectHelper>& pages,
                                          const std::vector<int>& selected, const std::vector<QOH>& copied) {
    QOH tree = src.getRoot().getKey("/StructTreeRoot");
    bool whole = selected.size() == pages.size() && copied.size() == selected.size();
    for (std::size_t k = 0; whole && k < selected.size(); ++k)
        whole = selected[k] == static_cast<int>(k);
    if (!tree.isDictionary() || !tags || !whole) {
        dropStructParents(copied);
        if (tree.isDictionary()) {
            warn(name + ": its tagged structure (accessibility tags) is not carried into the output" +
                 std::string(!tags ? ": its pages are laid over others or imposed"
                                   : ": only some of its pages, or some more than once, are in the output"));
        }
        return;
    }
    if (!structRoot.isInitialized()) {
        structRoot = out.makeIndirectObject(QOH::parse("<< /Type /StructTreeRoot >>"));
    }
    const long long offset = nextKey;
    long long next = 0;
    if (QOH parents = tree.getKey("/ParentTree"); parents.isDictionary()) {
        QPDFNumberTreeObjectHelper helper(parents, src);
        std::size_t n = 0;
        for (auto it = helper.begin(); it != helper.end() && n < kMaxTreeEntries; ++it, ++n) {
            if (it->first < 0) {
                continue;
            }
            parentNums.emplace_back(it->first + offset, copyForeign(out, it->second));
            next = std::max(next, it->first + 1);
        }
    }
    if (QOH declared = tree.getKey("/ParentTreeNextKey"); declared.isInteger()) {
        next = std::max(next, declared.getIntValue());
    }
    nextKey += next;
    if (offset > 0) {
        renumberStructParents(copied, offset);
    }
    QOH kids = tree.getKey("/K");
    std::vector<QOH> top = kids.isArray() ? kids.getArrayAsVector() : std::vector<QOH>{kids};
    for (auto& kid : top) {
        if (!kid.isDictionary()) {
            continue;
        }
        QOH copy = copyForeign(out, kid);
        copy.replaceKey("/P", structRoot);
        structKids.appendItem(copy);
    }
    bool clash = false;
    for (auto [map, key] : {std::pair{&roleMap, "/RoleMap"}, std::pair{&classMap, "/ClassMap"}}) {
        QOH from = tree.getKey(key);
        if (!from.isDictionary()) {
            continue;
        }
        for (auto& [k, v] : from.ditems()) {
            if (!map->hasKey(k)) {
                map->replaceKey(k, copyForeign(out, v));
            } else if (map->getKey(k).unparse() != copyForeign(out, v).unparse()) {
                clash = true;
            }
        }
    }
    if (clash) {
        warn(name + ": some of its structure roles or classes are defined otherwise by an input before; "
                    "the first definition was kept");
    }
    eachName(src, tree.getKey("/IDTree"), [&](const std::string& k, QOH v) {
        if (!ids.used.count(k)) {
            ids.add(k, copyForeign(out, v), "-");
        }
    });
    QOH markInfo = src.getRoot().getKey("/MarkInfo");
    marked = marked || (markInfo.isDictionary() && markInfo.getKey("/Marked").isBool() &&
                        markInfo.getKey("/Marked").getBoolValue());
}

void DocumentCarrier::State::renumberStructParents(const std::vector<QOH>& copied, long long offset) {
    const auto shift = [offset](QOH holder, const char* key) {
        QOH v = holder.getKey(key);
        if (v.isInteger()) {
            holder.replaceKey(key, QOH::newInteger(v.getIntValue() + offset));
        }
    };
    std::set<QPDFObjGen> seen;
    std::vector<QOH> forms;
    for (QOH page : copied) {
        shift(page, "/StructParents");
        if (QOH annots = page.getKey("/Annots"); annots.isArray()) {
            for (auto annot : annots.aitems()) {
                if (annot.isDictionary() && (!annot.isIndirect() || seen.insert(annot.getObjGen()).second)) {
                    shift(annot, "/StructParent");
                }
            }
        }
        forms.push_back(page.getKey("/Resources"));
    }
    // Form XObjects carry the key of their marked content too, at any depth of resources.
    std::size_t visited = 0;
    while (!forms.empty() && visited < kMaxForms) {
        QOH resources = forms.back();
        forms.pop_back();
        QOH xobjects = resources.isDictionary() ? resources.getKey("/XObject") : QOH::newNull();
        if (!xobjects.isDictionary()) {
            continue;
        }
        for (auto& [key, x] : xobjects.ditems()) {
            if (!x.isStream() || !seen.insert(x.getObjGen()).second) {
                continue;
            }
            ++visited;
            QOH dict = x.getDict();
            if (!dict.getKey("/Subtype").isNameAndEquals("/Form")) {
                continue;
            }
            shift(dict, "/StructParents");
            forms.push_back(dict.getKey("/Resources"));
        }
    }
}

void DocumentCarrier::State::dropStructParents(const std::vector<QOH>& copied) {
    for (QOH page : copied) {
        page.removeKey("/StructParents");
        if (QOH annots = page.getKey("/Annots"); annots.isArray()) {
            for (auto annot : annots.aitems())
                if (annot.isDictionary())
                    annot.removeKey("/StructParent");
        }
    }
}

namespace {

QOH nameTree(QPDF& out, std::vector<std::pair<std::string, QOH>>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    auto tree = QPDFNameTreeObjectHelper::newEmpty(out);
    for (auto& [key, value] : entries)
        tree.insert(key, value);
    return tree.getObjectHandle();
}

} // namespace

void DocumentCarrier::writeDocument() {
    State& s = *s_;
    QOH root = s.out.getRoot();
    for (auto& [key, value] : s.firsts)
        root.replaceKey(key, value);
    QOH names = root.getKey("/Names");
    const auto addTree = [&](const char* key, NamedEntries& entries) {
        if (entries.entries.empty()) {
            return;
        }
        if (!names.isDictionary()) {
            names = s.out.makeIndirectObject(QOH::newDictionary());
            root.replaceKey("/Names", names);
        }
        names.replaceKey(key, nameTree(s.out, entries.entries));
    };
    addTree("/EmbeddedFiles", s.files);
    addTree("/JavaScript", s.scripts);
    if (s.associated.getArrayNItems() > 0) {
        root.replaceKey("/AF", s.associated);
    }
    if (s.anyLayers && s.ocgs.getArrayNItems() > 0) {
        QOH d = s.defaultConfig;
        for (auto [key, list] :
             {std::pair{"/OFF", s.off}, std::pair{"/Order", s.order}, std::pair{"/Locked", s.locked},
              std::pair{"/RBGroups", s.rbGroups}, std::pair{"/AS", s.usage}}) {
            if (list.getArrayNItems() > 0) {
                d.replaceKey(key, list);
            }
        }
        QOH properties = QOH::newDictionary();
        properties.replaceKey("/OCGs", s.ocgs);
        properties.replaceKey("/D", d);
        if (s.configs.getArrayNItems() > 0) {
            properties.replaceKey("/Configs", s.configs);
        }
        root.replaceKey("/OCProperties", properties);
    }
    if (s.structRoot.isInitialized()) {
        QOH tree = s.structRoot;
        if (s.structKids.getArrayNItems() > 1) {
            // A tagged document has one top element: the inputs become its parts.
            QOH document = s.out.makeIndirectObject(QOH::parse("<< /Type /StructElem /S /Document >>"));
            document.replaceKey("/P", tree);
            for (auto kid : s.structKids.aitems()) {
                kid.replaceKey("/P", document);
                if (kid.getKey("/S").isNameAndEquals("/Document")) {
                    kid.replaceKey("/S", QOH::newName("/Part"));
                }
            }
            document.replaceKey("/K", s.structKids);
            tree.replaceKey("/K", document);
        } else {
            tree.replaceKey("/K", s.structKids);
        }
        QOH nums = QOH::newArray();
        std::sort(s.parentNums.begin(), s.parentNums.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [key, value] : s.parentNums) {
            nums.appendItem(QOH::newInteger(key));
            nums.appendItem(value);
        }
        QOH parentTree = s.out.makeIndirectObject(QOH::newDictionary());
        parentTree.replaceKey("/Nums", nums);
        tree.replaceKey("/ParentTree", parentTree);
        tree.replaceKey("/ParentTreeNextKey", QOH::newInteger(s.nextKey));
        if (!s.roleMap.getKeys().empty())
            tree.replaceKey("/RoleMap", s.roleMap);
        if (!s.classMap.getKeys().empty())
            tree.replaceKey("/ClassMap", s.classMap);
        if (!s.ids.entries.empty())
            tree.replaceKey("/IDTree", nameTree(s.out, s.ids.entries));
        root.replaceKey("/StructTreeRoot", tree);
        if (s.marked) {
            root.replaceKey("/MarkInfo", QOH::parse("<< /Marked true >>"));
        }
    }
}

void DocumentCarrier::writePages() {
    State& s = *s_;
    const std::vector<QOH> pages = s.out.getAllPages();
    QOH root = s.out.getRoot();
    std::set<QPDFObjGen> present;
    for (auto& page : pages)
        present.insert(page.getObjGen());
    // Pages laid over others or imposed are no pages of the output any more: what opens them
    // by name, or opens the document at them, goes.
    const auto onPage = [&present](QOH dest) {
        if (dest.isDictionary() && dest.getKey("/S").isNameAndEquals("/GoTo")) {
            dest = dest.getKey("/D");
        }
        return !dest.isArray() || dest.getArrayNItems() == 0 || !dest.getArrayItem(0).isIndirect() ||
               present.count(dest.getArrayItem(0).getObjGen()) > 0;
    };
    if (!s.dests.entries.empty()) {
        const std::size_t before = s.dests.entries.size();
        std::erase_if(s.dests.entries, [&](const auto& entry) { return !onPage(entry.second); });
        if (s.dests.entries.size() < before) {
            s.warn(
                std::to_string(before - s.dests.entries.size()) +
                " named destinations open pages that were laid over others or imposed; they were left out");
        }
        if (!s.dests.entries.empty()) {
            QOH names = root.getKey("/Names");
            if (!names.isDictionary()) {
                names = s.out.makeIndirectObject(QOH::newDictionary());
                root.replaceKey("/Names", names);
            }
            names.replaceKey("/Dests", nameTree(s.out, s.dests.entries));
        }
    }
    if (auto it = s.firsts.find("/OpenAction");
        it != s.firsts.end() && root.getKey("/OpenAction").unparse() == it->second.unparse() &&
        !onPage(it->second)) {
        root.removeKey("/OpenAction");
        s.warn(
            "The page the output would open at was laid over another or imposed; it opens at its first page");
    }
    if (s.anyLabels) {
        // Pages without labels of their own (images, other inputs) are numbered as they stand.
        QOH nums = QOH::newArray();
        std::string lastKey;
        long long lastStart = 0;
        std::size_t lastIndex = 0, found = 0;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            const auto it = s.labels.find(pages[i].getObjGen());
            QOH label = it != s.labels.end() ? it->second
                                             : QOH::parse("<< /S /D /St " + std::to_string(i + 1) + " >>");
            found += it != s.labels.end() ? 1 : 0;
            const std::string key = labelKey(label);
            const long long start = labelStart(label);
            if (i > 0 && key == lastKey && start == lastStart + static_cast<long long>(i - lastIndex)) {
                continue;
            }
            nums.appendItem(QOH::newInteger(static_cast<long long>(i)));
            nums.appendItem(label);
            lastKey = key;
            lastStart = start;
            lastIndex = i;
        }
        if (found > 0) {
            QOH labels = QOH::newDictionary();
            labels.replaceKey("/Nums", nums);
            root.replaceKey("/PageLabels", labels);
        } else {
            s.warn("The inputs' page labels are not carried into the output: its pages are new sheets");
        }
    }
    if (!s.threads.empty()) {
        QOH list = QOH::newArray();
        int lost = 0;
        for (auto& thread : s.threads) {
            std::vector<QOH> beads;
            for (auto& [page, rect] : thread.beads) {
                if (!present.count(page.getObjGen())) {
                    continue;
                }
                QOH bead = s.out.makeIndirectObject(QOH::parse("<< /Type /Bead >>"));
                bead.replaceKey("/T", thread.thread);
                bead.replaceKey("/P", page);
                bead.replaceKey("/R", rect);
                QOH pageBeads = page.getKey("/B");
                if (!pageBeads.isArray()) {
                    pageBeads = QOH::newArray();
                    page.replaceKey("/B", pageBeads);
                }
                pageBeads.appendItem(bead);
                beads.push_back(bead);
            }
            if (beads.empty()) {
                ++lost;
                continue;
            }
            for (std::size_t i = 0; i < beads.size(); ++i) {
                beads[i].replaceKey("/N", beads[(i + 1) % beads.size()]);
                beads[i].replaceKey("/V", beads[(i + beads.size() - 1) % beads.size()]);
            }
            thread.thread.replaceKey("/F", beads.front());
            list.appendItem(thread.thread);
        }
        if (list.getArrayNItems() > 0) {
            root.replaceKey("/Threads", list);
        }
        if (lost > 0) {
            s.warn(std::to_string(lost) +
                   " article threads run over no page of the output; they were left out");
        }
    }
}

} // namespace plait::pdf
