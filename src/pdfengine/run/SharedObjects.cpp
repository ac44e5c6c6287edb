#include "pdfengine/run/SharedObjects.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plait::pdf {
namespace {

using QOH = QPDFObjectHandle;
using Replacements = std::map<QPDFObjGen, QOH>;

// A stream is folded into the first one seen with the same dictionary and data; the rounds
// repeat while folding makes more objects the same (an image and then its soft mask's user).
constexpr int kMaxRounds = 4;
// The bytes a fold must save for each object of the output for its walk to pay.
constexpr std::size_t kBytesPerObjectWalked = 32;

// Dictionaries that mean the same wherever they are used, and so can be shared.
const std::set<std::string> kSharedTypes{"/Font", "/FontDescriptor", "/ExtGState", "/Encoding"};
// Colour spaces written as arrays of their own.
const std::set<std::string> kColourFamilies{"/ICCBased", "/Indexed", "/Separation", "/DeviceN",
                                            "/CalRGB",   "/CalGray", "/Lab"};

std::string dictionaryShape(QOH dict) {
    std::string shape;
    for (auto& [key, value] : dict.ditems()) {
        if (key != "/Length") {
            shape += key;
            shape += ' ';
            shape += value.unparse();
            shape += ' ';
        }
    }
    QOH length = dict.getKey("/Length");
    shape += '#';
    shape += length.isInteger() ? std::to_string(length.getIntValue()) : std::string("?");
    return shape;
}

// Streams whose data can be folded: not the file's own structure.
bool foldable(QOH stream) {
    QOH type = stream.getDict().getKey("/Type");
    return !type.isNameAndEquals("/XRef") && !type.isNameAndEquals("/ObjStm");
}

// What is known of the streams between rounds: the hash of each stream's stored data, read
// once, and the page contents, which are left alone (a page's own drawing is seldom another's,
// and reading every page's content twice would cost what the writer costs).
struct StreamFacts {
    std::map<QPDFObjGen, std::size_t> hashes;
    std::set<QPDFObjGen> pageContents;
};

std::optional<std::string> rawData(QOH stream) {
    try {
        std::shared_ptr<Buffer> data = stream.getRawStreamData();
        return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    } catch (const std::exception&) {
        return std::nullopt; // unreadable data is left to the writer, which reports it
    }
}

void foldStreams(QPDF& out, const std::set<QPDFObjGen>& gone, StreamFacts& facts, Replacements& replace) {
    std::unordered_map<std::string, std::vector<QOH>> byShape;
    for (QOH obj : out.getAllObjects()) {
        if (obj.isStream() && foldable(obj) && !gone.count(obj.getObjGen()) &&
            !facts.pageContents.count(obj.getObjGen())) {
            byShape[dictionaryShape(obj.getDict())].push_back(obj);
        }
    }
    for (auto& [shape, group] : byShape) {
        if (group.size() < 2) {
            continue;
        }
        // By the hash of the stored data; on a match the bytes are compared.
        std::unordered_multimap<std::size_t, QOH> kept;
        for (QOH stream : group) {
            auto known = facts.hashes.find(stream.getObjGen());
            if (known == facts.hashes.end()) {
                const std::optional<std::string> data = rawData(stream);
                if (!data) {
                    continue;
                }
                known = facts.hashes.emplace(stream.getObjGen(), std::hash<std::string>{}(*data)).first;
            }
            bool folded = false;
            for (auto [it, end] = kept.equal_range(known->second); it != end && !folded; ++it) {
                const std::optional<std::string> mine = rawData(stream);
                const std::optional<std::string> theirs = rawData(it->second);
                if (mine && theirs && *mine == *theirs) {
                    replace.emplace(stream.getObjGen(), it->second);
                    folded = true;
                }
            }
            if (!folded) {
                kept.emplace(known->second, stream);
            }
        }
    }
}

bool sharedKind(QOH obj) {
    if (obj.isDictionary()) {
        QOH type = obj.getKey("/Type");
        return type.isName() && kSharedTypes.count(type.getName());
    }
    if (obj.isArray() && obj.getArrayNItems() >= 2) {
        QOH family = obj.getArrayItem(0);
        return family.isName() && kColourFamilies.count(family.getName());
    }
    return false;
}

void foldObjects(QPDF& out, const std::set<QPDFObjGen>& gone, Replacements& replace) {
    std::unordered_map<std::string, QOH> kept;
    for (QOH obj : out.getAllObjects()) {
        if (!sharedKind(obj) || gone.count(obj.getObjGen())) {
            continue;
        }
        auto [it, added] = kept.try_emplace(obj.unparseResolved(), obj);
        if (!added) {
            replace.emplace(obj.getObjGen(), it->second);
        }
    }
}

// Points every reference to a folded object at the one kept, in every object and the trailer.
void redirect(QPDF& out, const Replacements& replace, const std::set<QPDFObjGen>& pageContents) {
    const auto swap = [&replace](QOH v, QOH& to) {
        if (!v.isIndirect()) {
            return false;
        }
        auto it = replace.find(v.getObjGen());
        if (it == replace.end()) {
            return false;
        }
        to = it->second;
        return true;
    };
    std::vector<QOH> todo;
    for (QOH obj : out.getAllObjects()) {
        if (!obj.isStream() || !pageContents.count(obj.getObjGen())) {
            todo.push_back(obj);
        }
    }
    todo.push_back(out.getTrailer());
    while (!todo.empty()) {
        QOH h = todo.back();
        todo.pop_back();
        if (h.isStream()) {
            todo.push_back(h.getDict());
        } else if (h.isDictionary()) {
            for (auto& [key, value] : h.ditems()) {
                QOH to;
                if (swap(value, to)) {
                    h.replaceKey(key, to);
                } else if (!value.isIndirect() && (value.isDictionary() || value.isArray())) {
                    todo.push_back(value);
                }
            }
        } else if (h.isArray()) {
            const int n = h.getArrayNItems();
            for (int i = 0; i < n; ++i) {
                QOH value = h.getArrayItem(i);
                QOH to;
                if (swap(value, to)) {
                    h.setArrayItem(i, to);
                } else if (!value.isIndirect() && (value.isDictionary() || value.isArray())) {
                    todo.push_back(value);
                }
            }
        }
    }
}

} // namespace

