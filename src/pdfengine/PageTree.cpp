#include "PageTree.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <set>
#include <utility>
#include <vector>

namespace plait::pdf {

void checkPageTree(QPDF& pdf) {
    std::set<QPDFObjGen> seen;
    std::vector<std::pair<QPDFObjectHandle, int>> nodes{{pdf.getRoot().getKey("/Pages"), 1}};
    while (!nodes.empty()) {
        auto [node, depth] = nodes.back();
        nodes.pop_back();
        if (!node.isDictionary() || (node.isIndirect() && !seen.insert(node.getObjGen()).second)) {
            continue;
        }
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (!kids.isArray()) {
            continue;
        }
        if (depth >= kMaxPageTreeDepth) {
            throw QPDFExc(qpdf_e_damaged_pdf, pdf.getFilename(), "", 0,
                          "its page tree is nested more than " + std::to_string(kMaxPageTreeDepth) +
                              " levels deep");
        }
        for (auto& kid : kids.aitems()) {
            nodes.emplace_back(kid, depth + 1);
        }
    }
}

} // namespace plait::pdf
