#include "pdfengine/run/SharedObjects.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>

#include <cstring>
#include <map>
#include <memory>
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

void foldStreams(QPDF& out, const std::set<QPDFObjGen>& gone, Replacements& replace) {
    std::unordered_map<std::string, std::vector<QOH>> byShape;
    for (QOH obj : out.getAllObjects()) {
        if (obj.isStream() && foldable(obj) && !gone.count(obj.getObjGen())) {
            byShape[dictionaryShape(obj.getDict())].push_back(obj);
        }
    }
    for (auto& [shape, group] : byShape) {
        if (group.size() < 2) {
            continue;
        }
        // By the hash of the stored data, with the bytes compared on a match.
        std::unordered_multimap<std::size_t, std::pair<QOH, std::shared_ptr<Buffer>>> kept;
        for (QOH stream : group) {
            std::shared_ptr<Buffer> data;
            try {
                data = stream.getRawStreamData();
            } catch (const std::exception&) {
                continue; // unreadable data is left to the writer, which reports it
            }
            const std::string_view bytes(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
            const std::size_t hash = std::hash<std::string_view>{}(bytes);
            bool folded = false;
            for (auto [it, end] = kept.equal_range(hash); it != end && !folded; ++it) {
                const Buffer& other = *it->second.second;
                if (other.getSize() == bytes.size() &&
                    (bytes.empty() || std::memcmp(other.getBuffer(), bytes.data(), bytes.size()) == 0)) {
                    replace.emplace(stream.getObjGen(), it->second.first);
                    folded = true;
                }
            }
            if (!folded) {
                kept.emplace(hash, std::pair{stream, data});
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
void redirect(QPDF& out, const Replacements& replace) {
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
    std::vector<QOH> todo = out.getAllObjects();
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

int writeSharedOnce(QPDF& out) {
    std::set<QPDFObjGen> gone; // folded into others, and no longer referenced
    for (int round = 0; round < kMaxRounds; ++round) {
        bool any = false;
        for (auto fold : {&foldStreams, &foldObjects}) {
            Replacements replace;
            fold(out, gone, replace);
            if (!replace.empty()) {
                redirect(out, replace);
                for (auto& [og, _] : replace)
                    gone.insert(og);
                any = true;
            }
        }
        if (!any) {
            break;
        }
    }
    return static_cast<int>(gone.size());
}

} // namespace plait::pdf
