#include "ForeignCopy.h"

#include <qpdf/QPDF.hh>

namespace plait::pdf {
namespace {

// Direct objects nest only as deep as their file's syntax let the parser go; this bounds the
// recursion on what a hostile file could still make of them.
constexpr int kMaxDirectDepth = 500;

QPDFObjectHandle copyAt(QPDF& out, QPDFObjectHandle h, int depth) {
    if (h.isIndirect()) {
        return h.getOwningQPDF() == &out ? h : out.copyForeignObject(h);
    }
    if (depth > kMaxDirectDepth) {
        return QPDFObjectHandle::newNull();
    }
    if (h.isArray()) {
        auto copy = QPDFObjectHandle::newArray();
        for (auto& item : h.aitems())
            copy.appendItem(copyAt(out, item, depth + 1));
        return copy;
    }
    if (h.isDictionary()) {
        auto copy = QPDFObjectHandle::newDictionary();
        for (auto& [key, value] : h.ditems())
            copy.replaceKey(key, copyAt(out, value, depth + 1));
        return copy;
    }
    return h.shallowCopy();
}

} // namespace

QPDFObjectHandle copyForeign(QPDF& out, QPDFObjectHandle h) {
    if (!h.isInitialized()) {
        return QPDFObjectHandle::newNull();
    }
    return copyAt(out, h, 0);
}

} // namespace plait::pdf