// Bytes a fold saves, roughly: the stored data of a stream, the written form of an object.
std::size_t savedBytes(const Replacements& replace) {
    std::size_t saved = 0;
    for (auto& [og, kept] : replace) {
        QOH h = kept;
        if (h.isStream()) {
            QOH length = h.getDict().getKey("/Length");
            saved += length.isInteger() && length.getIntValue() > 0
                         ? static_cast<std::size_t>(length.getIntValue())
                         : 0;
            h = h.getDict();
        }
        saved += h.unparseResolved().size();
    }
    return saved;
}

int writeSharedOnce(QPDF& out) {
    StreamFacts facts;
    for (QOH page : out.getAllPages()) {
        QOH contents = page.getKey("/Contents");
        for (QOH stream : contents.isArray() ? contents.getArrayAsVector() : std::vector<QOH>{contents}) {
            if (stream.isIndirect()) {
                facts.pageContents.insert(stream.getObjGen());
            }
        }
    }
    // Pointing references elsewhere means a walk over every object: it is worth it when the
    // fold saves more than a few bytes for each object walked (a standard font's dictionary in
    // each of a few large inputs is not).
    const std::size_t worthIt = kBytesPerObjectWalked * out.getObjectCount();
    std::set<QPDFObjGen> gone; // folded into others, and no longer referenced
    for (int round = 0; round < kMaxRounds; ++round) {
        Replacements streams;
        foldStreams(out, gone, facts, streams);
        Replacements objects;
        foldObjects(out, gone, objects);
        // Objects are compared again once the streams they name are folded.
        if (streams.empty() && objects.empty()) {
            break;
        }
        if (savedBytes(streams) + savedBytes(objects) < worthIt) {
            break;
        }
        if (!streams.empty()) {
            redirect(out, streams, facts.pageContents);
            objects.clear();
            foldObjects(out, gone, objects);
        }
        if (!objects.empty()) {
            redirect(out, objects, facts.pageContents);
        }
        for (auto* replace : {&streams, &objects})
            for (auto& [og, _] : *replace)
                gone.insert(og);
    }
    return static_cast<int>(gone.size());
}

} // namespace plait::pdf
